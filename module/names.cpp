// The interned names and shared constants, made once per process.
#include "names.hpp"

namespace ymod {

Names names;
Constants consts;

int init_names() {
#define YMOD_INTERN(member, text)                                  \
    if (!names.member) {                                          \
        names.member = PyUnicode_InternFromString(text);          \
        if (!names.member) return -1;                             \
    }
    YMOD_INTERNED_NAMES(YMOD_INTERN)
#undef YMOD_INTERN
    if (!consts.empty_tuple && !(consts.empty_tuple = PyTuple_New(0))) return -1;
    if (!consts.empty_str && !(consts.empty_str = PyUnicode_FromStringAndSize("", 0))) return -1;
    if (!consts.int_0 && !(consts.int_0 = PyLong_FromLong(0))) return -1;
    if (!consts.int_1 && !(consts.int_1 = PyLong_FromLong(1))) return -1;
    if (!consts.mark_checksum && !(consts.mark_checksum = PyLong_FromLong(0x27a7a5c))) return -1;
    if (!consts.true_false && !(consts.true_false = PyTuple_Pack(2, Py_True, Py_False))) return -1;
    if (!consts.false_true && !(consts.false_true = PyTuple_Pack(2, Py_False, Py_True))) return -1;
    if (!consts.true_true && !(consts.true_true = PyTuple_Pack(2, Py_True, Py_True))) return -1;
    if (!consts.false_false && !(consts.false_false = PyTuple_Pack(2, Py_False, Py_False))) return -1;
    return 0;
}

}  // namespace ymod
