// The output side of a libyaml emitter: the Python stream its text goes to.
#pragma once

#include <cstddef>

#include "ref.hpp"

namespace ymod {

// Embedded by value in the object that owns the libyaml emitter; `stream`
// is an owned reference the owner lists in its collector slots.
struct OutputSink {
    PyObject* stream;   // written with write(chunk)
    int text_output;    // 1: chunks are str (a text stream or no encoding); 0: bytes
};

// libyaml's write handler over an OutputSink (the data pointer): one
// write() call per finished chunk, as str for text output, else as bytes.
// Returns 0 with the Python exception pending.
int output_handler(void* data, unsigned char* buffer, size_t size);

}  // namespace ymod
