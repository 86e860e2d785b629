// Event layer: libyaml events as host event objects, with a one-event
// look-ahead (`cached_event`) and a counting pass that builds no objects.
#include "records.hpp"

namespace ymod {
namespace {

// New reference: (major, minor), or None without a version directive.
Ref version_object(const yaml_version_directive_t* version) {
    if (!version) return Ref::none();
    return version_pair(version->major, version->minor);
}

// New reference: handle -> prefix in list order (a later equal handle wins),
// or None when libyaml gives no list at all.
Ref tags_object(const yaml_tag_directive_t* start, const yaml_tag_directive_t* end) {
    if (!start) return Ref::none();
    Ref tags = Ref::steal(PyDict_New());
    if (!tags) return Ref();
    for (const yaml_tag_directive_t* d = start; d != end; ++d) {
        Ref handle = decode_text(d->handle);
        if (!handle) return Ref();
        Ref prefix = decode_text(d->prefix);
        if (!prefix) return Ref();
        if (PyDict_SetItem(tags.get(), handle.get(), prefix.get()) < 0) return Ref();
    }
    return tags;
}

// Collection starts share one shape: (anchor, tag, implicit, marks, flow_style).
Ref collection_start(PyObject* class_name, const yaml_char_t* anchor_text, const yaml_char_t* tag_text,
                     int implicit, PyObject* start_mark, PyObject* end_mark, PyObject* flow_style) {
    Ref anchor = decode_text(anchor_text);
    if (!anchor) return Ref();
    Ref tag = decode_tag(tag_text);
    if (!tag) return Ref();
    PyObject* args[] = {anchor.get(), tag.get(), bool_object(implicit == 1), start_mark, end_mark, flow_style};
    return call_host(class_name, args, 6);
}

}  // namespace

// New reference to the event object, None for YAML_NO_EVENT; null with an
// exception set. The raw event is only read.
PyObject* parser_event_to_object(CParserObject* self, yaml_event_t* event) {
    Ref start_mark = parser_mark(self, event->start_mark);
    if (!start_mark) return nullptr;
    Ref end_mark = parser_mark(self, event->end_mark);
    if (!end_mark) return nullptr;
    PyObject* marks[] = {start_mark.get(), end_mark.get()};

    switch (raw_enum(event->type)) {
    case YAML_NO_EVENT:
        Py_RETURN_NONE;
    case YAML_STREAM_START_EVENT: {
        PyObject* args[] = {marks[0], marks[1],
                            encoding_object(raw_enum(event->data.stream_start.encoding), self->source.text_input)};
        return call_host(names.StreamStartEvent, args, 3).release();
    }
    case YAML_STREAM_END_EVENT:
        return call_host(names.StreamEndEvent, marks, 2).release();
    case YAML_DOCUMENT_START_EVENT: {
        const auto& d = event->data.document_start;
        Ref version = version_object(d.version_directive);
        if (!version) return nullptr;
        Ref tags = tags_object(d.tag_directives.start, d.tag_directives.end);
        if (!tags) return nullptr;
        PyObject* args[] = {marks[0], marks[1], bool_object(d.implicit == 0), version.get(), tags.get()};
        return call_host(names.DocumentStartEvent, args, 5).release();
    }
    case YAML_DOCUMENT_END_EVENT: {
        PyObject* args[] = {marks[0], marks[1], bool_object(event->data.document_end.implicit == 0)};
        return call_host(names.DocumentEndEvent, args, 3).release();
    }
    case YAML_ALIAS_EVENT: {
        Ref anchor = decode_text(event->data.alias.anchor);
        if (!anchor) return nullptr;
        PyObject* args[] = {anchor.get(), marks[0], marks[1]};
        return call_host(names.AliasEvent, args, 3).release();
    }
    case YAML_SCALAR_EVENT: {
        const auto& s = event->data.scalar;
        Ref anchor = decode_text(s.anchor);
        if (!anchor) return nullptr;
        Ref tag = decode_tag(s.tag);
        if (!tag) return nullptr;
        Ref value = decode_text(s.value, s.length);
        if (!value) return nullptr;
        PyObject* style = scalar_style_object(raw_enum(s.style));
        Ref cls = lookup_global(names.ScalarEvent);
        if (!cls) return nullptr;
        PyObject* implicit = implicit_pair(consts, s.plain_implicit == 1, s.quoted_implicit == 1);
        PyObject* args[] = {anchor.get(), tag.get(), implicit, value.get(), marks[0], marks[1], style};
        return PyObject_Vectorcall(cls.get(), args, 7, nullptr);
    }
    case YAML_SEQUENCE_START_EVENT: {
        const auto& s = event->data.sequence_start;
        return collection_start(names.SequenceStartEvent, s.anchor, s.tag, s.implicit, marks[0], marks[1],
                                sequence_flow_style(raw_enum(s.style)))
            .release();
    }
    case YAML_SEQUENCE_END_EVENT:
        return call_host(names.SequenceEndEvent, marks, 2).release();
    case YAML_MAPPING_START_EVENT: {
        const auto& m = event->data.mapping_start;
        return collection_start(names.MappingStartEvent, m.anchor, m.tag, m.implicit, marks[0], marks[1],
                                mapping_flow_style(raw_enum(m.style)))
            .release();
    }
    case YAML_MAPPING_END_EVENT:
        return call_host(names.MappingEndEvent, marks, 2).release();
    }
    PyErr_SetString(PyExc_ValueError, "unknown event type");
    return nullptr;
}

// New reference to the next event object (None past the stream end).
PyObject* parser_parse(CParserObject* self) {
    EventHolder raw;
    if (!libyaml_call_ok(self, raw.next(self))) return nullptr;
    return self->vtab->_event_to_object(self, &raw.event);
}

PyObject* parser_raw_parse(PyObject* o, PyObject* const*, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_none("raw_parse", nargsf, kwnames)) return nullptr;
    CParserObject* self = as_parser(o);
    ParserEntry entry(self);
    if (!entry) return nullptr;
    return count_records<EventHolder>(self);
}

PyObject* parser_get_event(PyObject* o, PyObject* const*, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_none("get_event", nargsf, kwnames)) return nullptr;
    CParserObject* self = as_parser(o);
    ParserEntry entry(self);
    if (!entry) return nullptr;
    return take_slot(self, self->cached_event, self->vtab->_parse);
}

PyObject* parser_peek_event(PyObject* o, PyObject* const*, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_none("peek_event", nargsf, kwnames)) return nullptr;
    CParserObject* self = as_parser(o);
    ParserEntry entry(self);
    if (!entry) return nullptr;
    return peek_slot(self, self->cached_event, self->vtab->_parse);
}

PyObject* parser_check_event(PyObject* o, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_no_keywords("check_event", kwnames)) return nullptr;
    CParserObject* self = as_parser(o);
    ParserEntry entry(self);
    if (!entry) return nullptr;
    return check_slot(self, self->cached_event, self->vtab->_parse, args, PyVectorcall_NARGS(nargsf));
}

}  // namespace ymod
