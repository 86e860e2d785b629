// yaml._yaml's execution: its types, its namespace and its functions.
#include "../emitter/cemitter.hpp"
#include "../parser/cparser.hpp"
#include "frame.hpp"
#include "mark_type.hpp"

// The interpreter version this build targets; a test build may pretend to
// target another one to exercise the mismatch warning.
#ifndef YMOD_TARGET_MAJOR
#define YMOD_TARGET_MAJOR PY_MAJOR_VERSION
#endif
#ifndef YMOD_TARGET_MINOR
#define YMOD_TARGET_MINOR PY_MINOR_VERSION
#endif

namespace ymod {

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

int execute_yaml(PyObject* module) {
    // Host classes are looked up in the module's own namespace.
    PyObject* dict = PyModule_GetDict(module);
    if (!dict) return -1;
    assign_field(state.dict, dict);
    // Creation has made the names, and a second call does nothing; asking
    // again keeps execution safe on its own, as it uses them from the start.
    if (init_names() < 0) return -1;

    Ref builtins = load_builtins();
    if (!builtins) return -1;
    if (PyObject_SetAttr(module, names.builtins_, builtins.get()) < 0) return -1;

    if (version_check("yaml._yaml", YMOD_TARGET_MAJOR, YMOD_TARGET_MINOR) < 0) return -1;

    PyObject* modules = PyImport_GetModuleDict();
    int present = PyDict_Contains(modules, names.yaml_dot_yaml);
    if (present < 0) return -1;
    if (!present && PyDict_SetItem(modules, names.yaml_dot_yaml, module) < 0) return -1;

    if (publish_type(module, &MarkType, prepare_mark_type, nullptr, names.Mark) < 0) return -1;
    if (!state.mark_type) state.mark_type = reinterpret_cast<PyTypeObject*>(Py_NewRef(&MarkType));
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

}  // namespace

int exec_yaml_module(PyObject* module) { return execute_once(module, "_yaml", execute_yaml); }

}  // namespace ymod
