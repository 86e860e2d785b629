// The emitter's layers as seen by the object: the Python methods they add to
// CEmitter's method table (in table order) and the internal operations they
// put into the operation table.
#pragma once

#include "cemitter.hpp"

namespace ymod {

// Fills the slots after `_emitter_error`, in slot order.
void fill_emitter_vtable(CEmitterVTable& table);

// Python methods of event emitting and serializing, placed between `dispose`
// and `__reduce__` in CEmitter's method table.
#define YMOD_EMITTER_LAYER_METHODS

}  // namespace ymod
