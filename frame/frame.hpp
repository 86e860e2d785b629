// yaml._yaml's module frame: the execution slot of its definition
// (creation is the shared module_create of module/state.hpp).
#pragma once

#include "../module/state.hpp"

namespace ymod {

// Py_mod_exec of yaml._yaml: readies and publishes Mark, CParser and
// CEmitter, imports the host package, defines the version functions, copies
// the host classes into the namespace. 0, or -1 with an exception set.
int exec_yaml_module(PyObject* module);

}  // namespace ymod
