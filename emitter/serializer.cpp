// The serializer: open / serialize / close, the anchoring pass and the
// writing pass over node graphs.
#include "layers.hpp"
#include "rules.hpp"

namespace ymod {
namespace {

int serializer_error(const char* message) {
    raise_host_error(names.SerializerError, message);
    return -1;
}

// Unpacks a mapping item into exactly two values (new references).
bool unpack_pair(PyObject* item, Ref& key, Ref& value) {
    auto too_many = [] {
        PyErr_Format(PyExc_ValueError, "too many values to unpack (expected %zd)", Py_ssize_t{2});
        return false;
    };
    auto too_few = [](Py_ssize_t n) {
        PyErr_Format(PyExc_ValueError, "need more than %zd value%.1s to unpack", n,
                     n == 1 ? "" : "s");
        return false;
    };
    if (PyTuple_CheckExact(item) || PyList_CheckExact(item)) {
        Py_ssize_t n = PySequence_Fast_GET_SIZE(item);
        if (n > 2) return too_many();
        if (n < 2) return too_few(n);
        PyObject** items = PySequence_Fast_ITEMS(item);
        key = Ref::borrow(items[0]);
        value = Ref::borrow(items[1]);
        return true;
    }
    Ref iterator = Ref::steal(PyObject_GetIter(item));
    if (!iterator) return false;
    Ref got[2];
    for (Py_ssize_t i = 0; i < 2; ++i) {
        got[i] = Ref::steal(PyIter_Next(iterator.get()));
        if (!got[i]) return PyErr_Occurred() ? false : too_few(i);
    }
    Ref extra = Ref::steal(PyIter_Next(iterator.get()));
    if (extra) return too_many();
    if (PyErr_Occurred()) return false;
    key = std::move(got[0]);
    value = std::move(got[1]);
    return true;
}

// Calls `fn(item, position)` for every item of `iterable`; stops at the
// first failure.
template <class F>
bool for_each_item(PyObject* iterable, F fn) {
    Ref iterator = Ref::steal(PyObject_GetIter(iterable));
    if (!iterator) return false;
    for (Py_ssize_t position = 0;; ++position) {
        Ref item = Ref::steal(PyIter_Next(iterator.get()));
        if (!item) return !PyErr_Occurred();
        if (!fn(item.get(), position)) return false;
    }
}

bool call_method(PyObject* self, PyObject* name, PyObject* const* args, size_t nargs) {
    PyObject* stack[3] = {self, nullptr, nullptr};
    for (size_t i = 0; i < nargs; ++i) stack[i + 1] = args[i];
    Ref result = Ref::steal(PyObject_VectorcallMethod(name, stack, nargs + 1, nullptr));
    return static_cast<bool>(result);
}

// 1 when self.resolve(<global kind>, node.value, implicit) == tag is true,
// 0 when not, -1 on failure.
int resolves_to(CEmitterObject* self, PyObject* kind_name, PyObject* node, PyObject* implicit,
                PyObject* tag) {
    Ref kind = lookup_global(kind_name);
    if (!kind) return -1;
    Ref value = read_attr(node, names.value);
    if (!value) return -1;
    PyObject* stack[] = {reinterpret_cast<PyObject*>(self), kind.get(), value.get(), implicit};
    Ref resolved = Ref::steal(PyObject_VectorcallMethod(names.resolve, stack, 4, nullptr));
    if (!resolved) return -1;
    Ref same = Ref::steal(PyObject_RichCompare(resolved.get(), tag, Py_EQ));
    if (!same) return -1;
    bool yes;
    if (!truth(same.get(), &yes)) return -1;
    return yes ? 1 : 0;
}

int write_scalar(CEmitterObject* self, PyObject* node, const Text& anchor) {
    Ref tag = read_attr(node, names.tag);
    if (!tag) return -1;
    int plain = resolves_to(self, names.ScalarNode, node, consts.true_false, tag.get());
    if (plain < 0) return -1;
    int quoted = resolves_to(self, names.ScalarNode, node, consts.false_true, tag.get());
    if (quoted < 0) return -1;
    Text tag_text, value_text;
    if (!tag_text.convert(tag.get(), true, "tag must be a string")) return -1;
    Ref value = read_attr(node, names.value);
    int length;
    if (!value || !scalar_value(value.get(), value_text, &length)) return -1;
    Ref style_object = read_attr(node, names.style);
    yaml_scalar_style_t style;
    if (!style_object || !scalar_style(style_object.get(), &style)) return -1;
    yaml_event_t event;
    if (!yaml_scalar_event_initialize(&event, anchor.data(), tag_text.data(), value_text.data(),
                                      length, plain, quoted, style)) {
        return no_memory();
    }
    return guarded_emit(self, &event);
}

// Sequence and mapping nodes: start event, children, end event.
int write_collection(CEmitterObject* self, PyObject* node, const Text& anchor, bool mapping) {
    Ref tag = read_attr(node, names.tag);
    if (!tag) return -1;
    int implicit = resolves_to(self, mapping ? names.MappingNode : names.SequenceNode, node,
                               Py_True, tag.get());
    if (implicit < 0) return -1;
    Text tag_text;
    if (!tag_text.convert(tag.get(), true, "tag must be a string")) return -1;
    Ref flow_style = read_attr(node, names.flow_style);
    bool flow;
    if (!flow_style || !truth(flow_style.get(), &flow)) return -1;
    yaml_event_t event;
    int ok = mapping ? yaml_mapping_start_event_initialize(
                           &event, anchor.data(), tag_text.data(), implicit,
                           flow ? YAML_FLOW_MAPPING_STYLE : YAML_BLOCK_MAPPING_STYLE)
                     : yaml_sequence_start_event_initialize(
                           &event, anchor.data(), tag_text.data(), implicit,
                           flow ? YAML_FLOW_SEQUENCE_STYLE : YAML_BLOCK_SEQUENCE_STYLE);
    if (!ok) return no_memory();
    if (guarded_emit(self, &event) < 0) return -1;

    Ref items = read_attr(node, names.value);
    if (!items) return -1;
    bool done;
    if (mapping) {
        done = for_each_item(items.get(), [&](PyObject* item, Py_ssize_t) {
            Ref key, value;
            if (!unpack_pair(item, key, value)) return false;
            if (self->vtab->_serialize_node(self, key.get(), node, Py_None) < 0) return false;
            return self->vtab->_serialize_node(self, value.get(), node, key.get()) == 0;
        });
    } else {
        done = for_each_item(items.get(), [&](PyObject* item, Py_ssize_t position) {
            Ref index = Ref::steal(PyLong_FromSsize_t(position));
            return index && self->vtab->_serialize_node(self, item, node, index.get()) == 0;
        });
    }
    if (!done) return -1;
    if (mapping) {
        yaml_mapping_end_event_initialize(&event);
    } else {
        yaml_sequence_end_event_initialize(&event);
    }
    return guarded_emit(self, &event);
}

}  // namespace

int anchor_node(CEmitterObject* self, PyObject* node) {
    DepthGuard depth(self->depth);
    if (!depth.entered()) return -1;
    // Keep the dict alive even if a callback replaces the field.
    Ref anchors = Ref::borrow(self->anchor_names);
    PyObject* found = PyDict_GetItemWithError(anchors.get(), node);
    if (found) {
        if (found == Py_None) {
            ++self->anchor_counter;
            Ref name = Ref::steal(PyUnicode_FromFormat("id%03d", self->anchor_counter));
            if (!name || PyDict_SetItem(anchors.get(), node, name.get()) < 0) return -1;
        }
        return 0;
    }
    if (PyErr_Occurred()) return -1;
    if (PyDict_SetItem(anchors.get(), node, Py_None) < 0) return -1;
    anchors.reset();

    Ref cls = read_attr(node, names.dunder_class);
    if (!cls) return -1;
    Ref sequence = lookup_global(names.SequenceNode);
    if (!sequence) return -1;
    bool is_sequence = sequence.get() == cls.get();
    bool is_mapping = false;
    if (!is_sequence) {
        Ref mapping = lookup_global(names.MappingNode);
        if (!mapping) return -1;
        is_mapping = mapping.get() == cls.get();
    }
    if (!is_sequence && !is_mapping) return 0;
    Ref items = read_attr(node, names.value);
    if (!items) return -1;
    bool done = for_each_item(items.get(), [&](PyObject* item, Py_ssize_t) {
        if (is_sequence) return self->vtab->_anchor_node(self, item) == 0;
        Ref key, value;
        if (!unpack_pair(item, key, value)) return false;
        return self->vtab->_anchor_node(self, key.get()) == 0 &&
               self->vtab->_anchor_node(self, value.get()) == 0;
    });
    return done ? 0 : -1;
}

int serialize_node(CEmitterObject* self, PyObject* node, PyObject* parent, PyObject* index) {
    DepthGuard depth(self->depth);
    if (!depth.entered()) return -1;
    Ref anchors = Ref::borrow(self->anchor_names);
    Ref anchor_object = Ref::steal(PyObject_GetItem(anchors.get(), node));
    if (!anchor_object) return -1;
    anchors.reset();
    Text anchor;
    if (!anchor.convert(anchor_object.get(), true, "anchor must be a string")) return -1;

    Ref emitted = Ref::borrow(self->emitted_nodes);
    int seen = PyDict_Contains(emitted.get(), node);
    if (seen < 0) return -1;
    if (seen) {
        if (!anchor.data()) [[unlikely]] {
            // Only a graph that changed between the two passes gets here; an
            // alias without a name would make libyaml fail an assertion.
            return serializer_error(
                "a node is reached twice without an anchor name: the graph changed while it "
                "was serialized");
        }
        yaml_event_t event;
        if (!yaml_alias_event_initialize(&event, anchor.data())) return no_memory();
        return guarded_emit(self, &event);
    }

    Ref cls = read_attr(node, names.dunder_class);
    if (!cls) return -1;
    if (PyDict_SetItem(emitted.get(), node, Py_True) < 0) return -1;
    emitted.reset();
    PyObject* descend_args[] = {parent, index};
    if (!call_method(reinterpret_cast<PyObject*>(self), names.descend_resolver, descend_args, 2)) {
        return -1;
    }
    static PyObject* const* const kinds[] = {&names.ScalarNode, &names.SequenceNode,
                                             &names.MappingNode};
    int kind = -1;
    for (int i = 0; i < 3; ++i) {
        Ref candidate = lookup_global(*kinds[i]);
        if (!candidate) return -1;
        if (candidate.get() == cls.get()) {
            kind = i;
            break;
        }
    }
    int written = 0;
    if (kind == 0) {
        written = write_scalar(self, node, anchor);
    } else if (kind > 0) {
        written = write_collection(self, node, anchor, kind == 2);
    }
    if (written < 0) return -1;
    if (!call_method(reinterpret_cast<PyObject*>(self), names.ascend_resolver, nullptr, 0)) {
        return -1;
    }
    return 0;
}

PyObject* cemitter_open(PyObject* o, PyObject* const*, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_none("open", nargsf, kwnames)) return nullptr;
    CEmitterObject* self = as_emitter(o);
    EmitterEntry entry(self);
    if (!entry) return nullptr;
    if (self->serializer_state == 1) return serializer_error("serializer is closed"), nullptr;
    if (self->serializer_state == 0) return serializer_error("serializer is already opened"), nullptr;
    yaml_encoding_t encoding;
    if (!stream_encoding(self, Source{self->encoding_option, nullptr}, &encoding)) return nullptr;
    yaml_event_t event;
    yaml_stream_start_event_initialize(&event, encoding);
    if (guarded_emit(self, &event) < 0) return nullptr;
    self->serializer_state = 0;
    Py_RETURN_NONE;
}

PyObject* cemitter_close(PyObject* o, PyObject* const*, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_none("close", nargsf, kwnames)) return nullptr;
    CEmitterObject* self = as_emitter(o);
    EmitterEntry entry(self);
    if (!entry) return nullptr;
    if (self->serializer_state == -1) return serializer_error("serializer is not opened"), nullptr;
    if (self->serializer_state == 0) {
        yaml_event_t event;
        yaml_stream_end_event_initialize(&event);
        if (guarded_emit(self, &event) < 0) return nullptr;
        self->serializer_state = 1;
    }
    Py_RETURN_NONE;
}

namespace {

PyObject* const* const serialize_params[] = {&names.node};
const Signature serialize_sig{"serialize", serialize_params, 1, 1};

}  // namespace

PyObject* cemitter_serialize(PyObject* o, PyObject* const* args, Py_ssize_t nargsf,
                             PyObject* kwnames) {
    PyObject* node;
    if (!bind_args(serialize_sig, args, nargsf, kwnames, &node)) return nullptr;
    CEmitterObject* self = as_emitter(o);
    EmitterEntry entry(self);
    if (!entry) return nullptr;
    if (self->serializer_state == -1) return serializer_error("serializer is not opened"), nullptr;
    if (self->serializer_state == 1) return serializer_error("serializer is closed"), nullptr;

    yaml_event_t event;
    {
        VersionDirective version;
        if (!version.convert(self->document_version)) return nullptr;
        TagDirectives tags;
        if (!tags.collect(Source{self->document_tags, nullptr})) return nullptr;
        if (!yaml_document_start_event_initialize(&event, version.pointer, tags.start, tags.end,
                                                  self->implicit_start)) {
            return no_memory(), nullptr;
        }
    }
    if (guarded_emit(self, &event) < 0) return nullptr;
    if (self->vtab->_anchor_node(self, node) < 0) return nullptr;
    if (self->vtab->_serialize_node(self, node, Py_None, Py_None) < 0) return nullptr;
    yaml_document_end_event_initialize(&event, self->implicit_end);
    if (guarded_emit(self, &event) < 0) return nullptr;

    Ref emitted = Ref::steal(PyDict_New());
    if (!emitted) return nullptr;
    Ref anchors = Ref::steal(PyDict_New());
    if (!anchors) return nullptr;
    replace_field(self->emitted_nodes, std::move(emitted));
    replace_field(self->anchor_names, std::move(anchors));
    self->anchor_counter = 0;
    Py_RETURN_NONE;
}

}  // namespace ymod
