"""Token classes produced by the scanner.

Each token carries `start_mark` and `end_mark`; constructors take their
arguments in the order the extension passes them.
"""


def _describe(obj):
    # Marks are left out: they make the text long and say little here.
    parts = ["%s=%r" % (name, getattr(obj, name, None))
             for name in obj._fields]
    for name in obj._optional:
        value = getattr(obj, name, None)
        if value is not None:
            parts.append("%s=%r" % (name, value))
    return "%s(%s)" % (type(obj).__name__, ", ".join(parts))


class Token:
    """Base of all tokens."""

    id = "<token>"
    _fields = ()
    _optional = ()

    def __init__(self, start_mark, end_mark):
        self.start_mark = start_mark
        self.end_mark = end_mark

    def __repr__(self):
        return _describe(self)


class DirectiveToken(Token):
    """A %YAML or %TAG directive.

    value is (major, minor) for YAML and (handle, prefix) for TAG.
    """

    id = "<directive>"
    _fields = ("name", "value")

    def __init__(self, name, value, start_mark, end_mark):
        self.name = name
        self.value = value
        self.start_mark = start_mark
        self.end_mark = end_mark


class DocumentStartToken(Token):
    id = "<document start>"


class DocumentEndToken(Token):
    id = "<document end>"


class StreamStartToken(Token):
    """Start of the stream; encoding is None for text input."""

    id = "<stream start>"
    _optional = ("encoding",)

    def __init__(self, start_mark=None, end_mark=None, encoding=None):
        self.start_mark = start_mark
        self.end_mark = end_mark
        self.encoding = encoding


class StreamEndToken(Token):
    id = "<stream end>"


class BlockSequenceStartToken(Token):
    id = "<block sequence start>"


class BlockMappingStartToken(Token):
    id = "<block mapping start>"


class BlockEndToken(Token):
    id = "<block end>"


class FlowSequenceStartToken(Token):
    id = "<flow sequence start>"


class FlowMappingStartToken(Token):
    id = "<flow mapping start>"


class FlowSequenceEndToken(Token):
    id = "<flow sequence end>"


class FlowMappingEndToken(Token):
    id = "<flow mapping end>"


class KeyToken(Token):
    id = "?"


class ValueToken(Token):
    id = ":"


class BlockEntryToken(Token):
    id = "-"


class FlowEntryToken(Token):
    id = ","


class AliasToken(Token):
    id = "<alias>"
    _fields = ("value",)

    def __init__(self, value, start_mark, end_mark):
        self.value = value
        self.start_mark = start_mark
        self.end_mark = end_mark


class AnchorToken(Token):
    id = "<anchor>"
    _fields = ("value",)

    def __init__(self, value, start_mark, end_mark):
        self.value = value
        self.start_mark = start_mark
        self.end_mark = end_mark


class TagToken(Token):
    """A tag; value is (handle, suffix), handle None for verbatim tags."""

    id = "<tag>"
    _fields = ("value",)

    def __init__(self, value, start_mark, end_mark):
        self.value = value
        self.start_mark = start_mark
        self.end_mark = end_mark


class ScalarToken(Token):
    """A scalar; style is "" for plain, else the quoting or block indicator."""

    id = "<scalar>"
    _fields = ("value", "plain")
    _optional = ("style",)

    def __init__(self, value, plain, start_mark, end_mark, style=None):
        self.value = value
        self.plain = plain
        self.start_mark = start_mark
        self.end_mark = end_mark
        self.style = style
