// Conversions from Python values to libyaml event fields, shared by the
// event conversion (emit) and the serializer: the string rule, the scalar
// and collection styles, the stream encoding, the version directive and the
// tag directive collection.
//
// Every function returns false with a Python exception set on failure and
// leaves its output unusable then.
#pragma once

#include <yaml.h>

#include "cemitter.hpp"

namespace ymod {

// libyaml text borrowed from a bytes object that the holder keeps alive
// until the holder dies: libyaml copies the text inside the initialiser, so
// the holder must outlive that call.
class Text {
public:
    yaml_char_t* data() const noexcept { return data_; }
    Py_ssize_t size() const noexcept { return size_; }

    // The string rule: exact str (UTF-8, strict), exact bytes (as is), None
    // where `none_ok` (no text); anything else raises TypeError(message).
    bool convert(PyObject* value, bool none_ok, const char* message);

    // Hands the owning bytes object to a longer-lived keeper.
    Ref take_owner() noexcept { return std::move(owner_); }

private:
    Ref owner_;
    yaml_char_t* data_ = nullptr;
    Py_ssize_t size_ = 0;
};

// A scalar value: the string rule with None refused ("value must be a
// string"), and a length libyaml's int parameter can carry.
bool scalar_value(PyObject* value, Text& out, int* length);

// Style table (== against "'", "\"", "|", ">" in this order; plain otherwise).
bool scalar_style(PyObject* style, yaml_scalar_style_t* out);

// Reads a value afresh at every use: an attribute of an object, or (with no
// name) the object itself.
struct Source {
    PyObject* object;
    PyObject* name;  // null: `object` is the value
    Ref get() const;
};

// Stream encoding table plus the text output rule: a None encoding turns
// text output on; text output always means UTF-8. The source is read once
// for each comparison and once more for the None test.
bool stream_encoding(CEmitterObject* self, const Source& encoding, yaml_encoding_t* out);

// Version rule: a true version gives the directive (major, minor) from
// version[0] and version[1]; a false one none.
struct VersionDirective {
    yaml_version_directive_t value{};
    yaml_version_directive_t* pointer = nullptr;
    bool convert(PyObject* version);
};

// Tag directive collection into a fixed buffer of 128 entries. The source
// is read again for the truth test, the length, the iteration and every
// subscript.
struct TagDirectives {
    static constexpr int kCapacity = 128;
    yaml_tag_directive_t entries[kCapacity];
    yaml_tag_directive_t* start = nullptr;
    yaml_tag_directive_t* end = nullptr;
    // Keeps the texts of every entry alive until the document start is built.
    Ref cache[2 * kCapacity];
    bool collect(const Source& tags);
};

// Internal operations, as stored in the operation table.
int object_to_event(CEmitterObject* self, PyObject* event_object, yaml_event_t* event);
int anchor_node(CEmitterObject* self, PyObject* node);
int serialize_node(CEmitterObject* self, PyObject* node, PyObject* parent, PyObject* index);

}  // namespace ymod
