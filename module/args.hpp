// Argument binding for every Python-visible function and method.
//
// All callables use METH_FASTCALL | METH_KEYWORDS (or tp_init's tuple and
// dict) and bind through this one binder, which produces the module's fixed
// messages:
//   "%.200s() takes %.8s %zd positional argument%.1s (%zd given)"
//   "%s() got an unexpected keyword argument '%U'"
//   "%s() got multiple values for keyword argument '%U'"
//   "%.200s() keywords must be strings"
// and, for the parameterless module functions,
//   "%.200s() takes no arguments (%zd given)", "%.200s() takes no keyword arguments".
//
// Binding order: too many positional arguments first; then, when keywords
// are present, each parameter not bound by position is looked up by name in
// parameter order, and a missing required one reports the count message with
// its own 0-based position as the number given; then any keyword left over is
// either a repeat of a positional parameter or unknown. Without keywords, too
// few positional arguments report the count message.
#pragma once

#include "ref.hpp"

namespace ymod {

// Method-table entry of a METH_FASTCALL | METH_KEYWORDS function.
template <class F>
constexpr PyCFunction fastcall(F f) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(f));
}
constexpr int kFastcallFlags = METH_FASTCALL | METH_KEYWORDS;

struct Signature {
    const char* name;                  // function name used in messages
    PyObject* const* const* params;    // addresses of interned parameter names
    Py_ssize_t count;                  // number of parameters
    Py_ssize_t required;               // leading parameters without default
};

// Binds vectorcall arguments. `out` receives `sig.count` borrowed pointers;
// parameters left unbound are null. Returns false with TypeError set.
bool bind_args(const Signature& sig, PyObject* const* args, Py_ssize_t nargsf,
               PyObject* kwnames, PyObject** out);

// Same for tp_init's argument tuple and keyword dict (dict may be null).
bool bind_args(const Signature& sig, PyObject* args, PyObject* kwargs, PyObject** out);

// Methods without parameters: no positional argument, no keyword.
bool bind_none(const char* name, Py_ssize_t nargsf, PyObject* kwnames);

// Methods that take any positional arguments and no keyword.
bool bind_no_keywords(const char* name, PyObject* kwnames);

// Module functions without parameters (the interpreter's own wordings).
bool bind_function_none(const char* name, Py_ssize_t nargsf, PyObject* kwnames);

}  // namespace ymod
