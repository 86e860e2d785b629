// Translation of libyaml's parser error fields into the host's exceptions.
#include "records.hpp"

namespace ymod {

// New reference to the exception to raise (the class MemoryError, or a host
// error instance); null with an exception set when building it fails.
// Reads the parser's error fields only: libyaml keeps its error state.
PyObject* parser_error(CParserObject* self) {
    const yaml_parser_t& p = self->libyaml_parser;
    switch (p.error) {
    case YAML_MEMORY_ERROR:
        return Py_NewRef(PyExc_MemoryError);
    case YAML_READER_ERROR: {
        Ref offset = Ref::steal(PyLong_FromSize_t(p.problem_offset));
        if (!offset) return nullptr;
        Ref value = Ref::steal(PyLong_FromLong(p.problem_value));
        if (!value) return nullptr;
        Ref problem = decode_text(reinterpret_cast<const unsigned char*>(p.problem));
        if (!problem) return nullptr;
        PyObject* args[] = {self->input_name, offset.get(), value.get(), names.question, problem.get()};
        return call_host(names.ReaderError, args, 5).release();
    }
    case YAML_SCANNER_ERROR:
    case YAML_PARSER_ERROR: {
        Ref context_mark = p.context ? parser_mark(self, p.context_mark) : Ref::none();
        if (!context_mark) return nullptr;
        Ref problem_mark = p.problem ? parser_mark(self, p.problem_mark) : Ref::none();
        if (!problem_mark) return nullptr;
        Ref context = decode_text(reinterpret_cast<const unsigned char*>(p.context));
        if (!context) return nullptr;
        // libyaml always names a problem; a missing one is passed as None.
        Ref problem = decode_text(reinterpret_cast<const unsigned char*>(p.problem));
        if (!problem) return nullptr;
        PyObject* args[] = {context.get(), context_mark.get(), problem.get(), problem_mark.get()};
        PyObject* cls = p.error == YAML_SCANNER_ERROR ? names.ScannerError : names.ParserError;
        return call_host(cls, args, 4).release();
    }
    default:
        PyErr_SetString(PyExc_ValueError, "no parser error");
        return nullptr;
    }
}

}  // namespace ymod
