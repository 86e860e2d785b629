// Operation table of the emitter until its layers exist: every slot refuses.
#include "layers.hpp"

namespace ymod {
namespace {

int not_available() {
    PyErr_SetString(PyExc_NotImplementedError, "the emitter layers are not available in this build");
    return -1;
}
int not_available_event(CEmitterObject*, PyObject*, yaml_event_t*) { return not_available(); }
int not_available_anchor(CEmitterObject*, PyObject*) { return not_available(); }
int not_available_node(CEmitterObject*, PyObject*, PyObject*, PyObject*) { return not_available(); }

}  // namespace

void fill_emitter_vtable(CEmitterVTable& t) {
    t._object_to_event = not_available_event;
    t._anchor_node = not_available_anchor;
    t._serialize_node = not_available_node;
}

}  // namespace ymod
