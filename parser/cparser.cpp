// CParser: the object and its lifecycle (its input is an InputSource).
#include "cparser.hpp"

#include <cstring>

#include "layers.hpp"

namespace ymod {
namespace {

PyObject* cparser_new(PyTypeObject* type, PyObject*, PyObject*) {
    PyObject* o = type->tp_alloc(type, 0);  // zero-filled: libyaml records included
    if (!o) return nullptr;
    CParserObject* p = as_parser(o);
    p->vtab = &cparser_vtable;
    p->source.init_fields();
    p->cached_token = Py_NewRef(Py_None);
    p->cached_event = Py_NewRef(Py_None);
    p->anchor_map = Py_NewRef(Py_None);
    return o;
}

// Releases what a previous __init__ gave libyaml, so a second __init__
// neither leaks nor keeps a dangling input.
void release_libyaml(CParserObject* self) {
    yaml_parser_delete(&self->libyaml_parser);
    yaml_event_delete(&self->parsed_event);
    std::memset(&self->libyaml_parser, 0, sizeof self->libyaml_parser);
    std::memset(&self->parsed_event, 0, sizeof self->parsed_event);
}

PyObject* const* const init_params[] = {&names.stream};
const Signature init_sig{"__init__", init_params, 1, 1};

int cparser_init(PyObject* o, PyObject* args, PyObject* kwargs) {
    PyObject* stream;
    if (!bind_args(init_sig, args, kwargs, &stream)) return -1;
    CParserObject* self = as_parser(o);
    BusyGuard busy(self->busy, "parser");
    if (!busy.entered()) return -1;

    self->ready = 0;
    release_libyaml(self);
    if (!yaml_parser_initialize(&self->libyaml_parser)) {
        return no_memory();
    }
    self->parsed_event.type = YAML_NO_EVENT;
    if (self->source.open(&self->libyaml_parser, stream) < 0) return -1;

    clear_field(self->cached_token);
    clear_field(self->cached_event);
    Ref anchors = Ref::steal(PyDict_New());
    if (!anchors) return -1;
    replace_field(self->anchor_map, std::move(anchors));
    // Usable only once every step has succeeded: a failure above leaves the
    // parser refusing work instead of reading stale look-ahead slots.
    self->ready = 1;
    return 0;
}

int cparser_traverse(PyObject* o, visitproc visit, void* arg) {
    CParserObject* self = as_parser(o);
    Py_VISIT(self->source.stream);
    Py_VISIT(self->source.input_name);
    Py_VISIT(self->cached_token);
    Py_VISIT(self->cached_event);
    Py_VISIT(self->anchor_map);
    Py_VISIT(self->source.read_chunk);
    return 0;
}

int cparser_clear(PyObject* o) {
    CParserObject* self = as_parser(o);
    clear_field(self->source.stream);
    clear_field(self->source.input_name);
    clear_field(self->cached_token);
    clear_field(self->cached_event);
    clear_field(self->anchor_map);
    clear_field(self->source.read_chunk);
    return 0;
}

void cparser_dealloc(PyObject* o) {
    // The type has no finaliser of its own. A Python subclass's __del__
    // has run by now: the interpreter's dealloc of the subclass runs it,
    // and stops there if it resurrects the object, before calling this one.
    PyObject_GC_UnTrack(o);
    CParserObject* self = as_parser(o);
    {
        SavedError saved;
        yaml_parser_delete(&self->libyaml_parser);
        yaml_event_delete(&self->parsed_event);
    }
    Py_CLEAR(self->source.stream);
    Py_CLEAR(self->source.input_name);
    Py_CLEAR(self->cached_token);
    Py_CLEAR(self->cached_event);
    Py_CLEAR(self->anchor_map);
    Py_CLEAR(self->source.read_chunk);
    Py_TYPE(o)->tp_free(o);
}

PyObject* cparser_dispose(PyObject*, PyObject* const*, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_none("dispose", nargsf, kwnames)) return nullptr;
    Py_RETURN_NONE;
}

constexpr const char kNoPickle[] = "self.parsed_event cannot be converted to a Python object for pickling";

PyObject* cparser_reduce(PyObject*, PyObject* const*, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_none("__reduce__", nargsf, kwnames)) return nullptr;
    PyErr_SetString(PyExc_TypeError, kNoPickle);
    return nullptr;
}

PyObject* const* const setstate_params[] = {&names.pyx_state};
const Signature setstate_sig{"__setstate__", setstate_params, 1, 1};

PyObject* cparser_setstate(PyObject*, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames) {
    PyObject* state;
    if (!bind_args(setstate_sig, args, nargsf, kwnames, &state)) return nullptr;
    PyErr_SetString(PyExc_TypeError, kNoPickle);
    return nullptr;
}


PyMethodDef cparser_methods[] = {
    {"dispose", fastcall(cparser_dispose), kFastcallFlags, nullptr},
    YMOD_PARSER_LAYER_METHODS
    {"__reduce__", fastcall(cparser_reduce), kFastcallFlags, nullptr},
    {"__setstate__", fastcall(cparser_setstate), kFastcallFlags, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

ParserEntry::ParserEntry(CParserObject* self) noexcept : busy_(self->busy, "parser"), ok_(false) {
    if (!busy_.entered()) return;
    if (!self->ready) {
        PyErr_SetString(PyExc_RuntimeError,
                        "the parser has no input: CParser.__init__ was not called or failed");
        return;
    }
    ok_ = true;
}

PyTypeObject CParserType = {PyVarObject_HEAD_INIT(nullptr, 0)};
CParserVTable cparser_vtable;

void prepare_cparser_type() {
    fill_parser_vtable(cparser_vtable);
    PyTypeObject& t = CParserType;
    t.tp_name = "yaml._yaml.CParser";
    t.tp_basicsize = sizeof(CParserObject);
    t.tp_dealloc = cparser_dealloc;
    t.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE | Py_TPFLAGS_HAVE_GC;
    t.tp_traverse = cparser_traverse;
    t.tp_clear = cparser_clear;
    t.tp_methods = cparser_methods;
    t.tp_init = cparser_init;
    t.tp_new = cparser_new;
}

}  // namespace ymod
