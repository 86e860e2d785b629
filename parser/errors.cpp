// _parser_error: libyaml's parser error fields as the host's exception.
#include "records.hpp"

namespace ymod {

// New reference to the exception to raise (the class MemoryError, or a host
// error instance); null with an exception set when building it fails.
// Reads the parser's error fields only: libyaml keeps its error state.
PyObject* parser_error(CParserObject* self) {
    return parser_error_object(self->libyaml_parser, self->source.input_name).release();
}

}  // namespace ymod
