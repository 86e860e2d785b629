// Entry point and execution of yaml._speedups, the plain-data loader and
// dumper. It shares yaml._yaml's Mark type and looks host classes up in
// yaml._yaml's namespace, so both modules build the same marks and raise
// the same error classes.
#include "../module/mark.hpp"
#include "probes.hpp"
#include "scalars.hpp"

namespace ymod {
namespace {

int execute_speedups(PyObject*) {
    if (init_names() < 0) return -1;
    if (!load_builtins()) return -1;
    if (version_check("yaml._speedups", PY_MAJOR_VERSION, PY_MINOR_VERSION) < 0) return -1;

    Ref ext = Ref::steal(PyImport_Import(names.yaml_dot_yaml));
    if (!ext) return -1;
    PyObject* dict = PyModule_GetDict(ext.get());
    if (!dict) return -1;
    assign_field(state.dict, dict);
    PyObject* mark = PyDict_GetItemWithError(dict, names.Mark);
    if (!mark && PyErr_Occurred()) return -1;
    if (!mark || !is_mark_type(mark)) {
        PyErr_SetString(PyExc_ImportError, "yaml._yaml.Mark is not the module's own Mark type");
        return -1;
    }
    if (!state.mark_type) state.mark_type = reinterpret_cast<PyTypeObject*>(Py_NewRef(mark));
    return init_timestamps();
}

int exec_speedups_module(PyObject* module) { return execute_once(module, "_speedups", execute_speedups); }

PyModuleDef_Slot module_slots[] = {
    {Py_mod_create, reinterpret_cast<void*>(module_create)},
    {Py_mod_exec, reinterpret_cast<void*>(exec_speedups_module)},
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "_speedups",    // m_name
    nullptr,        // m_doc
    0,              // m_size: all state is process-wide
    probe_methods,  // m_methods
    module_slots,   // m_slots
    nullptr,        // m_traverse
    nullptr,        // m_clear
    nullptr,        // m_free
};

}  // namespace
}  // namespace ymod

PyMODINIT_FUNC PyInit__speedups(void) { return PyModuleDef_Init(&ymod::module_def); }
