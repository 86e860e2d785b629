// The Mark type: its slots, its printed form and its pickle format.
#include "mark_type.hpp"

#include <cinttypes>
#include <cstdio>

namespace ymod {
namespace {

// The state layout checksum written by __reduce__, and the two older layouts
// still accepted when reading.
constexpr int64_t kChecksum = 0x27a7a5c;
constexpr int64_t kChecksumAlt1 = 0x5c0fd87;
constexpr int64_t kChecksumAlt2 = 0x3fa45b6;

MarkObject* as_mark(PyObject* o) { return reinterpret_cast<MarkObject*>(o); }

PyObject* mark_new(PyTypeObject* type, PyObject*, PyObject*) {
    if (type->tp_flags & Py_TPFLAGS_IS_ABSTRACT) [[unlikely]] {
        // object.__new__ refuses abstract classes with its own message.
        return PyBaseObject_Type.tp_new(type, consts.empty_tuple, nullptr);
    }
    PyObject* o = type->tp_alloc(type, 0);
    if (!o) return nullptr;
    MarkObject* m = as_mark(o);
    m->name = Py_NewRef(Py_None);
    m->buffer = Py_NewRef(Py_None);
    m->pointer = Py_NewRef(Py_None);
    m->index = m->line = m->column = 0;
    return o;
}

PyObject* const* const init_params[] = {&names.name,   &names.index,  &names.line,
                                        &names.column, &names.buffer, &names.pointer};
const Signature init_sig{"__init__", init_params, 6, 6};

int mark_init(PyObject* self, PyObject* args, PyObject* kwargs) {
    PyObject* a[6];
    if (!bind_args(init_sig, args, kwargs, a)) return -1;
    size_t index, line, column;
    if (!to_size_t(a[1], &index) || !to_size_t(a[2], &line) || !to_size_t(a[3], &column)) return -1;
    MarkObject* m = as_mark(self);
    assign_field(m->name, a[0]);
    m->index = index;
    m->line = line;
    m->column = column;
    assign_field(m->buffer, a[4]);
    assign_field(m->pointer, a[5]);
    return 0;
}

int mark_traverse(PyObject* self, visitproc visit, void* arg) {
    MarkObject* m = as_mark(self);
    Py_VISIT(m->name);
    Py_VISIT(m->buffer);
    Py_VISIT(m->pointer);
    return 0;
}

int mark_clear(PyObject* self) {
    MarkObject* m = as_mark(self);
    clear_field(m->name);
    clear_field(m->buffer);
    clear_field(m->pointer);
    return 0;
}

void mark_dealloc(PyObject* self) {
    // The type has no finaliser of its own. A Python subclass's __del__
    // has run by now: the interpreter's dealloc of the subclass runs it,
    // and stops there if it resurrects the object, before calling this one.
    PyObject_GC_UnTrack(self);
    MarkObject* m = as_mark(self);
    Py_CLEAR(m->name);
    Py_CLEAR(m->buffer);
    Py_CLEAR(m->pointer);
    Py_TYPE(self)->tp_free(self);
}

PyObject* mark_str(PyObject* self) {
    MarkObject* m = as_mark(self);
    Ref text = Ref::steal(PyObject_Str(m->name));
    if (!text) return nullptr;
    if (!PyUnicode_CheckExact(text.get())) {
        text = Ref::steal(PyObject_Format(text.get(), consts.empty_str));
        if (!text) return nullptr;
    }
    // Printed positions are 1-based; the arithmetic wraps like size_t does.
    char line[24], column[24];
    std::snprintf(line, sizeof line, "%" PRIu64, static_cast<uint64_t>(m->line + 1));
    std::snprintf(column, sizeof column, "%" PRIu64, static_cast<uint64_t>(m->column + 1));
    return PyUnicode_FromFormat("  in \"%U\", line %s, column %s", text.get(), line, column);
}

PyObject* get_name(PyObject* self, void*) { return Py_NewRef(as_mark(self)->name); }
PyObject* get_buffer(PyObject* self, void*) { return Py_NewRef(as_mark(self)->buffer); }
PyObject* get_pointer(PyObject* self, void*) { return Py_NewRef(as_mark(self)->pointer); }
PyObject* get_index(PyObject* self, void*) { return PyLong_FromSize_t(as_mark(self)->index); }
PyObject* get_line(PyObject* self, void*) { return PyLong_FromSize_t(as_mark(self)->line); }
PyObject* get_column(PyObject* self, void*) { return PyLong_FromSize_t(as_mark(self)->column); }

PyGetSetDef mark_getset[] = {
    {"name", get_name, nullptr, nullptr, nullptr},
    {"index", get_index, nullptr, nullptr, nullptr},
    {"line", get_line, nullptr, nullptr, nullptr},
    {"column", get_column, nullptr, nullptr, nullptr},
    {"buffer", get_buffer, nullptr, nullptr, nullptr},
    {"pointer", get_pointer, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyObject* mark_get_snippet(PyObject*, PyObject* const*, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_none("get_snippet", nargsf, kwnames)) return nullptr;
    Py_RETURN_NONE;
}

// Reads item `i` of a pickled state tuple, with the tuple's own IndexError.
PyObject* state_item(PyObject* state, Py_ssize_t i) {
    if (i >= PyTuple_GET_SIZE(state)) {
        PyErr_SetString(PyExc_IndexError, "tuple index out of range");
        return nullptr;
    }
    return PyTuple_GET_ITEM(state, i);
}

// Applies a pickled state (buffer, column, index, line, name, pointer[, dict])
// field by field: each field is written as soon as its item is read, so a
// failure keeps the fields written before it.
int apply_state(MarkObject* m, PyObject* state) {
    PyObject* item;
    size_t number;
    if (!(item = state_item(state, 0))) return -1;
    assign_field(m->buffer, item);
    if (!(item = state_item(state, 1)) || !to_size_t(item, &number)) return -1;
    m->column = number;
    if (!(item = state_item(state, 2)) || !to_size_t(item, &number)) return -1;
    m->index = number;
    if (!(item = state_item(state, 3)) || !to_size_t(item, &number)) return -1;
    m->line = number;
    if (!(item = state_item(state, 4))) return -1;
    assign_field(m->name, item);
    if (!(item = state_item(state, 5))) return -1;
    assign_field(m->pointer, item);
    if (PyTuple_GET_SIZE(state) <= 6) return 0;

    PyObject* extra = PyTuple_GET_ITEM(state, 6);
    bool present;
    if (!truth(extra, &present)) return -1;
    if (!present) return 0;
    Ref dict = Ref::steal(PyObject_GenericGetDict(reinterpret_cast<PyObject*>(m), nullptr));
    if (!dict) return -1;
    if (PyDict_CheckExact(dict.get())) return PyDict_Update(dict.get(), extra);
    Ref r = Ref::steal(PyObject_CallMethodOneArg(dict.get(), names.update, extra));
    return r ? 0 : -1;
}

PyObject* mark_reduce(PyObject* self, PyObject* const*, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_none("__reduce__", nargsf, kwnames)) return nullptr;
    MarkObject* m = as_mark(self);
    Ref column = Ref::steal(PyLong_FromSize_t(m->column));
    Ref index = column ? Ref::steal(PyLong_FromSize_t(m->index)) : Ref();
    Ref line = index ? Ref::steal(PyLong_FromSize_t(m->line)) : Ref();
    if (!line) return nullptr;
    Ref state = Ref::steal(PyTuple_Pack(6, m->buffer, column.get(), index.get(), line.get(),
                                        m->name, m->pointer));
    if (!state) return nullptr;

    Ref dict;
    if (optional_attr(self, names.dunder_dict, dict) < 0) return nullptr;
    bool use_setstate;
    bool has_dict = false;
    if (dict && dict.get() != Py_None && !truth(dict.get(), &has_dict)) return nullptr;
    if (has_dict) {
        Ref extended = Ref::steal(PyTuple_Pack(1, dict.get()));
        if (!extended) return nullptr;
        state = Ref::steal(PySequence_Concat(state.get(), extended.get()));
        if (!state) return nullptr;
        use_setstate = true;
    } else {
        use_setstate = m->buffer != Py_None || m->name != Py_None || m->pointer != Py_None;
    }

    Ref rebuild = lookup_global(names.pyx_unpickle_Mark);
    if (!rebuild) return nullptr;
    PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(self));
    if (use_setstate) {
        Ref args = Ref::steal(PyTuple_Pack(3, type, consts.mark_checksum, Py_None));
        if (!args) return nullptr;
        return PyTuple_Pack(3, rebuild.get(), args.get(), state.get());
    }
    Ref args = Ref::steal(PyTuple_Pack(3, type, consts.mark_checksum, state.get()));
    if (!args) return nullptr;
    return PyTuple_Pack(2, rebuild.get(), args.get());
}

PyObject* const* const setstate_params[] = {&names.pyx_state};
const Signature setstate_sig{"__setstate__", setstate_params, 1, 1};

PyObject* mark_setstate(PyObject* self, PyObject* const* args, Py_ssize_t nargsf,
                        PyObject* kwnames) {
    PyObject* state;
    if (!bind_args(setstate_sig, args, nargsf, kwnames, &state)) return nullptr;
    if (state == Py_None) {
        PyErr_SetString(PyExc_TypeError,
                        "cannot pass None into a C function argument that is declared 'not None'");
        return nullptr;
    }
    if (!PyTuple_CheckExact(state)) {
        PyErr_Format(PyExc_TypeError, "Expected %s, got %.200s", "tuple", Py_TYPE(state)->tp_name);
        return nullptr;
    }
    if (apply_state(as_mark(self), state) < 0) return nullptr;
    Py_RETURN_NONE;
}

PyMethodDef mark_methods[] = {
    {"get_snippet", fastcall(mark_get_snippet), kFastcallFlags, nullptr},
    {"__reduce__", fastcall(mark_reduce), kFastcallFlags, nullptr},
    {"__setstate__", fastcall(mark_setstate), kFastcallFlags, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyObject* const* const unpickle_params[] = {&names.pyx_type, &names.pyx_checksum, &names.pyx_state};
const Signature unpickle_sig{"__pyx_unpickle_Mark", unpickle_params, 3, 3};

[[gnu::noinline, gnu::cold]] void raise_bad_checksum(int64_t checksum) {
    Ref pickle = Ref::steal(PyImport_Import(names.pickle));
    if (!pickle) return;
    Ref error = read_attr(pickle.get(), names.PickleError);
    if (!error) return;
    PyErr_Format(error.get(), "Incompatible checksums (0x%x vs (0x%x, 0x%x, 0x%x) = (%s))",
                 static_cast<unsigned>(checksum & 0xffffffffu), static_cast<unsigned>(kChecksum),
                 static_cast<unsigned>(kChecksumAlt1), static_cast<unsigned>(kChecksumAlt2),
                 "buffer, column, index, line, name, pointer");
}

}  // namespace

PyTypeObject MarkType = {PyVarObject_HEAD_INIT(nullptr, 0)};

void prepare_mark_type() {
    PyTypeObject& t = MarkType;
    t.tp_name = "yaml._yaml.Mark";
    t.tp_basicsize = sizeof(MarkObject);
    t.tp_dealloc = mark_dealloc;
    t.tp_str = mark_str;
    t.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE | Py_TPFLAGS_HAVE_GC;
    t.tp_traverse = mark_traverse;
    t.tp_clear = mark_clear;
    t.tp_methods = mark_methods;
    t.tp_getset = mark_getset;
    t.tp_init = mark_init;
    t.tp_new = mark_new;
}

PyObject* unpickle_mark(PyObject*, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames) {
    PyObject* a[3];
    if (!bind_args(unpickle_sig, args, nargsf, kwnames, a)) return nullptr;
    int64_t checksum;
    if (!to_int64(a[1], &checksum)) return nullptr;
    PyObject* state = a[2];
    if (state != Py_None && !PyTuple_CheckExact(state)) {
        PyErr_Format(PyExc_TypeError, "Argument '%.200s' has incorrect type (expected %.200s, got %.200s)",
                     "__pyx_state", "tuple", Py_TYPE(state)->tp_name);
        return nullptr;
    }
    if (checksum != kChecksum && checksum != kChecksumAlt1 && checksum != kChecksumAlt2) {
        raise_bad_checksum(checksum);
        return nullptr;
    }
    // Mark.__new__ itself, even when the class given defines its own.
    Ref result = Ref::steal(
        PyObject_CallMethodOneArg(reinterpret_cast<PyObject*>(&MarkType), names.dunder_new, a[0]));
    if (!result) return nullptr;
    // Mark.__new__ refuses a class that is not Mark or a subtype, and
    // allocates an instance of the class it is given: a Mark in any case.
    if (state != Py_None && apply_state(as_mark(result.get()), state) < 0) return nullptr;
    return result.release();
}

}  // namespace ymod
