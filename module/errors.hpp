// libyaml's failures as the host's exceptions, and the seam after every
// libyaml call: a Python exception raised meanwhile (by a read or write
// handler) wins over libyaml's own report.
#pragma once

#include <yaml.h>

#include "state.hpp"

namespace ymod {

// The exception for the error recorded on `parser`: the class MemoryError,
// or a host ReaderError(name, offset, value, "?", problem), ScannerError or
// ParserError(context, context_mark, problem, problem_mark) instance, marks
// named `input_name`. Reads the error fields only. New reference; empty with
// an exception set (ValueError "no parser error" when none is recorded).
Ref parser_error_object(const yaml_parser_t& parser, PyObject* input_name);

// The same for an emitter: MemoryError, or EmitterError(problem).
// ValueError "no emitter error" when none is recorded.
Ref emitter_error_object(const yaml_emitter_t& emitter);

// After yaml_parser_scan / yaml_parser_parse returned `result`: true to go
// on; false with an exception set, which is the pending Python one if any,
// else the one `translate()` gives (a new reference to raise, empty with an
// exception set).
template <class Translate>
inline bool parser_result_ok(yaml_parser_t& parser, int result, Translate&& translate) {
    if (PyErr_Occurred()) [[unlikely]] return false;
    if (result) [[likely]] return true;
    // libyaml's tag scanner returns failure without naming an error kind
    // when the allocation of an empty tag handle fails. Record it as the
    // memory error it is: this call raises MemoryError and, as after any
    // reported error, libyaml yields nothing more.
    if (parser.error == YAML_NO_ERROR) [[unlikely]] parser.error = YAML_MEMORY_ERROR;
    Ref error = translate();
    if (error) raise_object(error.get());
    return false;
}

// Hands `event` to libyaml (which takes it over, on success and failure
// alike); then the same order as above. 0, or -1 with an exception set.
template <class Translate>
inline int emit_checked(yaml_emitter_t& emitter, yaml_event_t* event, Translate&& translate) {
    int ok = yaml_emitter_emit(&emitter, event);
    if (PyErr_Occurred()) return -1;
    if (ok) return 0;
    Ref error = translate();
    if (error) raise_object(error.get());
    return -1;
}

}  // namespace ymod
