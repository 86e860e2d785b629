// The process-wide state, global lookups and the module frame shared by the
// native modules.
#include "state.hpp"

namespace ymod {

ModuleState state;

Ref lookup_global(PyObject* name) {
    if (state.dict) {
        PyObject* value = PyDict_GetItemWithError(state.dict, name);
        if (value) return Ref::borrow(value);
        if (PyErr_Occurred()) return Ref();
    }
    if (state.builtins) {
        Ref value;
        int found = optional_attr(state.builtins, name, value);
        if (found != 0) return value;
    }
    PyErr_Format(PyExc_NameError, "name '%U' is not defined", name);
    return Ref();
}

void raise_object(PyObject* obj) {
    if (PyExceptionInstance_Check(obj)) {
        PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(obj)), obj);
    } else if (PyExceptionClass_Check(obj)) {
        PyErr_SetNone(obj);
    } else {
        PyErr_SetString(PyExc_TypeError, "exceptions must derive from BaseException");
    }
}

void raise_host_error(PyObject* class_name, const char* message) {
    Ref cls = lookup_global(class_name);
    if (!cls) return;
    Ref text = Ref::steal(PyUnicode_FromString(message));
    if (!text) return;
    Ref error = Ref::steal(PyObject_CallOneArg(cls.get(), text.get()));
    if (!error) return;
    raise_object(error.get());
}

int optional_attr(PyObject* obj, PyObject* name, Ref& out) {
#if PY_VERSION_HEX >= 0x030D0000
    PyObject* value = nullptr;
    int r = PyObject_GetOptionalAttr(obj, name, &value);
    out = Ref::steal(value);
    return r;
#else
    out = read_attr(obj, name);
    if (out) return 1;
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return -1;
    PyErr_Clear();
    return 0;
#endif
}

namespace {

// Copies one import-spec attribute into the new module's namespace; a
// missing attribute is skipped.
int copy_spec_attr(PyObject* spec, PyObject* attr, PyObject* dict, PyObject* key, bool skip_none) {
    Ref value;
    int found = optional_attr(spec, attr, value);
    if (found <= 0) return found;
    if (skip_none && value.get() == Py_None) return 0;
    return PyDict_SetItem(dict, key, value.get());
}

}  // namespace

PyObject* module_create(PyObject* spec, PyModuleDef*) {
    int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (id == -1 && PyErr_Occurred()) return nullptr;
    if (state.interpreter_id == -1) {
        state.interpreter_id = id;
    } else if (id != state.interpreter_id) {
        PyErr_SetString(PyExc_ImportError,
                        "Interpreter change detected - this module can only be loaded into one "
                        "interpreter per process.");
        return nullptr;
    }
    if (state.module) return Py_NewRef(state.module);

    if (init_names() < 0) return nullptr;
    Ref name = read_attr(spec, names.name);
    if (!name) return nullptr;
    Ref module = Ref::steal(PyModule_NewObject(name.get()));
    if (!module) return nullptr;
    PyObject* dict = PyModule_GetDict(module.get());
    if (!dict) return nullptr;
    if (copy_spec_attr(spec, names.loader, dict, names.dunder_loader, false) < 0 ||
        copy_spec_attr(spec, names.origin, dict, names.dunder_file, false) < 0 ||
        copy_spec_attr(spec, names.parent, dict, names.dunder_package, false) < 0 ||
        copy_spec_attr(spec, names.submodule_search_locations, dict, names.dunder_path, true) < 0) {
        return nullptr;
    }
    return module.release();
}

int execute_once(PyObject* module, const char* short_name, int (*execute)(PyObject* module)) {
    if (state.module) {
        if (state.module == module) return 0;
        PyErr_Format(PyExc_RuntimeError,
                     "Module '%s' has already been imported. Re-initialisation is not supported.",
                     short_name);
        return -1;
    }
    state.module = Py_NewRef(module);
    if (execute(module) < 0) {
        Py_CLEAR(state.module);
        return -1;
    }
    return 0;
}

Ref load_builtins() {
#if PY_VERSION_HEX >= 0x030D0000
    Ref builtins = Ref::steal(PyImport_AddModuleRef("builtins"));
#else
    Ref builtins = Ref::borrow(PyImport_AddModule("builtins"));
#endif
    if (builtins) assign_field(state.builtins, builtins.get());
    return builtins;
}

int version_check(const char* qualified_name, int target_major, int target_minor) {
    int runtime_major = static_cast<int>((Py_Version >> 24) & 0xff);
    int runtime_minor = static_cast<int>((Py_Version >> 16) & 0xff);
    if (runtime_major == target_major && runtime_minor == target_minor) return 0;
    char message[200];
    PyOS_snprintf(message, sizeof message,
                  "compile time Python version %d.%d of module '%.100s' %s runtime version %d.%d",
                  target_major, target_minor, qualified_name, "does not match", runtime_major,
                  runtime_minor);
    return PyErr_WarnEx(nullptr, message, 1);
}

}  // namespace ymod
