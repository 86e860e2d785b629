// The parser's layers as seen by the object: the Python methods they add to
// CParser's method table (in table order) and the internal operations they
// put into the operation table.
#pragma once

#include "cparser.hpp"

namespace ymod {

// Fills every slot of the operation table, in slot order.
void fill_parser_vtable(CParserVTable& table);

// Internal operations, one definition each (errors.cpp, tokens.cpp,
// events.cpp, composer.cpp). Contracts as in CParserVTable.
PyObject* parser_error(CParserObject* self);
PyObject* parser_scan(CParserObject* self);
PyObject* parser_token_to_object(CParserObject* self, yaml_token_t* token);
PyObject* parser_parse(CParserObject* self);
PyObject* parser_event_to_object(CParserObject* self, yaml_event_t* event);
PyObject* parser_compose_document(CParserObject* self);
PyObject* parser_compose_node(CParserObject* self, PyObject* parent, PyObject* index);
PyObject* parser_compose_scalar_node(CParserObject* self, PyObject* anchor);
PyObject* parser_compose_sequence_node(CParserObject* self, PyObject* anchor);
PyObject* parser_compose_mapping_node(CParserObject* self, PyObject* anchor);
int parser_parse_next_event(CParserObject* self);

// Python methods (METH_FASTCALL | METH_KEYWORDS); each passes ParserEntry
// before it touches libyaml.
#define YMOD_DECLARE_LAYER_METHOD(fn) \
    PyObject* fn(PyObject* self, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames);
YMOD_DECLARE_LAYER_METHOD(parser_raw_scan)
YMOD_DECLARE_LAYER_METHOD(parser_get_token)
YMOD_DECLARE_LAYER_METHOD(parser_peek_token)
YMOD_DECLARE_LAYER_METHOD(parser_check_token)
YMOD_DECLARE_LAYER_METHOD(parser_raw_parse)
YMOD_DECLARE_LAYER_METHOD(parser_get_event)
YMOD_DECLARE_LAYER_METHOD(parser_peek_event)
YMOD_DECLARE_LAYER_METHOD(parser_check_event)
YMOD_DECLARE_LAYER_METHOD(parser_check_node)
YMOD_DECLARE_LAYER_METHOD(parser_get_node)
YMOD_DECLARE_LAYER_METHOD(parser_get_single_node)
#undef YMOD_DECLARE_LAYER_METHOD

#define YMOD_LAYER_METHOD_ENTRY(name, fn)                                          \
    {name, ::ymod::fastcall(::ymod::fn), \
     METH_FASTCALL | METH_KEYWORDS, nullptr},

// Python methods of the token, event and node layers, placed between
// `dispose` and `__reduce__` in CParser's method table.
#define YMOD_PARSER_LAYER_METHODS                                   \
    YMOD_LAYER_METHOD_ENTRY("raw_scan", parser_raw_scan)            \
    YMOD_LAYER_METHOD_ENTRY("get_token", parser_get_token)          \
    YMOD_LAYER_METHOD_ENTRY("peek_token", parser_peek_token)        \
    YMOD_LAYER_METHOD_ENTRY("check_token", parser_check_token)      \
    YMOD_LAYER_METHOD_ENTRY("raw_parse", parser_raw_parse)          \
    YMOD_LAYER_METHOD_ENTRY("get_event", parser_get_event)          \
    YMOD_LAYER_METHOD_ENTRY("peek_event", parser_peek_event)        \
    YMOD_LAYER_METHOD_ENTRY("check_event", parser_check_event)      \
    YMOD_LAYER_METHOD_ENTRY("check_node", parser_check_node)        \
    YMOD_LAYER_METHOD_ENTRY("get_node", parser_get_node)            \
    YMOD_LAYER_METHOD_ENTRY("get_single_node", parser_get_single_node)

}  // namespace ymod
