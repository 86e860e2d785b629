#include "convert.hpp"

#include <climits>

namespace ymod {
namespace {

// An int for a non-int object via its type's __int__ slot, with the
// deprecation path for a result that is an int subclass.
[[gnu::noinline]] Ref int_via_dunder(PyObject* obj) {
    PyNumberMethods* nb = Py_TYPE(obj)->tp_as_number;
    if (!nb || !nb->nb_int) {
        PyErr_SetString(PyExc_TypeError, "an integer is required");
        return Ref();
    }
    Ref result = Ref::steal(nb->nb_int(obj));
    if (!result || PyLong_CheckExact(result.get())) return result;
    if (PyLong_Check(result.get())) {
        if (PyErr_WarnFormat(PyExc_DeprecationWarning, 1,
                             "__int__ returned non-int (type %.200s).  The ability to return an "
                             "instance of a strict subclass of int is deprecated, and may be "
                             "removed in a future version of Python.",
                             Py_TYPE(result.get())->tp_name) < 0) {
            return Ref();
        }
        return result;
    }
    PyErr_Format(PyExc_TypeError, "__int__ returned non-int (type %.200s)",
                 Py_TYPE(result.get())->tp_name);
    return Ref();
}

bool int_to_size_t(PyObject* value, size_t* out) {
    int overflow = 0;
    long long v = PyLong_AsLongLongAndOverflow(value, &overflow);
    if (overflow == 0) {
        if (v == -1 && PyErr_Occurred()) return false;
        if (v >= 0) {
            *out = static_cast<size_t>(v);
            return true;
        }
    }
    if (overflow < 0 || (overflow == 0 && v < 0)) {
        PyErr_SetString(PyExc_OverflowError, "can't convert negative value to size_t");
        return false;
    }
    unsigned long u = PyLong_AsUnsignedLong(value);
    if (u == static_cast<unsigned long>(-1) && PyErr_Occurred()) return false;
    *out = static_cast<size_t>(u);
    return true;
}

bool int_to_c_int(PyObject* value, int* out) {
    int overflow = 0;
    long v = PyLong_AsLongAndOverflow(value, &overflow);
    if (overflow == 0 && v == -1 && PyErr_Occurred()) return false;
    if (overflow != 0 || v < INT_MIN || v > INT_MAX) {
        PyErr_SetString(PyExc_OverflowError, "value too large to convert to int");
        return false;
    }
    *out = static_cast<int>(v);
    return true;
}

bool int_to_int64(PyObject* value, int64_t* out) {
    long v = PyLong_AsLong(value);
    if (v == -1 && PyErr_Occurred()) return false;
    *out = static_cast<int64_t>(v);
    return true;
}

}  // namespace

bool to_size_t(PyObject* obj, size_t* out) {
    if (PyLong_Check(obj)) return int_to_size_t(obj, out);
    Ref value = int_via_dunder(obj);
    return value && int_to_size_t(value.get(), out);
}

bool to_c_int(PyObject* obj, int* out) {
    if (PyLong_Check(obj)) return int_to_c_int(obj, out);
    Ref value = int_via_dunder(obj);
    return value && int_to_c_int(value.get(), out);
}

bool to_int64(PyObject* obj, int64_t* out) {
    if (PyLong_Check(obj)) return int_to_int64(obj, out);
    Ref value = int_via_dunder(obj);
    return value && int_to_int64(value.get(), out);
}

}  // namespace ymod
