// The parser's layers as seen by the object: the Python methods they add to
// CParser's method table (in table order) and the internal operations they
// put into the operation table.
#pragma once

#include "cparser.hpp"

namespace ymod {

// Fills every slot of the operation table, in slot order.
void fill_parser_vtable(CParserVTable& table);

// Python methods of the token, event and node layers, placed between
// `dispose` and `__reduce__` in CParser's method table.
#define YMOD_PARSER_LAYER_METHODS

}  // namespace ymod
