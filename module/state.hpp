// Process-wide module state and the helpers every subsystem shares.
//
// The module keeps one module object per process and serves one interpreter;
// everything here is created at module execution and never released.
#pragma once

#include <cstdint>

#include "args.hpp"
#include "convert.hpp"
#include "guards.hpp"
#include "names.hpp"
#include "ref.hpp"

namespace ymod {

struct ModuleState {
    PyObject* module = nullptr;     // owned while set; the process's module
    int64_t interpreter_id = -1;    // first interpreter that created it
    PyObject* dict = nullptr;       // owned: the module namespace
    PyObject* builtins = nullptr;   // owned: the builtins module
};

extern ModuleState state;

// Looks `name` up in the module namespace, then in the builtins.
// New reference; empty with NameError "name '%U' is not defined" (or the
// lookup's own error) set.
Ref lookup_global(PyObject* name);

// Raises the host error class found under the module global `class_name`,
// called with `message` as its one positional argument. Always leaves an
// exception set (the lookup's or the constructor's, if they fail).
void raise_host_error(PyObject* class_name, const char* message);

// Raises `obj` the way a raise statement would: an exception instance as
// itself, an exception class instantiated without arguments, anything else
// as TypeError. Always leaves an exception set.
void raise_object(PyObject* obj);

// Module creation and execution (the two slots of the module definition).
PyObject* module_create(PyObject* spec, PyModuleDef* def);
int module_exec(PyObject* module);

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

// Decodes libyaml text (strict UTF-8). Null pointer gives None.
Ref decode_text(const unsigned char* text);
Ref decode_text(const unsigned char* text, size_t length);

// decode_text for a resolved tag: the standard tags come back as one shared
// str each instead of a new one per node.
Ref decode_tag(const unsigned char* text);

}  // namespace ymod
