// Conversions between Python objects and C values with the module's fixed
// messages.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ref.hpp"

namespace ymod {

// Position fields: int directly, anything else through its __int__.
// "can't convert negative value to size_t", the interpreter's unsigned
// overflow, "an integer is required", "__int__ returned non-int (type %.200s)".
bool to_size_t(PyObject* obj, size_t* out);

// C int options and flags: same route; out of range gives OverflowError
// "value too large to convert to int".
bool to_c_int(PyObject* obj, int* out);

// Signed 64-bit (pickle checksums): the interpreter's OverflowError when an
// int does not fit.
bool to_int64(PyObject* obj, int64_t* out);

// Python truth; false with an exception set when the test raises.
inline bool truth(PyObject* obj, bool* out) {
    if (obj == Py_True) { *out = true; return true; }
    if (obj == Py_False || obj == Py_None) { *out = false; return true; }
    int r = PyObject_IsTrue(obj);
    if (r < 0) return false;
    *out = r != 0;
    return true;
}

}  // namespace ymod
