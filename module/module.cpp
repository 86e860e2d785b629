// Module creation and execution, the process-wide state, and the module
// functions.
#include <cstring>

#include "../emitter/cemitter.hpp"
#include "../parser/cparser.hpp"
#include "mark.hpp"

// The interpreter version this build targets; a test build may pretend to
// target another one to exercise the mismatch warning.
#ifndef YMOD_TARGET_MAJOR
#define YMOD_TARGET_MAJOR PY_MAJOR_VERSION
#endif
#ifndef YMOD_TARGET_MINOR
#define YMOD_TARGET_MINOR PY_MINOR_VERSION
#endif

namespace ymod {

ModuleState state;
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

Ref lookup_global(PyObject* name) {
    if (state.dict) {
        PyObject* value = PyDict_GetItemWithError(state.dict, name);
        if (value) return Ref::borrow(value);
        if (PyErr_Occurred()) return Ref();
    }
    if (state.builtins) {
        Ref value;
        int found = optional_attr(state.builtins, name, value);
        if (found != 0) return value;
    }
    PyErr_Format(PyExc_NameError, "name '%U' is not defined", name);
    return Ref();
}

void raise_object(PyObject* obj) {
    if (PyExceptionInstance_Check(obj)) {
        PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(obj)), obj);
    } else if (PyExceptionClass_Check(obj)) {
        PyErr_SetNone(obj);
    } else {
        PyErr_SetString(PyExc_TypeError, "exceptions must derive from BaseException");
    }
}

void raise_host_error(PyObject* class_name, const char* message) {
    Ref cls = lookup_global(class_name);
    if (!cls) return;
    Ref text = Ref::steal(PyUnicode_FromString(message));
    if (!text) return;
    Ref error = Ref::steal(PyObject_CallOneArg(cls.get(), text.get()));
    if (!error) return;
    raise_object(error.get());
}

int optional_attr(PyObject* obj, PyObject* name, Ref& out) {
#if PY_VERSION_HEX >= 0x030D0000
    PyObject* value = nullptr;
    int r = PyObject_GetOptionalAttr(obj, name, &value);
    out = Ref::steal(value);
    return r;
#else
    out = read_attr(obj, name);
    if (out) return 1;
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return -1;
    PyErr_Clear();
    return 0;
#endif
}

namespace {

// True when the `length` bytes at `s` are all below 0x80; eight at a time.
inline bool all_ascii(const unsigned char* s, size_t length) {
    size_t i = 0;
    uint64_t bits = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word;
        std::memcpy(&word, s + i, 8);
        bits |= word;
    }
    for (; i < length; ++i) bits |= s[i];
    return (bits & 0x8080808080808080ull) == 0;
}

// Most of what libyaml hands over (keys, plain values, anchors, tags) is
// ASCII: copy it straight into a compact str. Strict UTF-8 decoding, with
// its error, for everything else.
inline Ref decode_utf8(const unsigned char* text, size_t length) {
    if (length == 0) return Ref::borrow(consts.empty_str);
    if (all_ascii(text, length)) {
        // One-character strings come from the interpreter's shared table.
        if (length == 1) return Ref::steal(PyUnicode_FromOrdinal(text[0]));
        PyObject* s = PyUnicode_New(static_cast<Py_ssize_t>(length), 127);
        if (!s) return Ref();
        std::memcpy(PyUnicode_1BYTE_DATA(s), text, length);
        return Ref::steal(s);
    }
    return Ref::steal(PyUnicode_DecodeUTF8(reinterpret_cast<const char*>(text),
                                           static_cast<Py_ssize_t>(length), "strict"));
}

}  // namespace

Ref decode_text(const unsigned char* text) {
    if (!text) return Ref::none();
    return decode_utf8(text, std::strlen(reinterpret_cast<const char*>(text)));
}

Ref decode_text(const unsigned char* text, size_t length) {
    if (!text) return Ref::none();
    return decode_utf8(text, length);
}

Ref decode_tag(const unsigned char* text) {
    static constexpr char kPrefix[] = "tag:yaml.org,2002:";
    constexpr size_t kPrefixLength = sizeof kPrefix - 1;
    if (text && std::strncmp(reinterpret_cast<const char*>(text), kPrefix, kPrefixLength) == 0) {
        static PyObject* const* const standard[] = {
            &names.tag_str, &names.tag_seq, &names.tag_map, &names.tag_int, &names.tag_float,
            &names.tag_bool, &names.tag_null, &names.tag_timestamp, &names.tag_binary,
        };
        const char* suffix = reinterpret_cast<const char*>(text) + kPrefixLength;
        for (PyObject* const* tag : standard) {
            // The interned constants are compact ASCII, stored NUL-terminated.
            const char* known = reinterpret_cast<const char*>(PyUnicode_1BYTE_DATA(*tag)) + kPrefixLength;
            if (std::strcmp(suffix, known) == 0) return Ref::borrow(*tag);
        }
    }
    return decode_text(text);
}

namespace {

PyObject* get_version_string(PyObject*, PyObject* const*, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_function_none("get_version_string", nargsf, kwnames)) return nullptr;
    return PyUnicode_FromString(yaml_get_version_string());
}

PyObject* get_version(PyObject*, PyObject* const*, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_function_none("get_version", nargsf, kwnames)) return nullptr;
    int major = 0, minor = 0, patch = 0;
    yaml_get_version(&major, &minor, &patch);
    return Py_BuildValue("(iii)", major, minor, patch);
}


PyMethodDef get_version_string_def = {"get_version_string", fastcall(get_version_string),
                                      METH_FASTCALL | METH_KEYWORDS, nullptr};
PyMethodDef get_version_def = {"get_version", fastcall(get_version), METH_FASTCALL | METH_KEYWORDS,
                               nullptr};
PyMethodDef unpickle_mark_def = {"__pyx_unpickle_Mark", fastcall(unpickle_mark),
                                 METH_FASTCALL | METH_KEYWORDS, nullptr};

int add_function(PyObject* module, PyMethodDef* def, PyObject* name) {
    Ref func = Ref::steal(PyCFunction_NewEx(def, module, names.yaml_dot_yaml));
    if (!func) return -1;
    return PyDict_SetItem(state.dict, name, func.get());
}

struct HostRow {
    PyObject* const* submodule;
    PyObject* const* classes[20];
};

// The host classes copied into the namespace, in order.
const HostRow host_rows[] = {
    {&names.error, {&names.YAMLError}},
    {&names.reader, {&names.ReaderError}},
    {&names.scanner, {&names.ScannerError}},
    {&names.parser, {&names.ParserError}},
    {&names.composer, {&names.ComposerError}},
    {&names.constructor, {&names.ConstructorError}},
    {&names.emitter, {&names.EmitterError}},
    {&names.serializer, {&names.SerializerError}},
    {&names.representer, {&names.RepresenterError}},
    {&names.tokens,
     {&names.StreamStartToken, &names.StreamEndToken, &names.DirectiveToken,
      &names.DocumentStartToken, &names.DocumentEndToken, &names.BlockSequenceStartToken,
      &names.BlockMappingStartToken, &names.BlockEndToken, &names.FlowSequenceStartToken,
      &names.FlowMappingStartToken, &names.FlowSequenceEndToken, &names.FlowMappingEndToken,
      &names.KeyToken, &names.ValueToken, &names.BlockEntryToken, &names.FlowEntryToken,
      &names.AliasToken, &names.AnchorToken, &names.TagToken, &names.ScalarToken}},
    {&names.events,
     {&names.StreamStartEvent, &names.StreamEndEvent, &names.DocumentStartEvent,
      &names.DocumentEndEvent, &names.AliasEvent, &names.ScalarEvent, &names.SequenceStartEvent,
      &names.SequenceEndEvent, &names.MappingStartEvent, &names.MappingEndEvent}},
    {&names.nodes, {&names.ScalarNode, &names.SequenceNode, &names.MappingNode}},
};

int copy_host_names() {
    for (const HostRow& row : host_rows) {
        for (PyObject* const* cls_name : row.classes) {
            if (!cls_name) break;
            Ref package = lookup_global(names.yaml);
            if (!package) return -1;
            Ref submodule = read_attr(package.get(), *row.submodule);
            if (!submodule) return -1;
            Ref cls = read_attr(submodule.get(), *cls_name);
            if (!cls) return -1;
            if (PyDict_SetItem(state.dict, *cls_name, cls.get()) < 0) return -1;
        }
    }
    return 0;
}

// Pickling goes through the type's own __reduce__ / __setstate__, which the
// method tables put into the type's dictionary, as long as nothing replaced
// object's __reduce_ex__ / __getstate__ protocol.
int check_pickling(PyTypeObject* type) {
    PyObject* type_obj = reinterpret_cast<PyObject*>(type);
    PyObject* base = reinterpret_cast<PyObject*>(&PyBaseObject_Type);
    for (PyObject* attr : {names.dunder_reduce_ex, names.dunder_getstate}) {
        Ref mine = read_attr(type_obj, attr);
        Ref objects = mine ? read_attr(base, attr) : Ref();
        if (!objects) return -1;
        if (mine.get() != objects.get()) return 0;  // a custom protocol stays untouched
    }
    PyObject* dict = type->tp_dict;
    if (dict) {
        PyObject* reduce = PyDict_GetItemWithError(dict, names.dunder_reduce);
        PyObject* setstate = reduce ? PyDict_GetItemWithError(dict, names.dunder_setstate) : nullptr;
        if (setstate) return 0;
    }
    if (!PyErr_Occurred()) {
        PyErr_Format(PyExc_RuntimeError, "Unable to initialize pickling for %.200s", type->tp_name);
    }
    return -1;
}

int publish_type(PyObject* module, PyTypeObject* type, void (*prepare)(), void* vtable,
                 PyObject* short_name) {
    if (!(type->tp_flags & Py_TPFLAGS_READY)) {
        prepare();
        if (PyType_Ready(type) < 0) return -1;
    }
    if (vtable) {
        Ref capsule = Ref::steal(PyCapsule_New(vtable, nullptr, nullptr));
        if (!capsule || PyDict_SetItem(type->tp_dict, names.pyx_vtable, capsule.get()) < 0) return -1;
        PyType_Modified(type);
    }
    if (PyObject_SetAttr(module, short_name, reinterpret_cast<PyObject*>(type)) < 0) return -1;
    return check_pickling(type);
}

int version_check() {
    unsigned long runtime_major = (Py_Version >> 24) & 0xff;
    unsigned long runtime_minor = (Py_Version >> 16) & 0xff;
    if (runtime_major == YMOD_TARGET_MAJOR && runtime_minor == YMOD_TARGET_MINOR) return 0;
    char message[200];
    PyOS_snprintf(message, sizeof message,
                  "compile time Python version %d.%d of module '%.100s' %s runtime version %d.%d",
                  YMOD_TARGET_MAJOR, YMOD_TARGET_MINOR, "yaml._yaml", "does not match",
                  static_cast<int>(runtime_major), static_cast<int>(runtime_minor));
    return PyErr_WarnEx(nullptr, message, 1);
}

Ref import_host_package() {
    PyObject* modules = PyImport_GetModuleDict();
    PyObject* existing = PyDict_GetItemWithError(modules, names.yaml);
    if (existing) return Ref::borrow(existing);
    if (PyErr_Occurred()) return Ref();
    Ref locals = Ref::steal(PyDict_New());
    if (!locals) return Ref();
    return Ref::steal(
        PyImport_ImportModuleLevelObject(names.yaml, state.dict, locals.get(), nullptr, 0));
}

int execute(PyObject* module) {
    // Creation has made the names, and a second call does nothing; asking
    // again keeps execution safe on its own, as it uses them from the start.
    if (init_names() < 0) return -1;

    // __builtins__
#if PY_VERSION_HEX >= 0x030D0000
    Ref builtins = Ref::steal(PyImport_AddModuleRef("builtins"));
#else
    Ref builtins = Ref::borrow(PyImport_AddModule("builtins"));
#endif
    if (!builtins) return -1;
    if (PyObject_SetAttr(module, names.builtins_, builtins.get()) < 0) return -1;
    assign_field(state.builtins, builtins.get());

    if (version_check() < 0) return -1;

    PyObject* modules = PyImport_GetModuleDict();
    int present = PyDict_Contains(modules, names.yaml_dot_yaml);
    if (present < 0) return -1;
    if (!present && PyDict_SetItem(modules, names.yaml_dot_yaml, module) < 0) return -1;

    if (publish_type(module, &MarkType, prepare_mark_type, nullptr, names.Mark) < 0) return -1;
    if (publish_type(module, &CParserType, prepare_cparser_type, &cparser_vtable, names.CParser) < 0)
        return -1;
    if (publish_type(module, &CEmitterType, prepare_cemitter_type, &cemitter_vtable,
                     names.CEmitter) < 0)
        return -1;

    Ref package = import_host_package();
    if (!package || PyDict_SetItem(state.dict, names.yaml, package.get()) < 0) return -1;

    if (add_function(module, &get_version_string_def, names.get_version_string) < 0) return -1;
    if (add_function(module, &get_version_def, names.get_version) < 0) return -1;
    if (copy_host_names() < 0) return -1;
    if (add_function(module, &unpickle_mark_def, names.pyx_unpickle_Mark) < 0) return -1;

    Ref test = Ref::steal(PyDict_New());
    if (!test || PyDict_SetItem(state.dict, names.test_, test.get()) < 0) return -1;
    return 0;
}

// Copies one import-spec attribute into the new module's namespace; a
// missing attribute is skipped.
int copy_spec_attr(PyObject* spec, PyObject* attr, PyObject* dict, PyObject* key, bool skip_none) {
    Ref value;
    int found = optional_attr(spec, attr, value);
    if (found <= 0) return found;
    if (skip_none && value.get() == Py_None) return 0;
    return PyDict_SetItem(dict, key, value.get());
}

}  // namespace

PyObject* module_create(PyObject* spec, PyModuleDef*) {
    int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (id == -1 && PyErr_Occurred()) return nullptr;
    if (state.interpreter_id == -1) {
        state.interpreter_id = id;
    } else if (id != state.interpreter_id) {
        PyErr_SetString(PyExc_ImportError,
                        "Interpreter change detected - this module can only be loaded into one "
                        "interpreter per process.");
        return nullptr;
    }
    if (state.module) return Py_NewRef(state.module);

    if (init_names() < 0) return nullptr;
    Ref name = read_attr(spec, names.name);
    if (!name) return nullptr;
    Ref module = Ref::steal(PyModule_NewObject(name.get()));
    if (!module) return nullptr;
    PyObject* dict = PyModule_GetDict(module.get());
    if (!dict) return nullptr;
    if (copy_spec_attr(spec, names.loader, dict, names.dunder_loader, false) < 0 ||
        copy_spec_attr(spec, names.origin, dict, names.dunder_file, false) < 0 ||
        copy_spec_attr(spec, names.parent, dict, names.dunder_package, false) < 0 ||
        copy_spec_attr(spec, names.submodule_search_locations, dict, names.dunder_path, true) < 0) {
        return nullptr;
    }
    return module.release();
}

int module_exec(PyObject* module) {
    if (state.module) {
        if (state.module == module) return 0;
        PyErr_SetString(PyExc_RuntimeError,
                        "Module '_yaml' has already been imported. Re-initialisation is not "
                        "supported.");
        return -1;
    }
    PyObject* dict = PyModule_GetDict(module);
    if (!dict) return -1;
    state.module = Py_NewRef(module);
    assign_field(state.dict, dict);
    if (execute(module) < 0) {
        Py_CLEAR(state.module);
        return -1;
    }
    return 0;
}

}  // namespace ymod
