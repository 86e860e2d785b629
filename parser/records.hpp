// Helpers shared by the parser's layers: holders for raw libyaml records,
// the libyaml seam, marks and the style tables.
#pragma once

#include <cstdint>
#include <cstring>

#include "../module/errors.hpp"
#include "../module/mark.hpp"
#include "../module/text.hpp"
#include "layers.hpp"

namespace ymod {

// The value stored in an enum field of a libyaml record, as an int. Records
// handed in from outside (through the operation table) may hold any value,
// and loading one outside the enum's range through the enum type is
// undefined; the bytes are copied instead.
template <typename E>
inline int raw_enum(const E& field) noexcept {
    static_assert(sizeof(E) == sizeof(int));
    int value;
    std::memcpy(&value, &field, sizeof value);
    return value;
}

// A raw token that lives for one scan; released exactly once, on every path.
// A zero-filled record (what a failed scan leaves) is valid to release.
struct TokenHolder {
    yaml_token_t token{};
    TokenHolder() = default;
    TokenHolder(const TokenHolder&) = delete;
    TokenHolder& operator=(const TokenHolder&) = delete;
    ~TokenHolder() { yaml_token_delete(&token); }

    // Scans the next token into the record; libyaml's result (1 or 0).
    int next(CParserObject* self) { return yaml_parser_scan(&self->libyaml_parser, &token); }
    // True for the empty token libyaml gives past the stream end.
    bool empty() const noexcept { return raw_enum(token.type) == YAML_NO_TOKEN; }
};

// Same for a raw event of the event layer.
struct EventHolder {
    yaml_event_t event{};
    EventHolder() = default;
    EventHolder(const EventHolder&) = delete;
    EventHolder& operator=(const EventHolder&) = delete;
    ~EventHolder() { yaml_event_delete(&event); }

    int next(CParserObject* self) { return yaml_parser_parse(&self->libyaml_parser, &event); }
    bool empty() const noexcept { return raw_enum(event.type) == YAML_NO_EVENT; }
};

// The check after every yaml_parser_scan / yaml_parser_parse: a Python
// exception raised meanwhile (by the read handler) wins over libyaml's own
// report; otherwise a failure is translated by `_parser_error` and raised.
// Returns false with an exception set.
inline bool libyaml_call_ok(CParserObject* self, int result) {
    return parser_result_ok(self->libyaml_parser, result,
                            [self] { return Ref::steal(self->vtab->_parser_error(self)); });
}

// raw_scan and raw_parse: runs libyaml over the rest of the input one record
// at a time, releasing each at once, and counts the records before the first
// empty one. The count is 64-bit, so a streamed input of any length that can
// exist is counted exactly. New reference to the int; null with an exception
// set.
template <class Holder>
PyObject* count_records(CParserObject* self) {
    std::uint64_t count = 0;
    for (;;) {
        Holder raw;
        if (!libyaml_call_ok(self, raw.next(self))) return nullptr;
        if (raw.empty()) break;
        ++count;
    }
    static_assert(sizeof(unsigned long long) >= sizeof count);
    return PyLong_FromUnsignedLongLong(count);
}

// The one-object look-ahead of the token and event layers: `slot` is
// `cached_token` or `cached_event`, `produce` the layer's `_scan` or
// `_parse` (new reference, None past the end, null with an exception set).
using Produce = PyObject* (*)(CParserObject* self);

// Fills an empty slot with the next object; None past the end leaves it
// empty. False with an exception set, the slot still empty.
inline bool fill_slot(CParserObject* self, PyObject*& slot, Produce produce) {
    if (slot != Py_None) return true;
    Ref next = Ref::steal(produce(self));
    if (!next) return false;
    replace_field(slot, std::move(next));
    return true;
}

// get_*: the slot's object, emptying the slot, or else the next object,
// which is not stored. New reference; null with an exception set.
inline PyObject* take_slot(CParserObject* self, PyObject*& slot, Produce produce) {
    if (slot == Py_None) return produce(self);
    PyObject* object = slot;
    slot = Py_NewRef(Py_None);
    return object;  // the slot's reference passes to the caller
}

// peek_*: the next object, left in the slot. New reference.
inline PyObject* peek_slot(CParserObject* self, PyObject*& slot, Produce produce) {
    if (!fill_slot(self, slot, produce)) return nullptr;
    return Py_NewRef(slot);
}

// check_*: whether a next object exists and, when choices are given,
// whether its __class__ is one of them by identity. New reference to a bool.
inline PyObject* check_slot(CParserObject* self, PyObject*& slot, Produce produce, PyObject* const* choices,
                            Py_ssize_t count) {
    if (!fill_slot(self, slot, produce)) return nullptr;
    if (slot == Py_None) Py_RETURN_FALSE;
    if (count == 0) Py_RETURN_TRUE;
    Ref cls = read_attr(slot, names.dunder_class);
    if (!cls) return nullptr;
    for (Py_ssize_t i = 0; i < count; ++i) {
        if (choices[i] == cls.get()) Py_RETURN_TRUE;
    }
    Py_RETURN_FALSE;
}

// The one mark rule: Mark(input_name, index, line, column, None, None).
inline Ref parser_mark(CParserObject* self, const yaml_mark_t& mark) {
    return make_mark(self->source.input_name, mark);
}

// New reference: a version directive's (major, minor).
inline Ref version_pair(int major, int minor) { return Ref::steal(Py_BuildValue("(ii)", major, minor)); }

// Borrowed: the style argument of a scalar; None for "any" and unknown styles.
inline PyObject* scalar_style_object(int style) noexcept {
    switch (style) {
    case YAML_PLAIN_SCALAR_STYLE: return consts.empty_str;
    case YAML_SINGLE_QUOTED_SCALAR_STYLE: return names.style_single;
    case YAML_DOUBLE_QUOTED_SCALAR_STYLE: return names.style_double;
    case YAML_LITERAL_SCALAR_STYLE: return names.style_literal;
    case YAML_FOLDED_SCALAR_STYLE: return names.style_folded;
    default: return Py_None;
    }
}

// Borrowed: the encoding argument of a stream start. UTF-8 that arrived as
// str is reported as None: the caller never saw bytes.
inline PyObject* encoding_object(int encoding, int text_input) noexcept {
    switch (encoding) {
    case YAML_UTF8_ENCODING: return text_input ? Py_None : names.utf_8;
    case YAML_UTF16LE_ENCODING: return names.utf_16_le;
    case YAML_UTF16BE_ENCODING: return names.utf_16_be;
    default: return Py_None;
    }
}

// Borrowed: flow_style of a sequence or mapping (True, False or None).
inline PyObject* flow_style_object(bool flow, bool block) noexcept {
    if (flow) return Py_True;
    if (block) return Py_False;
    return Py_None;
}

inline PyObject* sequence_flow_style(int style) noexcept {
    return flow_style_object(style == YAML_FLOW_SEQUENCE_STYLE, style == YAML_BLOCK_SEQUENCE_STYLE);
}

inline PyObject* mapping_flow_style(int style) noexcept {
    return flow_style_object(style == YAML_FLOW_MAPPING_STYLE, style == YAML_BLOCK_MAPPING_STYLE);
}

inline PyObject* bool_object(bool value) noexcept { return value ? Py_True : Py_False; }


}  // namespace ymod
