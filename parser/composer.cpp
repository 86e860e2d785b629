// Node composer: documents as host node graphs, built straight from the raw
// events in `parsed_event`, with anchors resolved through `anchor_map`.
//
// At most one raw event is held (in `parsed_event`); each is released as soon
// as the node or structure it opens or closes is handled. On failure the
// event being looked at stays pending and composing stops.
#include <cstring>

#include "records.hpp"

namespace ymod {
namespace {

// Releases the pending raw event; the slot reads YAML_NO_EVENT afterwards.
inline void release_pending(CParserObject* self) { yaml_event_delete(&self->parsed_event); }

inline yaml_event_type_t pending_type(CParserObject* self) { return self->parsed_event.type; }

// Borrowed: the anchor map. __init__ sets it before the parser becomes
// usable; only the collector's clear puts None back.
PyObject* anchor_map(CParserObject* self) {
    if (PyDict_CheckExact(self->anchor_map)) [[likely]] return self->anchor_map;
    PyErr_SetString(PyExc_RuntimeError, "the parser has no anchor map: it was cleared by the garbage collector");
    return nullptr;
}

// Raises ComposerError(context, context_mark, problem, problem_mark).
void raise_composer_error(PyObject* context, PyObject* context_mark, PyObject* problem,
                          PyObject* problem_mark) {
    PyObject* args[] = {context, context_mark, problem, problem_mark};
    Ref error = call_host(names.ComposerError, args, 4);
    if (error) raise_object(error.get());
}

// The tag the document leaves open (none, or the non-specific "!") comes
// from the host's resolver.
inline bool tag_left_open(const yaml_char_t* tag) {
    return !tag || std::strcmp(reinterpret_cast<const char*>(tag), "!") == 0;
}

// New reference: self.resolve(<node class>, value, implicit).
Ref resolve_tag(CParserObject* self, PyObject* class_name, PyObject* value, PyObject* implicit) {
    Ref cls = lookup_global(class_name);
    if (!cls) return Ref();
    PyObject* args[] = {reinterpret_cast<PyObject*>(self), cls.get(), value, implicit};
    return Ref::steal(PyObject_VectorcallMethod(names.resolve, args, 4, nullptr));
}

// Records `node` under `anchor` (when there is one).
bool record_anchor(CParserObject* self, PyObject* anchor, PyObject* node) {
    if (anchor == Py_None) return true;
    PyObject* map = anchor_map(self);
    return map && PyDict_SetItem(map, anchor, node) == 0;
}

// Collections: tag, node built with an empty list, anchor recorded before
// any child exists (so an alias inside refers to the collection itself).
// New reference; the start event is released on success.
Ref start_collection(CParserObject* self, PyObject* class_name, PyObject* anchor, const yaml_char_t* tag_text,
                     int implicit_flag, PyObject* flow_style, Ref& value) {
    Ref start_mark = parser_mark(self, self->parsed_event.start_mark);
    if (!start_mark) return Ref();
    PyObject* implicit = bool_object(implicit_flag == 1);
    Ref tag = tag_left_open(tag_text) ? resolve_tag(self, class_name, Py_None, implicit) : decode_tag(tag_text);
    if (!tag) return Ref();
    value = Ref::steal(PyList_New(0));
    if (!value) return Ref();
    PyObject* args[] = {tag.get(), value.get(), start_mark.get(), Py_None, flow_style};
    Ref node = call_host(class_name, args, 5);
    if (!node) return Ref();
    if (!record_anchor(self, anchor, node.get())) return Ref();
    release_pending(self);
    return node;
}

// Sets the collection's end_mark from the pending end event, then releases it.
bool finish_collection(CParserObject* self, PyObject* node) {
    Ref end_mark = parser_mark(self, self->parsed_event.end_mark);
    if (!end_mark) return false;
    if (PyObject_SetAttr(node, names.end_mark, end_mark.get()) < 0) return false;
    release_pending(self);
    return true;
}

bool call_resolver_hook(CParserObject* self, PyObject* name, PyObject* parent, PyObject* index) {
    PyObject* args[] = {reinterpret_cast<PyObject*>(self), parent, index};
    size_t nargs = parent ? 3 : 1;
    Ref result = Ref::steal(PyObject_VectorcallMethod(name, args, nargs, nullptr));
    return static_cast<bool>(result);
}

}  // namespace

// 0 when `parsed_event` holds an event (read now if the slot was empty);
// -1 with an exception set.
int parser_parse_next_event(CParserObject* self) {
    if (self->parsed_event.type != YAML_NO_EVENT) return 0;
    int ok = yaml_parser_parse(&self->libyaml_parser, &self->parsed_event);
    return libyaml_call_ok(self, ok) ? 0 : -1;
}

PyObject* parser_compose_scalar_node(CParserObject* self, PyObject* anchor) {
    const auto& s = self->parsed_event.data.scalar;
    Ref start_mark = parser_mark(self, self->parsed_event.start_mark);
    if (!start_mark) return nullptr;
    Ref end_mark = parser_mark(self, self->parsed_event.end_mark);
    if (!end_mark) return nullptr;
    Ref value = decode_text(s.value, s.length);
    if (!value) return nullptr;
    Ref tag;
    if (tag_left_open(s.tag)) {
        PyObject* implicit = implicit_pair(consts, s.plain_implicit == 1, s.quoted_implicit == 1);
        tag = resolve_tag(self, names.ScalarNode, value.get(), implicit);
    } else {
        tag = decode_tag(s.tag);
    }
    if (!tag) return nullptr;
    PyObject* args[] = {tag.get(), value.get(), start_mark.get(), end_mark.get(),
                        scalar_style_object(raw_enum(s.style))};
    Ref node = call_host(names.ScalarNode, args, 5);
    if (!node) return nullptr;
    if (!record_anchor(self, anchor, node.get())) return nullptr;
    release_pending(self);
    return node.release();
}

PyObject* parser_compose_sequence_node(CParserObject* self, PyObject* anchor) {
    const auto& s = self->parsed_event.data.sequence_start;
    Ref items;
    Ref node = start_collection(self, names.SequenceNode, anchor, s.tag, s.implicit,
                                sequence_flow_style(raw_enum(s.style)), items);
    if (!node) return nullptr;
    long position = 0;
    if (self->vtab->_parse_next_event(self) < 0) return nullptr;
    while (pending_type(self) != YAML_SEQUENCE_END_EVENT) {
        Ref index = Ref::steal(PyLong_FromLong(position));
        if (!index) return nullptr;
        Ref item = Ref::steal(self->vtab->_compose_node(self, node.get(), index.get()));
        if (!item) return nullptr;
        if (PyList_Append(items.get(), item.get()) < 0) return nullptr;
        ++position;
        if (self->vtab->_parse_next_event(self) < 0) return nullptr;
    }
    if (!finish_collection(self, node.get())) return nullptr;
    return node.release();
}

PyObject* parser_compose_mapping_node(CParserObject* self, PyObject* anchor) {
    const auto& m = self->parsed_event.data.mapping_start;
    Ref pairs;
    Ref node = start_collection(self, names.MappingNode, anchor, m.tag, m.implicit,
                                mapping_flow_style(raw_enum(m.style)), pairs);
    if (!node) return nullptr;
    if (self->vtab->_parse_next_event(self) < 0) return nullptr;
    while (pending_type(self) != YAML_MAPPING_END_EVENT) {
        Ref key = Ref::steal(self->vtab->_compose_node(self, node.get(), Py_None));
        if (!key) return nullptr;
        Ref item = Ref::steal(self->vtab->_compose_node(self, node.get(), key.get()));
        if (!item) return nullptr;
        Ref pair = Ref::steal(PyTuple_Pack(2, key.get(), item.get()));
        if (!pair) return nullptr;
        if (PyList_Append(pairs.get(), pair.get()) < 0) return nullptr;
        if (self->vtab->_parse_next_event(self) < 0) return nullptr;
    }
    if (!finish_collection(self, node.get())) return nullptr;
    return node.release();
}

PyObject* parser_compose_node(CParserObject* self, PyObject* parent, PyObject* index) {
    // Our own depth bound: deep nesting ends in RecursionError, never in a
    // C stack overflow, whatever the interpreter's own limits are.
    DepthGuard depth(self->depth);
    if (!depth.entered()) return nullptr;
    if (self->vtab->_parse_next_event(self) < 0) return nullptr;
    yaml_event_t& event = self->parsed_event;

    if (event.type == YAML_ALIAS_EVENT) {
        Ref anchor = decode_text(event.data.alias.anchor);
        if (!anchor) return nullptr;
        PyObject* map = anchor_map(self);
        if (!map) return nullptr;
        PyObject* node = PyDict_GetItemWithError(map, anchor.get());
        if (!node) {
            if (PyErr_Occurred()) return nullptr;
            Ref mark = parser_mark(self, event.start_mark);
            if (mark) raise_composer_error(Py_None, Py_None, names.found_undefined_alias, mark.get());
            return nullptr;  // the alias event stays pending
        }
        Py_INCREF(node);
        release_pending(self);
        return node;
    }

    const yaml_char_t* anchor_text = nullptr;
    switch (event.type) {
    case YAML_SCALAR_EVENT: anchor_text = event.data.scalar.anchor; break;
    case YAML_SEQUENCE_START_EVENT: anchor_text = event.data.sequence_start.anchor; break;
    case YAML_MAPPING_START_EVENT: anchor_text = event.data.mapping_start.anchor; break;
    default: break;
    }
    Ref anchor = decode_text(anchor_text);
    if (!anchor) return nullptr;
    if (anchor.get() != Py_None) {
        PyObject* map = anchor_map(self);
        if (!map) return nullptr;
        PyObject* first = PyDict_GetItemWithError(map, anchor.get());
        if (first) {
            Ref first_ref = Ref::borrow(first);  // the lookups below may run Python code
            Ref mark = parser_mark(self, event.start_mark);
            if (!mark) return nullptr;
            Ref first_mark = read_attr(first_ref.get(), names.start_mark);
            if (!first_mark) return nullptr;
            raise_composer_error(names.found_duplicate_anchor, first_mark.get(), names.second_occurrence,
                                 mark.get());
            return nullptr;  // the event stays pending
        }
        if (PyErr_Occurred()) return nullptr;
    }

    if (!call_resolver_hook(self, names.descend_resolver, parent, index)) return nullptr;
    Ref node;
    bool built = true;
    switch (event.type) {
    case YAML_SCALAR_EVENT:
        node = Ref::steal(self->vtab->_compose_scalar_node(self, anchor.get()));
        break;
    case YAML_SEQUENCE_START_EVENT:
        node = Ref::steal(self->vtab->_compose_sequence_node(self, anchor.get()));
        break;
    case YAML_MAPPING_START_EVENT:
        node = Ref::steal(self->vtab->_compose_mapping_node(self, anchor.get()));
        break;
    default:
        built = false;  // an event that begins no node: called out of order
        break;
    }
    if (built && !node) return nullptr;
    if (!call_resolver_hook(self, names.ascend_resolver, nullptr, nullptr)) return nullptr;
    if (!built) {
        PyErr_Format(PyExc_UnboundLocalError, "local variable '%s' referenced before assignment", "node");
        return nullptr;
    }
    return node.release();
}

PyObject* parser_compose_document(CParserObject* self) {
    release_pending(self);  // the document start
    Ref node = Ref::steal(self->vtab->_compose_node(self, Py_None, Py_None));
    if (!node) return nullptr;
    if (self->vtab->_parse_next_event(self) < 0) return nullptr;
    release_pending(self);  // the document end
    Ref fresh = Ref::steal(PyDict_New());
    if (!fresh) return nullptr;
    replace_field(self->anchor_map, std::move(fresh));
    return node.release();
}

PyObject* parser_check_node(PyObject* o, PyObject* const*, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_none("check_node", nargsf, kwnames)) return nullptr;
    CParserObject* self = as_parser(o);
    ParserEntry entry(self);
    if (!entry) return nullptr;
    if (self->vtab->_parse_next_event(self) < 0) return nullptr;
    if (pending_type(self) == YAML_STREAM_START_EVENT) {
        release_pending(self);
        if (self->vtab->_parse_next_event(self) < 0) return nullptr;
    }
    return Py_NewRef(bool_object(pending_type(self) != YAML_STREAM_END_EVENT));
}

PyObject* parser_get_node(PyObject* o, PyObject* const*, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_none("get_node", nargsf, kwnames)) return nullptr;
    CParserObject* self = as_parser(o);
    ParserEntry entry(self);
    if (!entry) return nullptr;
    if (self->vtab->_parse_next_event(self) < 0) return nullptr;
    if (pending_type(self) == YAML_STREAM_END_EVENT) Py_RETURN_NONE;
    return self->vtab->_compose_document(self);
}

PyObject* parser_get_single_node(PyObject* o, PyObject* const*, Py_ssize_t nargsf, PyObject* kwnames) {
    if (!bind_none("get_single_node", nargsf, kwnames)) return nullptr;
    CParserObject* self = as_parser(o);
    ParserEntry entry(self);
    if (!entry) return nullptr;
    if (self->vtab->_parse_next_event(self) < 0) return nullptr;
    release_pending(self);  // the stream start, whatever it is
    if (self->vtab->_parse_next_event(self) < 0) return nullptr;
    Ref document = Ref::none();
    if (pending_type(self) != YAML_STREAM_END_EVENT) {
        document = Ref::steal(self->vtab->_compose_document(self));
        if (!document) return nullptr;
    }
    if (self->vtab->_parse_next_event(self) < 0) return nullptr;
    if (pending_type(self) != YAML_STREAM_END_EVENT) {
        Ref mark = parser_mark(self, self->parsed_event.start_mark);
        if (!mark) return nullptr;
        Ref root_mark = read_attr(document.get(), names.start_mark);
        if (!root_mark) return nullptr;
        raise_composer_error(names.expected_single_document, root_mark.get(), names.found_another_document,
                             mark.get());
        return nullptr;
    }
    return document.release();
}

}  // namespace ymod
