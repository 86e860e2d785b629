#include "output.hpp"

#include "names.hpp"
#include "text.hpp"

namespace ymod {

int output_handler(void* data, unsigned char* buffer, size_t size) {
    OutputSink* self = static_cast<OutputSink*>(data);
    Ref chunk = self->text_output
                    ? decode_text(buffer, size)
                    : Ref::steal(PyBytes_FromStringAndSize(reinterpret_cast<const char*>(buffer),
                                                           static_cast<Py_ssize_t>(size)));
    if (!chunk) return 0;
    Ref result = Ref::steal(PyObject_CallMethodOneArg(self->stream, names.write, chunk.get()));
    return result ? 1 : 0;
}

}  // namespace ymod
