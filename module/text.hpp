// Text between Python and libyaml, both ways.
#pragma once

#include <cstddef>

#include <yaml.h>

#include "ref.hpp"

namespace ymod {

// From libyaml: strict UTF-8 decoding. A null pointer gives None.
// New reference; empty with the decoding error set.
Ref decode_text(const unsigned char* text);
Ref decode_text(const unsigned char* text, size_t length);

// decode_text for a resolved tag: the standard tags come back as one shared
// str each instead of a new one per node.
Ref decode_tag(const unsigned char* text);

// To libyaml: text borrowed from a str or bytes object that the holder
// keeps alive until the holder dies; libyaml copies the text inside its
// initialisers, so the holder must outlive that call.
class Text {
public:
    yaml_char_t* data() const noexcept { return data_; }
    Py_ssize_t size() const noexcept { return size_; }

    // The string rule: exact str (UTF-8, strict), exact bytes (as is), None
    // where `none_ok` (no text); anything else raises TypeError(message).
    bool convert(PyObject* value, bool none_ok, const char* message);

    // Hands the owning object to a longer-lived keeper.
    Ref take_owner() noexcept { return std::move(owner_); }

private:
    Ref owner_;
    yaml_char_t* data_ = nullptr;
    Py_ssize_t size_ = 0;
};

// A scalar value: the string rule with None refused ("value must be a
// string"), and a length libyaml's int parameter can carry (OverflowError
// otherwise). False with an exception set.
bool scalar_value(PyObject* value, Text& out, int* length);

}  // namespace ymod
