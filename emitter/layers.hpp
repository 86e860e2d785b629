// The emitter's layers as seen by the object: the Python methods they add to
// CEmitter's method table (in table order) and the internal operations they
// put into the operation table.
#pragma once

#include "cemitter.hpp"

namespace ymod {

// Fills the slots after `_emitter_error`, in slot order.
void fill_emitter_vtable(CEmitterVTable& table);

// Python methods (METH_FASTCALL | METH_KEYWORDS); new reference or null with
// an exception set.
PyObject* cemitter_emit(PyObject* self, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames);
PyObject* cemitter_open(PyObject* self, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames);
PyObject* cemitter_close(PyObject* self, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames);
PyObject* cemitter_serialize(PyObject* self, PyObject* const* args, Py_ssize_t nargsf,
                             PyObject* kwnames);

// Python methods of event emitting and serializing, placed between `dispose`
// and `__reduce__` in CEmitter's method table (where `fastcall` and `kFastcallFlags`
// are in scope).
#define YMOD_EMITTER_LAYER_METHODS                                 \
    {"emit", fastcall(cemitter_emit), kFastcallFlags, nullptr},             \
    {"open", fastcall(cemitter_open), kFastcallFlags, nullptr},             \
    {"close", fastcall(cemitter_close), kFastcallFlags, nullptr},           \
    {"serialize", fastcall(cemitter_serialize), kFastcallFlags, nullptr},

}  // namespace ymod
