#include "text.hpp"

#include <climits>
#include <cstdint>
#include <cstring>

#include "names.hpp"

namespace ymod {
namespace {

// True when the `length` bytes at `s` are all below 0x80; eight at a time.
inline bool all_ascii(const unsigned char* s, size_t length) {
    size_t i = 0;
    uint64_t bits = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word;
        std::memcpy(&word, s + i, 8);
        bits |= word;
    }
    for (; i < length; ++i) bits |= s[i];
    return (bits & 0x8080808080808080ull) == 0;
}

// Most of what libyaml hands over (keys, plain values, anchors, tags) is
// ASCII: copy it straight into a compact str. Strict UTF-8 decoding, with
// its error, for everything else.
inline Ref decode_utf8(const unsigned char* text, size_t length) {
    if (length == 0) return Ref::borrow(consts.empty_str);
    if (all_ascii(text, length)) {
        // One-character strings come from the interpreter's shared table.
        if (length == 1) return Ref::steal(PyUnicode_FromOrdinal(text[0]));
        PyObject* s = PyUnicode_New(static_cast<Py_ssize_t>(length), 127);
        if (!s) return Ref();
        std::memcpy(PyUnicode_1BYTE_DATA(s), text, length);
        return Ref::steal(s);
    }
    return Ref::steal(PyUnicode_DecodeUTF8(reinterpret_cast<const char*>(text),
                                           static_cast<Py_ssize_t>(length), "strict"));
}

}  // namespace

Ref decode_text(const unsigned char* text) {
    if (!text) return Ref::none();
    return decode_utf8(text, std::strlen(reinterpret_cast<const char*>(text)));
}

Ref decode_text(const unsigned char* text, size_t length) {
    if (!text) return Ref::none();
    return decode_utf8(text, length);
}

Ref decode_tag(const unsigned char* text) {
    static constexpr char kPrefix[] = "tag:yaml.org,2002:";
    constexpr size_t kPrefixLength = sizeof kPrefix - 1;
    if (text && std::strncmp(reinterpret_cast<const char*>(text), kPrefix, kPrefixLength) == 0) {
        static PyObject* const* const standard[] = {
            &names.tag_str, &names.tag_seq, &names.tag_map, &names.tag_int, &names.tag_float,
            &names.tag_bool, &names.tag_null, &names.tag_timestamp, &names.tag_binary,
        };
        const char* suffix = reinterpret_cast<const char*>(text) + kPrefixLength;
        for (PyObject* const* tag : standard) {
            // The interned constants are compact ASCII, stored NUL-terminated.
            const char* known = reinterpret_cast<const char*>(PyUnicode_1BYTE_DATA(*tag)) + kPrefixLength;
            if (std::strcmp(suffix, known) == 0) return Ref::borrow(*tag);
        }
    }
    return decode_text(text);
}

bool Text::convert(PyObject* value, bool none_ok, const char* message) {
    if (value == Py_None && none_ok) {
        owner_.reset();
        data_ = nullptr;
        size_ = 0;
        return true;
    }
    Ref bytes;
    if (PyUnicode_CheckExact(value) && PyUnicode_IS_COMPACT_ASCII(value)) {
        // ASCII is its own UTF-8, stored NUL-terminated: libyaml copies it
        // straight from the str, which the holder keeps alive.
        data_ = reinterpret_cast<yaml_char_t*>(PyUnicode_1BYTE_DATA(value));
        size_ = PyUnicode_GET_LENGTH(value);
        owner_ = Ref::borrow(value);
        return true;
    }
    if (PyUnicode_CheckExact(value)) {
        bytes = Ref::steal(PyUnicode_AsUTF8String(value));
        if (!bytes) return false;
    } else if (PyBytes_CheckExact(value)) {
        bytes = Ref::borrow(value);
    } else {
        PyErr_SetString(PyExc_TypeError, message);
        return false;
    }
    data_ = reinterpret_cast<yaml_char_t*>(PyBytes_AS_STRING(bytes.get()));
    size_ = PyBytes_GET_SIZE(bytes.get());
    owner_ = std::move(bytes);
    return true;
}

bool scalar_value(PyObject* value, Text& out, int* length) {
    if (!out.convert(value, false, "value must be a string")) return false;
    if (out.size() > INT_MAX) [[unlikely]] {
        // libyaml takes the length as an int; a longer value would wrap.
        PyErr_Format(PyExc_OverflowError, "scalar value too long: %zd bytes (at most %d)",
                     out.size(), INT_MAX);
        return false;
    }
    *length = static_cast<int>(out.size());
    return true;
}

}  // namespace ymod
