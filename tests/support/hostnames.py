"""The host package's classes that the extension copies into its globals
while it initialises: 42 names, by the submodule that defines them, in the
order the extension copies them."""

HOST_NAMES = (
    ("error", ("YAMLError",)),
    ("reader", ("ReaderError",)),
    ("scanner", ("ScannerError",)),
    ("parser", ("ParserError",)),
    ("composer", ("ComposerError",)),
    ("constructor", ("ConstructorError",)),
    ("emitter", ("EmitterError",)),
    ("serializer", ("SerializerError",)),
    ("representer", ("RepresenterError",)),
    ("tokens", ("StreamStartToken", "StreamEndToken", "DirectiveToken",
                "DocumentStartToken", "DocumentEndToken",
                "BlockSequenceStartToken", "BlockMappingStartToken",
                "BlockEndToken", "FlowSequenceStartToken",
                "FlowMappingStartToken", "FlowSequenceEndToken",
                "FlowMappingEndToken", "KeyToken", "ValueToken",
                "BlockEntryToken", "FlowEntryToken", "AliasToken",
                "AnchorToken", "TagToken", "ScalarToken")),
    ("events", ("StreamStartEvent", "StreamEndEvent", "DocumentStartEvent",
                "DocumentEndEvent", "AliasEvent", "ScalarEvent",
                "SequenceStartEvent", "SequenceEndEvent",
                "MappingStartEvent", "MappingEndEvent")),
    ("nodes", ("ScalarNode", "SequenceNode", "MappingNode")),
)

_BY_MODULE = dict(HOST_NAMES)

ERROR_NAMES = tuple(names[0] for module, names in HOST_NAMES[:9])
TOKEN_NAMES = _BY_MODULE["tokens"]
EVENT_NAMES = _BY_MODULE["events"]
NODE_NAMES = _BY_MODULE["nodes"]
ALL_NAMES = tuple(name for _, names in HOST_NAMES for name in names)
