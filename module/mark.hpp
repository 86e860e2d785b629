// Mark: where in an input a token, event, node or error lies.
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

extern PyTypeObject MarkType;

// Fills the type's slots (before PyType_Ready).
void prepare_mark_type();

// A new Mark(name, index, line, column, None, None), built directly.
// New reference; empty with MemoryError set.
Ref make_mark(PyObject* name, const yaml_mark_t& mark);

// Module function __pyx_unpickle_Mark(__pyx_type, __pyx_checksum, __pyx_state).
PyObject* unpickle_mark(PyObject* module, PyObject* const* args, Py_ssize_t nargsf,
                        PyObject* kwnames);

}  // namespace ymod
