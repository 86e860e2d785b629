// CEmitter: the object, its options and its lifecycle (its output is an
// OutputSink).
#include "cemitter.hpp"

#include <cstring>

#include "../module/errors.hpp"
#include "layers.hpp"

namespace ymod {
namespace {

PyObject* cemitter_new(PyTypeObject* type, PyObject*, PyObject*) {
    PyObject* o = type->tp_alloc(type, 0);  // zero-filled: the libyaml emitter included
    if (!o) return nullptr;
    CEmitterObject* e = as_emitter(o);
    e->vtab = &cemitter_vtable;
    e->output.stream = Py_NewRef(Py_None);
    e->document_version = Py_NewRef(Py_None);
    e->document_tags = Py_NewRef(Py_None);
    e->emitted_nodes = Py_NewRef(Py_None);
    e->anchor_names = Py_NewRef(Py_None);
    e->encoding_option = Py_NewRef(Py_None);
    e->serializer_state = -1;  // not opened (zero would read as opened)
    return o;
}

PyObject* const* const init_params[] = {
    &names.stream,     &names.canonical,      &names.indent,       &names.width,
    &names.allow_unicode, &names.line_break,  &names.encoding,     &names.explicit_start,
    &names.explicit_end, &names.version,      &names.tags,
};
const Signature init_sig{"__init__", init_params, 11, 1};

enum InitArg { kStream, kCanonical, kIndent, kWidth, kAllowUnicode, kLineBreak, kEncoding,
               kExplicitStart, kExplicitEnd, kVersion, kTags, kInitArgs };

// Maps a line_break option to libyaml's break kind; YAML_ANY_BREAK when it
// names none of the three.
bool line_break_kind(PyObject* option, yaml_break_t* kind) {
    *kind = YAML_ANY_BREAK;
    if (option == Py_None) return true;
    static const struct { PyObject* const* text; yaml_break_t kind; } breaks[] = {
        {&names.break_cr, YAML_CR_BREAK},
        {&names.break_ln, YAML_LN_BREAK},
        {&names.break_crln, YAML_CRLN_BREAK},
    };
    for (const auto& b : breaks) {
        int same = PyObject_RichCompareBool(option, *b.text, Py_EQ);
        if (same < 0) return false;
        if (same) {
            *kind = b.kind;
            return true;
        }
    }
    return true;
}

int cemitter_init(PyObject* o, PyObject* args, PyObject* kwargs) {
    PyObject* a[kInitArgs];
    if (!bind_args(init_sig, args, kwargs, a)) return -1;
    for (PyObject*& arg : a) {
        if (!arg) arg = Py_None;
    }
    CEmitterObject* self = as_emitter(o);
    BusyGuard busy(self->busy, "emitter");
    if (!busy.entered()) return -1;

    // Usable only once every step below has succeeded. A second __init__
    // starts over with a fresh libyaml emitter, also after a failed one
    // (which leaves the emitter initialised); a zero-filled record of a
    // fresh instance is valid to delete.
    self->ready = 0;
    yaml_emitter_delete(&self->emitter);
    std::memset(&self->emitter, 0, sizeof self->emitter);
    if (!yaml_emitter_initialize(&self->emitter)) {
        return no_memory();
    }

    assign_field(self->output.stream, a[kStream]);
    self->output.text_output = 0;
    Ref encoding_attr;
    int has_encoding = optional_attr(a[kStream], names.encoding, encoding_attr);
    if (has_encoding < 0) return -1;
    if (has_encoding) self->output.text_output = 1;
    assign_field(self->encoding_option, a[kEncoding]);
    yaml_emitter_set_output(&self->emitter, output_handler, &self->output);

    bool flag;
    if (!truth(a[kCanonical], &flag)) return -1;
    if (flag) yaml_emitter_set_canonical(&self->emitter, 1);
    int number;
    if (a[kIndent] != Py_None) {
        if (!to_c_int(a[kIndent], &number)) return -1;
        yaml_emitter_set_indent(&self->emitter, number);
    }
    if (a[kWidth] != Py_None) {
        if (!to_c_int(a[kWidth], &number)) return -1;
        yaml_emitter_set_width(&self->emitter, number);
    }
    if (!truth(a[kAllowUnicode], &flag)) return -1;
    if (flag) yaml_emitter_set_unicode(&self->emitter, 1);
    yaml_break_t kind;
    if (!line_break_kind(a[kLineBreak], &kind)) return -1;
    if (kind != YAML_ANY_BREAK) yaml_emitter_set_break(&self->emitter, kind);

    self->implicit_start = 1;
    if (!truth(a[kExplicitStart], &flag)) return -1;
    if (flag) self->implicit_start = 0;
    self->implicit_end = 1;
    if (!truth(a[kExplicitEnd], &flag)) return -1;
    if (flag) self->implicit_end = 0;

    assign_field(self->document_version, a[kVersion]);
    assign_field(self->document_tags, a[kTags]);
    Ref emitted = Ref::steal(PyDict_New());
    Ref anchors = Ref::steal(PyDict_New());
    if (!emitted || !anchors) return -1;
    replace_field(self->emitted_nodes, std::move(emitted));
    replace_field(self->anchor_names, std::move(anchors));
    self->anchor_counter = 0;
    self->serializer_state = -1;
    self->ready = 1;
    return 0;
}

int cemitter_traverse(PyObject* o, visitproc visit, void* arg) {
    CEmitterObject* self = as_emitter(o);
    Py_VISIT(self->output.stream);
    Py_VISIT(self->document_version);
    Py_VISIT(self->document_tags);
    Py_VISIT(self->emitted_nodes);
    Py_VISIT(self->anchor_names);
    Py_VISIT(self->encoding_option);
    return 0;
}

int cemitter_clear(PyObject* o) {
    CEmitterObject* self = as_emitter(o);
    clear_field(self->output.stream);
    clear_field(self->document_version);
    clear_field(self->document_tags);
    clear_field(self->emitted_nodes);
    clear_field(self->anchor_names);
    clear_field(self->encoding_option);
    return 0;
}

void cemitter_dealloc(PyObject* o) {
    // The type has no finaliser of its own. A Python subclass's __del__
    // has run by now: the interpreter's dealloc of the subclass runs it,
    // and stops there if it resurrects the object, before calling this one.
    PyObject_GC_UnTrack(o);
    CEmitterObject* self = as_emitter(o);
    {
        // No flush: text libyaml still buffers is dropped.
        SavedError saved;
        yaml_emitter_delete(&self->emitter);
    }
    Py_CLEAR(self->output.stream);
    Py_CLEAR(self->document_version);
    Py_CLEAR(self->document_tags);
    Py_CLEAR(self->emitted_nodes);
    Py_CLEAR(self->anchor_names);
    Py_CLEAR(self->encoding_option);
    Py_TYPE(o)->tp_free(o);
}

PyObject* cemitter_dispose(PyObject*, PyObject* const*, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_none("dispose", nargsf, kwnames)) return nullptr;
    Py_RETURN_NONE;
}

constexpr const char kNoPickle[] =
    "Pickling of struct members such as self.emitter must be explicitly requested with "
    "@auto_pickle(True)";

PyObject* cemitter_reduce(PyObject*, PyObject* const*, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_none("__reduce__", nargsf, kwnames)) return nullptr;
    PyErr_SetString(PyExc_TypeError, kNoPickle);
    return nullptr;
}

PyObject* const* const setstate_params[] = {&names.pyx_state};
const Signature setstate_sig{"__setstate__", setstate_params, 1, 1};

PyObject* cemitter_setstate(PyObject*, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames) {
    PyObject* state;
    if (!bind_args(setstate_sig, args, nargsf, kwnames, &state)) return nullptr;
    PyErr_SetString(PyExc_TypeError, kNoPickle);
    return nullptr;
}


PyMethodDef cemitter_methods[] = {
    {"dispose", fastcall(cemitter_dispose), kFastcallFlags, nullptr},
    YMOD_EMITTER_LAYER_METHODS
    {"__reduce__", fastcall(cemitter_reduce), kFastcallFlags, nullptr},
    {"__setstate__", fastcall(cemitter_setstate), kFastcallFlags, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

// _emitter_error: the exception for libyaml's current emitter error.
PyObject* emitter_error(CEmitterObject* self) { return emitter_error_object(self->emitter).release(); }

}  // namespace

EmitterEntry::EmitterEntry(CEmitterObject* self) noexcept : busy_(self->busy, "emitter"), ok_(false) {
    if (!busy_.entered()) return;
    if (!self->ready) {
        PyErr_SetString(PyExc_RuntimeError,
                        "the emitter is not initialised: CEmitter.__init__ was not called or failed");
        return;
    }
    ok_ = true;
}

int guarded_emit(CEmitterObject* self, yaml_event_t* event) {
    return emit_checked(self->emitter, event,
                        [self] { return Ref::steal(self->vtab->_emitter_error(self)); });
}

PyTypeObject CEmitterType = {PyVarObject_HEAD_INIT(nullptr, 0)};
CEmitterVTable cemitter_vtable;

void prepare_cemitter_type() {
    cemitter_vtable._emitter_error = emitter_error;
    fill_emitter_vtable(cemitter_vtable);
    PyTypeObject& t = CEmitterType;
    t.tp_name = "yaml._yaml.CEmitter";
    t.tp_basicsize = sizeof(CEmitterObject);
    t.tp_dealloc = cemitter_dealloc;
    t.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE | Py_TPFLAGS_HAVE_GC;
    t.tp_traverse = cemitter_traverse;
    t.tp_clear = cemitter_clear;
    t.tp_methods = cemitter_methods;
    t.tp_init = cemitter_init;
    t.tp_new = cemitter_new;
}

}  // namespace ymod
