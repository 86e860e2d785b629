#include "input.hpp"

#include <climits>
#include <cstring>

#include "state.hpp"

namespace ymod {

void InputSource::init_fields() noexcept {
    stream = Py_NewRef(Py_None);
    input_name = Py_NewRef(Py_None);
    read_chunk = Py_NewRef(Py_None);
    read_chunk_length = 0;
    read_chunk_offset = 0;
    text_input = 0;
}

int InputSource::open(yaml_parser_t* parser, PyObject* argument) {
    Ref read;
    int file_like = optional_attr(argument, names.read, read);
    if (file_like < 0) return -1;
    text_input = 0;

    if (file_like) {
        assign_field(stream, argument);
        Ref name;
        int has_name = optional_attr(argument, names.name, name);
        if (has_name < 0) return -1;
        if (has_name) {
            replace_field(input_name, std::move(name));
        } else {
            assign_field(input_name, names.file_name);
        }
        clear_field(read_chunk);
        read_chunk_length = 0;
        read_chunk_offset = 0;
        yaml_parser_set_input(parser, input_handler, this);
        return 0;
    }

    Ref input = Ref::borrow(argument);
    if (PyUnicode_CheckExact(argument)) {
        input = Ref::steal(PyUnicode_AsUTF8String(argument));
        if (!input) return -1;
        assign_field(input_name, names.unicode_name);
        text_input = 1;
    } else {
        assign_field(input_name, names.bytes_name);
    }
    if (!PyBytes_CheckExact(input.get())) {
        PyErr_SetString(PyExc_TypeError, "a string or stream input is required");
        return -1;
    }
    // libyaml reads straight from the bytes object, which `stream` keeps alive.
    replace_field(stream, std::move(input));
    yaml_parser_set_input_string(parser, reinterpret_cast<const unsigned char*>(PyBytes_AS_STRING(stream)),
                                 static_cast<size_t>(PyBytes_GET_SIZE(stream)));
    return 0;
}

int input_handler(void* data, unsigned char* buffer, size_t size, size_t* size_read) {
    InputSource* self = static_cast<InputSource*>(data);
    if (self->read_chunk == Py_None) {
        Ref room = Ref::steal(PyLong_FromSize_t(size));
        if (!room) return 0;
        Ref chunk = Ref::steal(PyObject_CallMethodOneArg(self->stream, names.read, room.get()));
        if (!chunk) return 0;
        if (PyUnicode_CheckExact(chunk.get())) {
            chunk = Ref::steal(PyUnicode_AsUTF8String(chunk.get()));
            if (!chunk) return 0;
            self->text_input = 1;
        }
        if (!PyBytes_CheckExact(chunk.get())) {
            PyErr_SetString(PyExc_TypeError, "a string value is expected");
            return 0;
        }
        Py_ssize_t length = PyBytes_GET_SIZE(chunk.get());
        if (length > INT_MAX) [[unlikely]] {
            PyErr_SetString(PyExc_ValueError, "read() returned a chunk longer than 2147483647 bytes");
            return 0;
        }
        replace_field(self->read_chunk, std::move(chunk));
        self->read_chunk_offset = 0;
        self->read_chunk_length = static_cast<int>(length);
    }
    size_t available = static_cast<size_t>(self->read_chunk_length - self->read_chunk_offset);
    size_t n = available < size ? available : size;
    if (n != 0) {
        std::memcpy(buffer, PyBytes_AS_STRING(self->read_chunk) + self->read_chunk_offset, n);
    }
    *size_read = n;
    self->read_chunk_offset += static_cast<int>(n);
    if (self->read_chunk_offset == self->read_chunk_length) clear_field(self->read_chunk);
    return 1;
}

}  // namespace ymod
