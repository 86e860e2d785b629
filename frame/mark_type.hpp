// yaml._yaml.Mark, the type of every position record (its layout and the
// mark builder are module/mark.hpp's).
#pragma once

#include "../module/mark.hpp"

namespace ymod {

extern PyTypeObject MarkType;

// Fills the type's slots (before PyType_Ready).
void prepare_mark_type();

// Module function __pyx_unpickle_Mark(__pyx_type, __pyx_checksum, __pyx_state).
PyObject* unpickle_mark(PyObject* module, PyObject* const* args, Py_ssize_t nargsf,
                        PyObject* kwnames);

}  // namespace ymod
