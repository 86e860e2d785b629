// Process-wide state and the helpers every native module of the package
// shares.
//
// Each native module links its own copy of this library, so each has its
// own `state`, filled by that module at its execution and never released.
// A module serves one interpreter and has one module object per process.
#pragma once

#include <cstdint>

#include "args.hpp"
#include "convert.hpp"
#include "guards.hpp"
#include "names.hpp"
#include "ref.hpp"

namespace ymod {

struct ModuleState {
    PyObject* module = nullptr;        // owned while set; the process's module
    int64_t interpreter_id = -1;       // first interpreter that created it
    PyObject* dict = nullptr;          // owned: the namespace host classes are looked up in
    PyObject* builtins = nullptr;      // owned: the builtins module
    PyTypeObject* mark_type = nullptr; // owned: yaml._yaml.Mark, the one position type
};

extern ModuleState state;

// Looks `name` up in `state.dict`, then in the builtins.
// New reference; empty with NameError "name '%U' is not defined" (or the
// lookup's own error) set.
Ref lookup_global(PyObject* name);

// Calls the host class found under the global `class_name` with positional
// arguments. New reference; empty with an exception set.
inline Ref call_host(PyObject* class_name, PyObject* const* args, size_t nargs) {
    Ref cls = lookup_global(class_name);
    if (!cls) return Ref();
    return Ref::steal(PyObject_Vectorcall(cls.get(), args, nargs, nullptr));
}

// Raises the host error class found under the global `class_name`, called
// with `message` as its one positional argument. Always leaves an exception
// set (the lookup's or the constructor's, if they fail).
void raise_host_error(PyObject* class_name, const char* message);

// Raises `obj` the way a raise statement would: an exception instance as
// itself, an exception class instantiated without arguments, anything else
// as TypeError. Always leaves an exception set.
void raise_object(PyObject* obj);

// New reference to `obj.name`; empty with the lookup's exception set.
inline Ref read_attr(PyObject* obj, PyObject* name) { return Ref::steal(PyObject_GetAttr(obj, name)); }

// Sets MemoryError without arguments (a failed libyaml initialiser or
// allocation); returns -1.
[[gnu::cold]] inline int no_memory() {
    PyErr_SetNone(PyExc_MemoryError);
    return -1;
}

// Optional attribute lookup: 1 and `out` set when present, 0 and `out` empty
// when the lookup raised AttributeError (cleared), -1 on any other error.
int optional_attr(PyObject* obj, PyObject* name, Ref& out);

// The module frame shared by the native modules.
//
// Py_mod_create: admits the first interpreter only ("Interpreter change
// detected ..." ImportError for any other), hands out the module object
// already made when there is one, and otherwise makes a module from the
// import spec (its name, loader, origin, parent and search locations).
PyObject* module_create(PyObject* spec, PyModuleDef* def);

// Py_mod_exec, through the module's own slot: runs `execute` once for the
// process's module; executing another module object raises RuntimeError
// "Module '<short_name>' has already been imported. Re-initialisation is not
// supported." A failed execution leaves no module recorded.
int execute_once(PyObject* module, const char* short_name, int (*execute)(PyObject* module));

// Keeps the builtins module in `state.builtins`; new reference to it, empty
// with an exception set.
Ref load_builtins();

// Warns (RuntimeWarning, may be turned into an error: -1) when the
// interpreter's major.minor is not the one the module `qualified_name` was
// compiled for.
int version_check(const char* qualified_name, int target_major, int target_minor);

}  // namespace ymod
