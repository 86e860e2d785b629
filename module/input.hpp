// The input side of a libyaml parser: a Python str, bytes or file-like
// object, and the read handler that feeds libyaml from a file.
#pragma once

#include <yaml.h>

#include "ref.hpp"

namespace ymod {

// Embedded by value in the object that owns the libyaml parser. Object
// fields are owned references; the owner lists them in its collector slots.
// Invariant between handler calls: `read_chunk` is None or an exact bytes
// object, and then 0 <= read_chunk_offset < read_chunk_length.
struct InputSource {
    PyObject* stream;       // the file-like object, or the bytes libyaml reads in place
    PyObject* input_name;   // the name marks and reader errors carry
    PyObject* read_chunk;   // bytes from the last read() not yet handed over; None when used up
    int read_chunk_length;
    int read_chunk_offset;
    int text_input;         // 1 once any input text arrived as a str

    // A fresh record: every object field None, the numbers 0.
    void init_fields() noexcept;

    // Gives `parser` its input from `stream`:
    //  - anything with a `read` attribute is a file: read through the
    //    handler, named by its `name` attribute or "<file>";
    //  - an exact str is encoded to UTF-8 once ("<unicode string>");
    //  - exact bytes are read in place ("<byte string>");
    //  - anything else raises TypeError "a string or stream input is
    //    required".
    // Errors of the attribute lookups (other than AttributeError) and of the
    // encoding propagate. 0, or -1 with an exception set.
    int open(yaml_parser_t* parser, PyObject* stream);
};

// libyaml's read handler over an InputSource (the data pointer): hands over
// the pending chunk, calling stream.read(size) only once the previous chunk
// is used up; a str chunk is encoded to UTF-8, anything else but bytes
// raises TypeError "a string value is expected". Returns 0 with the Python
// exception pending on failure.
int input_handler(void* data, unsigned char* buffer, size_t size, size_t* size_read);

}  // namespace ymod
