#include "errors.hpp"

#include "mark.hpp"
#include "text.hpp"

namespace ymod {

Ref parser_error_object(const yaml_parser_t& p, PyObject* input_name) {
    switch (p.error) {
    case YAML_MEMORY_ERROR:
        return Ref::borrow(PyExc_MemoryError);
    case YAML_READER_ERROR: {
        Ref offset = Ref::steal(PyLong_FromSize_t(p.problem_offset));
        if (!offset) return Ref();
        Ref value = Ref::steal(PyLong_FromLong(p.problem_value));
        if (!value) return Ref();
        Ref problem = decode_text(reinterpret_cast<const unsigned char*>(p.problem));
        if (!problem) return Ref();
        PyObject* args[] = {input_name, offset.get(), value.get(), names.question, problem.get()};
        return call_host(names.ReaderError, args, 5);
    }
    case YAML_SCANNER_ERROR:
    case YAML_PARSER_ERROR: {
        Ref context_mark = p.context ? make_mark(input_name, p.context_mark) : Ref::none();
        if (!context_mark) return Ref();
        Ref problem_mark = p.problem ? make_mark(input_name, p.problem_mark) : Ref::none();
        if (!problem_mark) return Ref();
        Ref context = decode_text(reinterpret_cast<const unsigned char*>(p.context));
        if (!context) return Ref();
        // libyaml always names a problem; a missing one is passed as None.
        Ref problem = decode_text(reinterpret_cast<const unsigned char*>(p.problem));
        if (!problem) return Ref();
        PyObject* args[] = {context.get(), context_mark.get(), problem.get(), problem_mark.get()};
        PyObject* cls = p.error == YAML_SCANNER_ERROR ? names.ScannerError : names.ParserError;
        return call_host(cls, args, 4);
    }
    default:
        PyErr_SetString(PyExc_ValueError, "no parser error");
        return Ref();
    }
}

Ref emitter_error_object(const yaml_emitter_t& emitter) {
    switch (emitter.error) {
    case YAML_MEMORY_ERROR:
        return Ref::borrow(PyExc_MemoryError);
    case YAML_EMITTER_ERROR: {
        Ref problem = decode_text(reinterpret_cast<const unsigned char*>(emitter.problem));
        if (!problem) return Ref();
        PyObject* args[] = {problem.get()};
        return call_host(names.EmitterError, args, 1);
    }
    default:
        PyErr_SetString(PyExc_ValueError, "no emitter error");
        return Ref();
    }
}

}  // namespace ymod
