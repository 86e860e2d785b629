#include "mark.hpp"

#include <cstring>

namespace ymod {

bool is_mark_type(PyObject* type) {
    if (!PyType_Check(type)) return false;
    PyTypeObject* t = reinterpret_cast<PyTypeObject*>(type);
    return !(t->tp_flags & Py_TPFLAGS_HEAPTYPE) && t->tp_basicsize == sizeof(MarkObject) &&
           std::strcmp(t->tp_name, "yaml._yaml.Mark") == 0;
}

}  // namespace ymod
