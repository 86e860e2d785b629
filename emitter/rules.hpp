// Conversions from Python values to libyaml event fields, shared by the
// event conversion (emit) and the serializer: the scalar and collection
// styles, the stream encoding, the version directive and the tag directive
// collection. The string rule itself is module/text.hpp's.
//
// Every function returns false with a Python exception set on failure and
// leaves its output unusable then.
#pragma once

#include <yaml.h>

#include "../module/text.hpp"
#include "cemitter.hpp"

namespace ymod {

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
