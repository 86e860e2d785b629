// Entry point of the extension module yaml._yaml.
#include "../frame/frame.hpp"

namespace {

PyModuleDef_Slot module_slots[] = {
    {Py_mod_create, reinterpret_cast<void*>(ymod::module_create)},
    {Py_mod_exec, reinterpret_cast<void*>(ymod::exec_yaml_module)},
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "_yaml",       // m_name
    nullptr,       // m_doc
    0,             // m_size: all state is process-wide
    nullptr,       // m_methods: functions are created at execution
    module_slots,  // m_slots
    nullptr,       // m_traverse
    nullptr,       // m_clear
    nullptr,       // m_free
};

}  // namespace

PyMODINIT_FUNC PyInit__yaml(void) { return PyModuleDef_Init(&module_def); }
