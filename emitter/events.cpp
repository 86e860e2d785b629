// Event objects to libyaml events, and CEmitter.emit.
#include "layers.hpp"
#include "rules.hpp"

namespace ymod {

bool scalar_style(PyObject* style, yaml_scalar_style_t* out) {
    static const struct { PyObject* const* text; yaml_scalar_style_t style; } table[] = {
        {&names.style_single, YAML_SINGLE_QUOTED_SCALAR_STYLE},
        {&names.style_double, YAML_DOUBLE_QUOTED_SCALAR_STYLE},
        {&names.style_literal, YAML_LITERAL_SCALAR_STYLE},
        {&names.style_folded, YAML_FOLDED_SCALAR_STYLE},
    };
    for (const auto& row : table) {
        int same = PyObject_RichCompareBool(style, *row.text, Py_EQ);
        if (same < 0) return false;
        if (same) {
            *out = row.style;
            return true;
        }
    }
    *out = YAML_PLAIN_SCALAR_STYLE;
    return true;
}

Ref Source::get() const {
    if (!name) return Ref::borrow(object);
    return read_attr(object, name);
}

bool stream_encoding(CEmitterObject* self, const Source& encoding, yaml_encoding_t* out) {
    static const struct { PyObject* const* text; yaml_encoding_t encoding; } table[] = {
        {&names.utf_16_le, YAML_UTF16LE_ENCODING},
        {&names.utf_16_be, YAML_UTF16BE_ENCODING},
    };
    yaml_encoding_t chosen = YAML_UTF8_ENCODING;
    for (const auto& row : table) {
        Ref value = encoding.get();
        if (!value) return false;
        int same = PyObject_RichCompareBool(value.get(), *row.text, Py_EQ);
        if (same < 0) return false;
        if (same) {
            chosen = row.encoding;
            break;
        }
    }
    Ref value = encoding.get();
    if (!value) return false;
    if (value.get() == Py_None) {
        self->output.text_output = 1;
        chosen = YAML_UTF8_ENCODING;
    } else if (self->output.text_output == 1) {
        // A text stream takes str chunks, which only UTF-8 output can fill.
        chosen = YAML_UTF8_ENCODING;
    }
    *out = chosen;
    return true;
}

bool VersionDirective::convert(PyObject* version) {
    bool present;
    if (!truth(version, &present)) return false;
    if (!present) {
        pointer = nullptr;
        return true;
    }
    Ref major = Ref::steal(PyObject_GetItem(version, consts.int_0));
    if (!major || !to_c_int(major.get(), &value.major)) return false;
    Ref minor = Ref::steal(PyObject_GetItem(version, consts.int_1));
    if (!minor || !to_c_int(minor.get(), &value.minor)) return false;
    pointer = &value;
    return true;
}

bool TagDirectives::collect(const Source& source) {
    start = end = nullptr;
    Ref tags = source.get();
    if (!tags) return false;
    bool present;
    if (!truth(tags.get(), &present)) return false;
    if (!present) return true;
    tags = source.get();
    if (!tags) return false;
    Py_ssize_t count = PyObject_Size(tags.get());
    if (count < 0) return false;
    if (count > kCapacity) {
        PyErr_SetString(PyExc_ValueError, "too many tags");
        return false;
    }
    start = end = entries;
    tags = source.get();
    if (!tags) return false;
    Ref iterator = Ref::steal(PyObject_GetIter(tags.get()));
    if (!iterator) return false;
    tags.reset();
    for (;;) {
        Ref handle = Ref::steal(PyIter_Next(iterator.get()));
        if (!handle) {
            if (PyErr_Occurred()) return false;
            break;
        }
        if (end == entries + kCapacity) [[unlikely]] {
            // The iteration gave more than its length promised.
            PyErr_SetString(PyExc_ValueError, "too many tags");
            return false;
        }
        Ref mapping = source.get();
        if (!mapping) return false;
        Ref prefix = Ref::steal(PyObject_GetItem(mapping.get(), handle.get()));
        if (!prefix) return false;
        Text handle_text, prefix_text;
        if (!handle_text.convert(handle.get(), false, "tag handle must be a string")) return false;
        if (!prefix_text.convert(prefix.get(), false, "tag prefix must be a string")) return false;
        const Py_ssize_t slot = end - entries;
        end->handle = handle_text.data();
        end->prefix = prefix_text.data();
        cache[2 * slot] = handle_text.take_owner();
        cache[2 * slot + 1] = prefix_text.take_owner();
        ++end;
    }
    return true;
}

namespace {

bool read_truth(PyObject* object, PyObject* name, bool* out) {
    Ref value = read_attr(object, name);
    return value && truth(value.get(), out);
}

// implicit[0] and implicit[1] as C ints; None gives 0 and 0.
bool scalar_implicit(PyObject* implicit, int* plain, int* quoted) {
    *plain = *quoted = 0;
    if (implicit == Py_None) return true;
    Ref first = Ref::steal(PyObject_GetItem(implicit, consts.int_0));
    if (!first || !to_c_int(first.get(), plain)) return false;
    Ref second = Ref::steal(PyObject_GetItem(implicit, consts.int_1));
    return second && to_c_int(second.get(), quoted);
}

// Anchor and tag of a node event (None allowed for both).
bool node_properties(PyObject* obj, Text& anchor, Text& tag) {
    Ref value = read_attr(obj, names.anchor);
    if (!value || !anchor.convert(value.get(), true, "anchor must be a string")) return false;
    value = read_attr(obj, names.tag);
    return value && tag.convert(value.get(), true, "tag must be a string");
}

enum EventKind {
    kStreamStart, kStreamEnd, kDocumentStart, kDocumentEnd, kAlias, kScalar,
    kSequenceStart, kMappingStart, kSequenceEnd, kMappingEnd, kNoEvent,
};

// The event classes in the order they are tried.
PyObject* const* const kEventClasses[] = {
    &names.StreamStartEvent, &names.StreamEndEvent,     &names.DocumentStartEvent,
    &names.DocumentEndEvent, &names.AliasEvent,         &names.ScalarEvent,
    &names.SequenceStartEvent, &names.MappingStartEvent, &names.SequenceEndEvent,
    &names.MappingEndEvent,
};

[[gnu::noinline]] int invalid_event(PyObject* obj) {
    Ref message = Ref::steal(PyNumber_Remainder(names.invalid_event, obj));
    if (message) PyErr_SetObject(PyExc_TypeError, message.get());
    return -1;
}

}  // namespace

int object_to_event(CEmitterObject* self, PyObject* obj, yaml_event_t* event) {
    Ref cls = read_attr(obj, names.dunder_class);
    if (!cls) return -1;
    int kind = kNoEvent;
    for (int i = 0; i < kNoEvent; ++i) {
        Ref candidate = lookup_global(*kEventClasses[i]);
        if (!candidate) return -1;
        if (candidate.get() == cls.get()) {
            kind = i;
            break;
        }
    }
    switch (kind) {
        case kStreamStart: {
            yaml_encoding_t encoding;
            if (!stream_encoding(self, Source{obj, names.encoding}, &encoding)) return -1;
            yaml_stream_start_event_initialize(event, encoding);
            return 0;
        }
        case kStreamEnd:
            yaml_stream_end_event_initialize(event);
            return 0;
        case kDocumentStart: {
            Ref version = read_attr(obj, names.version);
            if (!version) return -1;
            VersionDirective directive;
            if (!directive.convert(version.get())) return -1;
            TagDirectives tags;
            if (!tags.collect(Source{obj, names.tags})) return -1;
            bool explicit_start;
            if (!read_truth(obj, names.explicit_, &explicit_start)) return -1;
            if (!yaml_document_start_event_initialize(event, directive.pointer, tags.start, tags.end,
                                                      explicit_start ? 0 : 1)) {
                return no_memory();
            }
            return 0;
        }
        case kDocumentEnd: {
            bool explicit_end;
            if (!read_truth(obj, names.explicit_, &explicit_end)) return -1;
            yaml_document_end_event_initialize(event, explicit_end ? 0 : 1);
            return 0;
        }
        case kAlias: {
            Ref value = read_attr(obj, names.anchor);
            Text anchor;
            if (!value || !anchor.convert(value.get(), false, "anchor must be a string")) return -1;
            if (!yaml_alias_event_initialize(event, anchor.data())) return no_memory();
            return 0;
        }
        case kScalar: {
            Text anchor, tag, value;
            if (!node_properties(obj, anchor, tag)) return -1;
            Ref item = read_attr(obj, names.value);
            int length;
            if (!item || !scalar_value(item.get(), value, &length)) return -1;
            item = read_attr(obj, names.implicit);
            int plain, quoted;
            if (!item || !scalar_implicit(item.get(), &plain, &quoted)) return -1;
            item = read_attr(obj, names.style);
            yaml_scalar_style_t style;
            if (!item || !scalar_style(item.get(), &style)) return -1;
            if (!yaml_scalar_event_initialize(event, anchor.data(), tag.data(), value.data(), length,
                                              plain, quoted, style)) {
                return no_memory();
            }
            return 0;
        }
        case kSequenceStart:
        case kMappingStart: {
            Text anchor, tag;
            if (!node_properties(obj, anchor, tag)) return -1;
            bool implicit, flow;
            if (!read_truth(obj, names.implicit, &implicit)) return -1;
            if (!read_truth(obj, names.flow_style, &flow)) return -1;
            int ok = kind == kSequenceStart
                         ? yaml_sequence_start_event_initialize(
                               event, anchor.data(), tag.data(), implicit,
                               flow ? YAML_FLOW_SEQUENCE_STYLE : YAML_BLOCK_SEQUENCE_STYLE)
                         : yaml_mapping_start_event_initialize(
                               event, anchor.data(), tag.data(), implicit,
                               flow ? YAML_FLOW_MAPPING_STYLE : YAML_BLOCK_MAPPING_STYLE);
            if (!ok) return no_memory();
            return 0;
        }
        case kSequenceEnd:
            yaml_sequence_end_event_initialize(event);
            return 0;
        case kMappingEnd:
            yaml_mapping_end_event_initialize(event);
            return 0;
        default:
            return invalid_event(obj);
    }
}

namespace {

PyObject* const* const emit_params[] = {&names.event_object};
const Signature emit_sig{"emit", emit_params, 1, 1};

}  // namespace

PyObject* cemitter_emit(PyObject* o, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames) {
    PyObject* event_object;
    if (!bind_args(emit_sig, args, nargsf, kwnames, &event_object)) return nullptr;
    CEmitterObject* self = as_emitter(o);
    EmitterEntry entry(self);
    if (!entry) return nullptr;
    yaml_event_t event;
    if (self->vtab->_object_to_event(self, event_object, &event) < 0) return nullptr;
    if (guarded_emit(self, &event) < 0) return nullptr;
    Py_RETURN_NONE;
}

void fill_emitter_vtable(CEmitterVTable& t) {
    t._object_to_event = object_to_event;
    t._anchor_node = anchor_node;
    t._serialize_node = serialize_node;
}

}  // namespace ymod
