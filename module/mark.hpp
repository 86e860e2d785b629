// The position record: the layout of yaml._yaml.Mark, and marks built from
// libyaml positions.
//
// There is one Mark type, yaml._yaml's own (its slots live with that
// module). Every native module keeps it in `state.mark_type` at its
// execution and builds its marks as instances of it.
#pragma once

#include <yaml.h>

#include "state.hpp"

namespace ymod {

struct MarkObject {
    PyObject_HEAD
    PyObject* name;
    size_t index;
    size_t line;
    size_t column;
    PyObject* buffer;
    PyObject* pointer;
};

// A new Mark(name, index, line, column, None, None). The exact type, filled
// in full before the collector can see it: no generic allocation, no
// zero-fill, no call. New reference; empty with MemoryError set.
inline Ref make_mark(PyObject* name, const yaml_mark_t& mark) {
    MarkObject* m = PyObject_GC_New(MarkObject, state.mark_type);
    if (!m) return Ref();
    m->name = Py_NewRef(name);
    m->index = mark.index;
    m->line = mark.line;
    m->column = mark.column;
    m->buffer = Py_NewRef(Py_None);
    m->pointer = Py_NewRef(Py_None);
    PyObject_GC_Track(m);
    return Ref::steal(reinterpret_cast<PyObject*>(m));
}

// Whether `type` is the module's Mark type itself: the static type named
// yaml._yaml.Mark with this layout (a subclass or a stand-in is not).
bool is_mark_type(PyObject* type);

}  // namespace ymod
