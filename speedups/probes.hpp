// Private functions of yaml._speedups that reach its parts from Python, for
// the tests and the benchmarks: the implicit-type rows, the scalar
// constructors and the mark builder.
#pragma once

#include "../module/state.hpp"

namespace ymod {

// _resolve_scalar(value): the tag of the first row whose form the str
//   `value` has, or None (a plain str).
// _construct_scalar(tag, value): the value of the str `value` under one of
//   the standard scalar tags; ValueError when the native constructor
//   declines it or knows no such tag.
// _mark(name, index, line, column): a Mark built as the loader builds them.
extern PyMethodDef probe_methods[];

}  // namespace ymod
