#include "args.hpp"

namespace ymod {
namespace {

[[gnu::noinline, gnu::cold]] void raise_count(const char* name, bool exact, Py_ssize_t min,
                                              Py_ssize_t max, Py_ssize_t found) {
    const char* quantity;
    Py_ssize_t expected;
    if (found < min) {
        expected = min;
        quantity = "at least";
    } else {
        expected = max;
        quantity = "at most";
    }
    if (exact) quantity = "exactly";
    PyErr_Format(PyExc_TypeError, "%.200s() takes %.8s %zd positional argument%.1s (%zd given)", name,
                 quantity, expected, expected == 1 ? "" : "s", found);
}

[[gnu::noinline, gnu::cold]] void raise_unexpected(const char* name, PyObject* key) {
    PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", name, key);
}

[[gnu::noinline, gnu::cold]] void raise_multiple(const char* name, PyObject* key) {
    PyErr_Format(PyExc_TypeError, "%s() got multiple values for keyword argument '%U'", name, key);
}

[[gnu::noinline, gnu::cold]] void raise_not_string(const char* name) {
    PyErr_Format(PyExc_TypeError, "%.200s() keywords must be strings", name);
}

// Whether `key` names `param` (an interned str). Interned names match by
// pointer; any other str is compared by value, which cannot fail between two
// str objects; a key that is not a str names nothing.
bool same_name(PyObject* key, PyObject* param) {
    if (key == param) return true;
    return PyUnicode_Check(key) && PyUnicode_Compare(key, param) == 0;
}

// A view of keywords as parallel arrays of names and values, whatever their
// origin (vectorcall names tuple or a dict).
struct Keywords {
    Py_ssize_t count = 0;
    PyObject* const* keys = nullptr;
    PyObject* const* values = nullptr;

    PyObject* key(Py_ssize_t i) const { return keys[i]; }
    PyObject* value(Py_ssize_t i) const { return values[i]; }
};

bool bind_core(const Signature& sig, PyObject* const* args, Py_ssize_t nargs, const Keywords& kw,
               PyObject** out) {
    const bool exact = sig.required == sig.count;
    if (nargs > sig.count) {
        raise_count(sig.name, exact, sig.required, sig.count, nargs);
        return false;
    }
    for (Py_ssize_t i = 0; i < sig.count; ++i) out[i] = i < nargs ? args[i] : nullptr;
    if (kw.count == 0) {
        if (nargs < sig.required) {
            raise_count(sig.name, exact, sig.required, sig.count, nargs);
            return false;
        }
        return true;
    }

    Py_ssize_t matched = 0;
    for (Py_ssize_t i = nargs; i < sig.count; ++i) {
        PyObject* param = *sig.params[i];
        for (Py_ssize_t k = 0; k < kw.count; ++k) {
            if (same_name(kw.key(k), param)) {
                out[i] = kw.value(k);
                ++matched;
                break;
            }
        }
        if (!out[i] && i < sig.required) {
            raise_count(sig.name, exact, sig.required, sig.count, i);
            return false;
        }
    }
    if (matched == kw.count) return true;

    for (Py_ssize_t k = 0; k < kw.count; ++k) {
        PyObject* key = kw.key(k);
        if (!PyUnicode_Check(key)) {
            raise_not_string(sig.name);
            return false;
        }
        bool known = false;
        for (Py_ssize_t i = nargs; i < sig.count && !known; ++i) known = same_name(key, *sig.params[i]);
        if (known) continue;
        for (Py_ssize_t i = 0; i < nargs; ++i) {
            if (same_name(key, *sig.params[i])) {
                raise_multiple(sig.name, key);
                return false;
            }
        }
        raise_unexpected(sig.name, key);
        return false;
    }
    return true;
}

}  // namespace

bool bind_args(const Signature& sig, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames,
               PyObject** out) {
    Py_ssize_t nargs = PyVectorcall_NARGS(nargsf);
    Keywords kw;
    if (kwnames) {
        kw.count = PyTuple_GET_SIZE(kwnames);
        kw.keys = &PyTuple_GET_ITEM(kwnames, 0);
        kw.values = args + nargs;
    }
    return bind_core(sig, args, nargs, kw, out);
}

bool bind_args(const Signature& sig, PyObject* args, PyObject* kwargs, PyObject** out) {
    Py_ssize_t nargs = PyTuple_GET_SIZE(args);
    PyObject* const* positional = nargs ? &PyTuple_GET_ITEM(args, 0) : nullptr;
    Py_ssize_t nkw = kwargs ? PyDict_GET_SIZE(kwargs) : 0;
    if (nkw == 0) return bind_core(sig, positional, nargs, Keywords{}, out);

    // Flatten the dict into borrowed arrays; the dict keeps everything alive
    // for the duration of the call.
    constexpr Py_ssize_t kSmall = 16;
    PyObject* small_keys[kSmall];
    PyObject* small_values[kSmall];
    PyObject** keys = small_keys;
    PyObject** values = small_values;
    if (nkw > kSmall) {
        keys = PyMem_New(PyObject*, nkw);
        values = PyMem_New(PyObject*, nkw);
        if (!keys || !values) {
            PyMem_Free(keys);
            PyMem_Free(values);
            PyErr_NoMemory();
            return false;
        }
    }
    Py_ssize_t pos = 0, k = 0;
    PyObject *key, *value;
    while (k < nkw && PyDict_Next(kwargs, &pos, &key, &value)) {
        keys[k] = key;
        values[k] = value;
        ++k;
    }
    Keywords kw;
    kw.count = k;
    kw.keys = keys;
    kw.values = values;
    bool ok = bind_core(sig, positional, nargs, kw, out);
    if (keys != small_keys) {
        PyMem_Free(keys);
        PyMem_Free(values);
    }
    return ok;
}

bool bind_none(const char* name, Py_ssize_t nargsf, PyObject* kwnames) {
    Py_ssize_t nargs = PyVectorcall_NARGS(nargsf);
    if (nargs != 0) [[unlikely]] {
        raise_count(name, true, 0, 0, nargs);
        return false;
    }
    return bind_no_keywords(name, kwnames);
}

bool bind_no_keywords(const char* name, PyObject* kwnames) {
    if (kwnames && PyTuple_GET_SIZE(kwnames) > 0) [[unlikely]] {
        PyObject* key = PyTuple_GET_ITEM(kwnames, 0);
        if (!PyUnicode_Check(key)) {
            raise_not_string(name);
        } else {
            raise_unexpected(name, key);
        }
        return false;
    }
    return true;
}

bool bind_function_none(const char* name, Py_ssize_t nargsf, PyObject* kwnames) {
    if (kwnames && PyTuple_GET_SIZE(kwnames) > 0) [[unlikely]] {
        PyErr_Format(PyExc_TypeError, "%.200s() %s", name, "takes no keyword arguments");
        return false;
    }
    Py_ssize_t nargs = PyVectorcall_NARGS(nargsf);
    if (nargs != 0) [[unlikely]] {
        PyErr_Format(PyExc_TypeError, "%.200s() %s (%zd given)", name, "takes no arguments", nargs);
        return false;
    }
    return true;
}

}  // namespace ymod
