// Token layer: libyaml tokens as host token objects, with a one-token
// look-ahead (`cached_token`) and a counting pass that builds no objects.
#include "records.hpp"

namespace ymod {
namespace {

// New reference: the tag token's (handle, suffix); an empty handle (verbatim
// tags, the lone "!") is reported as None.
Ref tag_pair(const yaml_char_t* handle_text, const yaml_char_t* suffix_text) {
    Ref handle = (handle_text && handle_text[0] == '\0') ? Ref::none() : decode_text(handle_text);
    if (!handle) return Ref();
    Ref suffix = decode_text(suffix_text);
    if (!suffix) return Ref();
    return Ref::steal(PyTuple_Pack(2, handle.get(), suffix.get()));
}

// New reference: (decoded a, decoded b).
Ref text_pair(const yaml_char_t* a_text, const yaml_char_t* b_text) {
    Ref a = decode_text(a_text);
    if (!a) return Ref();
    Ref b = decode_text(b_text);
    if (!b) return Ref();
    return Ref::steal(PyTuple_Pack(2, a.get(), b.get()));
}

// Host class name of the tokens that carry nothing but their marks.
PyObject* bare_token_class(int type) {
    switch (type) {
    case YAML_STREAM_END_TOKEN: return names.StreamEndToken;
    case YAML_DOCUMENT_START_TOKEN: return names.DocumentStartToken;
    case YAML_DOCUMENT_END_TOKEN: return names.DocumentEndToken;
    case YAML_BLOCK_SEQUENCE_START_TOKEN: return names.BlockSequenceStartToken;
    case YAML_BLOCK_MAPPING_START_TOKEN: return names.BlockMappingStartToken;
    case YAML_BLOCK_END_TOKEN: return names.BlockEndToken;
    case YAML_FLOW_SEQUENCE_START_TOKEN: return names.FlowSequenceStartToken;
    case YAML_FLOW_SEQUENCE_END_TOKEN: return names.FlowSequenceEndToken;
    case YAML_FLOW_MAPPING_START_TOKEN: return names.FlowMappingStartToken;
    case YAML_FLOW_MAPPING_END_TOKEN: return names.FlowMappingEndToken;
    case YAML_BLOCK_ENTRY_TOKEN: return names.BlockEntryToken;
    case YAML_FLOW_ENTRY_TOKEN: return names.FlowEntryToken;
    case YAML_KEY_TOKEN: return names.KeyToken;
    case YAML_VALUE_TOKEN: return names.ValueToken;
    default: return nullptr;
    }
}


}  // namespace

// New reference to the token object, None for YAML_NO_TOKEN; null with an
// exception set. The raw token is only read.
PyObject* parser_token_to_object(CParserObject* self, yaml_token_t* token) {
    Ref start_mark = parser_mark(self, token->start_mark);
    if (!start_mark) return nullptr;
    Ref end_mark = parser_mark(self, token->end_mark);
    if (!end_mark) return nullptr;
    PyObject* marks[] = {start_mark.get(), end_mark.get()};

    const int type = raw_enum(token->type);
    if (PyObject* bare = bare_token_class(type)) {
        return call_host(bare, marks, 2).release();
    }
    switch (type) {
    case YAML_NO_TOKEN:
        Py_RETURN_NONE;
    case YAML_STREAM_START_TOKEN: {
        PyObject* args[] = {marks[0], marks[1],
                            encoding_object(raw_enum(token->data.stream_start.encoding), self->source.text_input)};
        return call_host(names.StreamStartToken, args, 3).release();
    }
    case YAML_VERSION_DIRECTIVE_TOKEN: {
        const auto& v = token->data.version_directive;
        Ref value = version_pair(v.major, v.minor);
        if (!value) return nullptr;
        PyObject* args[] = {names.YAML_, value.get(), marks[0], marks[1]};
        return call_host(names.DirectiveToken, args, 4).release();
    }
    case YAML_TAG_DIRECTIVE_TOKEN: {
        const auto& t = token->data.tag_directive;
        Ref value = text_pair(t.handle, t.prefix);
        if (!value) return nullptr;
        PyObject* args[] = {names.TAG_, value.get(), marks[0], marks[1]};
        return call_host(names.DirectiveToken, args, 4).release();
    }
    case YAML_ALIAS_TOKEN:
    case YAML_ANCHOR_TOKEN: {
        bool alias = type == YAML_ALIAS_TOKEN;
        Ref value = decode_text(alias ? token->data.alias.value : token->data.anchor.value);
        if (!value) return nullptr;
        PyObject* args[] = {value.get(), marks[0], marks[1]};
        return call_host(alias ? names.AliasToken : names.AnchorToken, args, 3).release();
    }
    case YAML_TAG_TOKEN: {
        Ref value = tag_pair(token->data.tag.handle, token->data.tag.suffix);
        if (!value) return nullptr;
        PyObject* args[] = {value.get(), marks[0], marks[1]};
        return call_host(names.TagToken, args, 3).release();
    }
    case YAML_SCALAR_TOKEN: {
        const auto& s = token->data.scalar;
        Ref value = decode_text(s.value, s.length);
        if (!value) return nullptr;
        const int style = raw_enum(s.style);
        PyObject* args[] = {value.get(), bool_object(style == YAML_PLAIN_SCALAR_STYLE), marks[0], marks[1],
                            scalar_style_object(style)};
        return call_host(names.ScalarToken, args, 5).release();
    }
    default:
        break;
    }
    PyErr_SetString(PyExc_ValueError, "unknown token type");
    return nullptr;
}

// New reference to the next token object (None past the stream end).
PyObject* parser_scan(CParserObject* self) {
    TokenHolder raw;
    if (!libyaml_call_ok(self, raw.next(self))) return nullptr;
    return self->vtab->_token_to_object(self, &raw.token);
}

PyObject* parser_raw_scan(PyObject* o, PyObject* const*, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_none("raw_scan", nargsf, kwnames)) return nullptr;
    CParserObject* self = as_parser(o);
    ParserEntry entry(self);
    if (!entry) return nullptr;
    return count_records<TokenHolder>(self);
}

PyObject* parser_get_token(PyObject* o, PyObject* const*, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_none("get_token", nargsf, kwnames)) return nullptr;
    CParserObject* self = as_parser(o);
    ParserEntry entry(self);
    if (!entry) return nullptr;
    return take_slot(self, self->cached_token, self->vtab->_scan);
}

PyObject* parser_peek_token(PyObject* o, PyObject* const*, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_none("peek_token", nargsf, kwnames)) return nullptr;
    CParserObject* self = as_parser(o);
    ParserEntry entry(self);
    if (!entry) return nullptr;
    return peek_slot(self, self->cached_token, self->vtab->_scan);
}

PyObject* parser_check_token(PyObject* o, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_no_keywords("check_token", kwnames)) return nullptr;
    CParserObject* self = as_parser(o);
    ParserEntry entry(self);
    if (!entry) return nullptr;
    return check_slot(self, self->cached_token, self->vtab->_scan, args, PyVectorcall_NARGS(nargsf));
}

}  // namespace ymod
