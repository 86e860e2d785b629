// The standard constructors of scalar values: null, bool, int, float,
// timestamp, binary and str, from a value's UTF-8 bytes.
//
// A native constructor takes exactly the values its row's form matches
// (binary: the ASCII values base64 decoding accepts) and declines every
// other value, and those its form matches that Python cannot hold (a day 31
// in April, an int longer than the interpreter converts, an offset of a day
// or more). A declined value goes to the host's constructor, which owns
// both the lenient readings and the errors of its tag.
#pragma once

#include <cstddef>

#include "implicit.hpp"

namespace ymod {

enum class Converted { ok, declined, failed };

// The value of `text` under `kind`'s tag. ok: `out` holds a new reference;
// declined: `out` is empty and no exception is set; failed: `out` is empty
// and an exception (MemoryError, a str that is not UTF-8) is set. merge and
// value have no constructor here and are always declined.
Converted construct_scalar(ScalarKind kind, const char* text, size_t length, Ref& out);

// The same for a value already known to have the form of `kind`'s row (the
// resolver's answer for a plain value): the form is not checked again.
Converted construct_matched(ScalarKind kind, const char* text, size_t length, Ref& out);

// After a conversion of Python's own failed: an exception of class `kind`
// means the value is one Python cannot hold (declined, the exception
// cleared); any other is a failure.
Converted decline_on(PyObject* kind);

// Timestamps (timestamp.cpp): the datetime C API is taken at module
// execution (0, or -1 with an exception set); construct_timestamp reads a
// value known to have the timestamp form.
int init_timestamps();
Converted construct_timestamp(const char* text, size_t length, Ref& out);

}  // namespace ymod
