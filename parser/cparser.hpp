// CParser: one libyaml parser over a str, a bytes object or a file-like
// object, read at three levels (tokens, events, composed nodes).
#pragma once

#include <yaml.h>

#include "../module/input.hpp"
#include "../module/state.hpp"

namespace ymod {

struct CParserObject;

// Internal operations, in slot order. Every call goes through the instance's
// `vtab` pointer. Object-returning operations give a new reference, or null
// with an exception set; `_parse_next_event` returns 0 or -1.
struct CParserVTable {
    PyObject* (*_parser_error)(CParserObject* self);
    PyObject* (*_scan)(CParserObject* self);
    PyObject* (*_token_to_object)(CParserObject* self, yaml_token_t* token);
    PyObject* (*_parse)(CParserObject* self);
    PyObject* (*_event_to_object)(CParserObject* self, yaml_event_t* event);
    PyObject* (*_compose_document)(CParserObject* self);
    PyObject* (*_compose_node)(CParserObject* self, PyObject* parent, PyObject* index);
    PyObject* (*_compose_scalar_node)(CParserObject* self, PyObject* anchor);
    PyObject* (*_compose_sequence_node)(CParserObject* self, PyObject* anchor);
    PyObject* (*_compose_mapping_node)(CParserObject* self, PyObject* anchor);
    int (*_parse_next_event)(CParserObject* self);
};

struct CParserObject {
    PyObject_HEAD
    CParserVTable* vtab;
    yaml_parser_t libyaml_parser;
    yaml_event_t parsed_event;
    InputSource source;     // stream, input_name, read_chunk and its counters, text_input
    PyObject* cached_token;
    PyObject* cached_event;
    PyObject* anchor_map;
    // Bookkeeping of our own, not part of the parser's visible state.
    int ready;      // 1 once __init__ has run to its end; 0 while it runs and after it fails
    int busy;       // BusyGuard flag
    int depth;      // DepthGuard counter of the composer
};

// The instance behind a method's `self`.
inline CParserObject* as_parser(PyObject* o) noexcept { return reinterpret_cast<CParserObject*>(o); }

// Entry check of every parsing method: the parser must have an input and
// must not be running already (a callback re-entering it is refused).
class ParserEntry {
public:
    explicit ParserEntry(CParserObject* self) noexcept;
    explicit operator bool() const noexcept { return ok_; }

private:
    BusyGuard busy_;
    bool ok_;
};

extern PyTypeObject CParserType;
extern CParserVTable cparser_vtable;

// Fills the operation table and the type's slots (before PyType_Ready).
void prepare_cparser_type();

}  // namespace ymod
