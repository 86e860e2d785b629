#include "probes.hpp"

#include "../module/mark.hpp"
#include "scalars.hpp"

namespace ymod {
namespace {

// The UTF-8 bytes of a str argument (the text libyaml would hand over).
// False with TypeError "value must be a str", or the encoding error, set.
bool utf8_of(PyObject* value, const char** text, Py_ssize_t* length) {
    if (!PyUnicode_Check(value)) {
        PyErr_SetString(PyExc_TypeError, "value must be a str");
        return false;
    }
    *text = PyUnicode_AsUTF8AndSize(value, length);
    return *text != nullptr;
}

PyObject* const* const resolve_params[] = {&names.value};
const Signature resolve_sig{"_resolve_scalar", resolve_params, 1, 1};

PyObject* resolve_scalar(PyObject*, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames) {
    PyObject* value;
    if (!bind_args(resolve_sig, args, nargsf, kwnames, &value)) return nullptr;
    const char* text;
    Py_ssize_t length;
    if (!utf8_of(value, &text, &length)) return nullptr;
    ScalarKind kind = resolve_plain(text, static_cast<size_t>(length));
    if (kind == ScalarKind::str) Py_RETURN_NONE;
    return Py_NewRef(scalar_tag(kind));
}

PyObject* const* const construct_params[] = {&names.tag, &names.value};
const Signature construct_sig{"_construct_scalar", construct_params, 2, 2};

PyObject* construct_scalar_probe(PyObject*, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames) {
    PyObject* a[2];
    if (!bind_args(construct_sig, args, nargsf, kwnames, a)) return nullptr;
    ScalarKind kind;
    if (!kind_of_tag(a[0], &kind)) {
        PyErr_Format(PyExc_ValueError, "no native constructor for the tag %R", a[0]);
        return nullptr;
    }
    const char* text;
    Py_ssize_t length;
    if (!utf8_of(a[1], &text, &length)) return nullptr;
    Ref out;
    switch (construct_scalar(kind, text, static_cast<size_t>(length), out)) {
    case Converted::ok: return out.release();
    case Converted::declined:
        PyErr_Format(PyExc_ValueError, "the native constructor of %U declines %R", scalar_tag(kind), a[1]);
        return nullptr;
    case Converted::failed: break;
    }
    return nullptr;
}

PyObject* const* const mark_params[] = {&names.name, &names.index, &names.line, &names.column};
const Signature mark_sig{"_mark", mark_params, 4, 4};

PyObject* mark_probe(PyObject*, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames) {
    PyObject* a[4];
    if (!bind_args(mark_sig, args, nargsf, kwnames, a)) return nullptr;
    yaml_mark_t mark{};
    if (!to_size_t(a[1], &mark.index) || !to_size_t(a[2], &mark.line) || !to_size_t(a[3], &mark.column))
        return nullptr;
    return make_mark(a[0], mark).release();
}

}  // namespace

PyMethodDef probe_methods[] = {
    {"_resolve_scalar", fastcall(resolve_scalar), kFastcallFlags, nullptr},
    {"_construct_scalar", fastcall(construct_scalar_probe), kFastcallFlags, nullptr},
    {"_mark", fastcall(mark_probe), kFastcallFlags, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace ymod
