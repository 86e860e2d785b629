// Operation table of the parser until its layers exist: every slot refuses.
#include "layers.hpp"

namespace ymod {
namespace {

PyObject* not_available(CParserObject*) {
    PyErr_SetString(PyExc_NotImplementedError, "the parser layers are not available in this build");
    return nullptr;
}
PyObject* not_available_token(CParserObject* self, yaml_token_t*) { return not_available(self); }
PyObject* not_available_event(CParserObject* self, yaml_event_t*) { return not_available(self); }
PyObject* not_available_node(CParserObject* self, PyObject*, PyObject*) { return not_available(self); }
PyObject* not_available_anchor(CParserObject* self, PyObject*) { return not_available(self); }
int not_available_next(CParserObject* self) {
    not_available(self);
    return -1;
}

}  // namespace

void fill_parser_vtable(CParserVTable& t) {
    t._parser_error = not_available;
    t._scan = not_available;
    t._token_to_object = not_available_token;
    t._parse = not_available;
    t._event_to_object = not_available_event;
    t._compose_document = not_available;
    t._compose_node = not_available_node;
    t._compose_scalar_node = not_available_anchor;
    t._compose_sequence_node = not_available_anchor;
    t._compose_mapping_node = not_available_anchor;
    t._parse_next_event = not_available_next;
}

}  // namespace ymod
