// The operation table of CParser, filled from the layers' operations.
#include "layers.hpp"

namespace ymod {

void fill_parser_vtable(CParserVTable& t) {
    t._parser_error = parser_error;
    t._scan = parser_scan;
    t._token_to_object = parser_token_to_object;
    t._parse = parser_parse;
    t._event_to_object = parser_event_to_object;
    t._compose_document = parser_compose_document;
    t._compose_node = parser_compose_node;
    t._compose_scalar_node = parser_compose_scalar_node;
    t._compose_sequence_node = parser_compose_sequence_node;
    t._compose_mapping_node = parser_compose_mapping_node;
    t._parse_next_event = parser_parse_next_event;
}

}  // namespace ymod
