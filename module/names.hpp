// Interned names and shared constants, created once at module execution and
// kept for the life of the process.
//
// Every attribute name, keyword name, global name and constant text the
// native modules use lives here; hot paths never build a str from a C
// literal.
#pragma once

#include "ref.hpp"

namespace ymod {

// X(member, "text")
#define YMOD_INTERNED_NAMES(X)                                   \
    /* module namespace */                                       \
    X(builtins_, "__builtins__")                                 \
    X(test_, "__test__")                                         \
    X(yaml, "yaml")                                              \
    X(yaml_dot_yaml, "yaml._yaml")                               \
    X(Mark, "Mark")                                              \
    X(CParser, "CParser")                                        \
    X(CEmitter, "CEmitter")                                      \
    X(get_version_string, "get_version_string")                  \
    X(get_version, "get_version")                                \
    X(pyx_unpickle_Mark, "__pyx_unpickle_Mark")                  \
    X(pyx_vtable, "__pyx_vtable__")                              \
    /* import spec */                                            \
    X(loader, "loader")                                          \
    X(origin, "origin")                                          \
    X(parent, "parent")                                          \
    X(submodule_search_locations, "submodule_search_locations")  \
    X(dunder_loader, "__loader__")                               \
    X(dunder_file, "__file__")                                   \
    X(dunder_package, "__package__")                             \
    X(dunder_path, "__path__")                                   \
    /* host submodules */                                        \
    X(error, "error")                                            \
    X(reader, "reader")                                          \
    X(scanner, "scanner")                                        \
    X(parser, "parser")                                          \
    X(composer, "composer")                                      \
    X(constructor, "constructor")                                \
    X(emitter, "emitter")                                        \
    X(serializer, "serializer")                                  \
    X(representer, "representer")                                \
    X(tokens, "tokens")                                          \
    X(events, "events")                                          \
    X(nodes, "nodes")                                            \
    /* host classes */                                           \
    X(YAMLError, "YAMLError")                                    \
    X(ReaderError, "ReaderError")                                \
    X(ScannerError, "ScannerError")                              \
    X(ParserError, "ParserError")                                \
    X(ComposerError, "ComposerError")                            \
    X(ConstructorError, "ConstructorError")                      \
    X(EmitterError, "EmitterError")                              \
    X(SerializerError, "SerializerError")                        \
    X(RepresenterError, "RepresenterError")                      \
    X(StreamStartToken, "StreamStartToken")                      \
    X(StreamEndToken, "StreamEndToken")                          \
    X(DirectiveToken, "DirectiveToken")                          \
    X(DocumentStartToken, "DocumentStartToken")                  \
    X(DocumentEndToken, "DocumentEndToken")                      \
    X(BlockSequenceStartToken, "BlockSequenceStartToken")        \
    X(BlockMappingStartToken, "BlockMappingStartToken")          \
    X(BlockEndToken, "BlockEndToken")                            \
    X(FlowSequenceStartToken, "FlowSequenceStartToken")          \
    X(FlowMappingStartToken, "FlowMappingStartToken")            \
    X(FlowSequenceEndToken, "FlowSequenceEndToken")              \
    X(FlowMappingEndToken, "FlowMappingEndToken")                \
    X(KeyToken, "KeyToken")                                      \
    X(ValueToken, "ValueToken")                                  \
    X(BlockEntryToken, "BlockEntryToken")                        \
    X(FlowEntryToken, "FlowEntryToken")                          \
    X(AliasToken, "AliasToken")                                  \
    X(AnchorToken, "AnchorToken")                                \
    X(TagToken, "TagToken")                                      \
    X(ScalarToken, "ScalarToken")                                \
    X(StreamStartEvent, "StreamStartEvent")                      \
    X(StreamEndEvent, "StreamEndEvent")                          \
    X(DocumentStartEvent, "DocumentStartEvent")                  \
    X(DocumentEndEvent, "DocumentEndEvent")                      \
    X(AliasEvent, "AliasEvent")                                  \
    X(ScalarEvent, "ScalarEvent")                                \
    X(SequenceStartEvent, "SequenceStartEvent")                  \
    X(SequenceEndEvent, "SequenceEndEvent")                      \
    X(MappingStartEvent, "MappingStartEvent")                    \
    X(MappingEndEvent, "MappingEndEvent")                        \
    X(ScalarNode, "ScalarNode")                                  \
    X(SequenceNode, "SequenceNode")                              \
    X(MappingNode, "MappingNode")                                \
    /* attributes and methods */                                 \
    X(dunder_class, "__class__")                                 \
    X(dunder_dict, "__dict__")                                   \
    X(dunder_new, "__new__")                                     \
    X(dunder_reduce, "__reduce__")                               \
    X(dunder_reduce_ex, "__reduce_ex__")                         \
    X(dunder_setstate, "__setstate__")                           \
    X(dunder_getstate, "__getstate__")                           \
    X(update, "update")                                          \
    X(read, "read")                                              \
    X(write, "write")                                            \
    X(encoding, "encoding")                                      \
    X(start_mark, "start_mark")                                  \
    X(end_mark, "end_mark")                                      \
    X(anchor, "anchor")                                          \
    X(tag, "tag")                                                \
    X(value, "value")                                            \
    X(implicit, "implicit")                                      \
    X(style, "style")                                            \
    X(flow_style, "flow_style")                                  \
    X(explicit_, "explicit")                                     \
    X(version, "version")                                        \
    X(tags, "tags")                                              \
    X(descend_resolver, "descend_resolver")                      \
    X(ascend_resolver, "ascend_resolver")                        \
    X(resolve, "resolve")                                        \
    X(pickle, "pickle")                                          \
    X(PickleError, "PickleError")                                \
    /* keyword names */                                          \
    X(name, "name")                                              \
    X(index, "index")                                            \
    X(line, "line")                                              \
    X(column, "column")                                          \
    X(buffer, "buffer")                                          \
    X(pointer, "pointer")                                        \
    X(pyx_state, "__pyx_state")                                  \
    X(pyx_type, "__pyx_type")                                    \
    X(pyx_checksum, "__pyx_checksum")                            \
    X(stream, "stream")                                          \
    X(canonical, "canonical")                                    \
    X(indent, "indent")                                          \
    X(width, "width")                                            \
    X(allow_unicode, "allow_unicode")                            \
    X(line_break, "line_break")                                  \
    X(explicit_start, "explicit_start")                          \
    X(explicit_end, "explicit_end")                              \
    X(node, "node")                                              \
    X(event_object, "event_object")                              \
    /* constant texts */                                         \
    X(file_name, "<file>")                                       \
    X(unicode_name, "<unicode string>")                          \
    X(bytes_name, "<byte string>")                               \
    X(utf_8, "utf-8")                                            \
    X(utf_16_le, "utf-16-le")                                    \
    X(utf_16_be, "utf-16-be")                                    \
    X(YAML_, "YAML")                                             \
    X(TAG_, "TAG")                                               \
    X(question, "?")                                             \
    X(invalid_event, "invalid event %s")                         \
    X(style_single, "'")                                         \
    X(style_double, "\"")                                        \
    X(style_literal, "|")                                        \
    X(style_folded, ">")                                         \
    X(break_cr, "\r")                                            \
    X(break_ln, "\n")                                            \
    X(break_crln, "\r\n")                                      \
    /* standard tags, shared by every node and event that names one */ \
    X(tag_str, "tag:yaml.org,2002:str")                          \
    X(tag_seq, "tag:yaml.org,2002:seq")                          \
    X(tag_map, "tag:yaml.org,2002:map")                          \
    X(tag_int, "tag:yaml.org,2002:int")                          \
    X(tag_float, "tag:yaml.org,2002:float")                      \
    X(tag_bool, "tag:yaml.org,2002:bool")                        \
    X(tag_null, "tag:yaml.org,2002:null")                        \
    X(tag_timestamp, "tag:yaml.org,2002:timestamp")              \
    X(tag_binary, "tag:yaml.org,2002:binary")                    \
    X(tag_merge, "tag:yaml.org,2002:merge")                      \
    X(tag_value, "tag:yaml.org,2002:value")                      \
    /* composer error texts */                                   \
    X(found_undefined_alias, "found undefined alias")            \
    X(found_duplicate_anchor, "found duplicate anchor; first occurrence") \
    X(second_occurrence, "second occurrence")                    \
    X(expected_single_document, "expected a single document in the stream") \
    X(found_another_document, "but found another document")

struct Names {
#define YMOD_DECLARE_NAME(member, text) PyObject* member;
    YMOD_INTERNED_NAMES(YMOD_DECLARE_NAME)
#undef YMOD_DECLARE_NAME
};

// Shared constants (all immortal for the life of the process).
struct Constants {
    PyObject* empty_tuple;
    PyObject* empty_str;
    PyObject* int_0;
    PyObject* int_1;
    PyObject* mark_checksum;     // 0x27a7a5c
    PyObject* true_false;        // (True, False)
    PyObject* false_true;        // (False, True)
    PyObject* true_true;         // (True, True)
    PyObject* false_false;       // (False, False)
};

// Borrowed: the shared tuple (plain, quoted) of a scalar's implicit flags.
// Tuples are immutable, so every scalar can be handed the same four.
inline PyObject* implicit_pair(const Constants& c, bool plain, bool quoted) noexcept {
    return plain ? (quoted ? c.true_true : c.true_false) : (quoted ? c.false_true : c.false_false);
}

extern Names names;
extern Constants consts;

// Creates the interned names and constants once; later calls do nothing.
// Returns -1 with an exception set on failure.
int init_names();

}  // namespace ymod
