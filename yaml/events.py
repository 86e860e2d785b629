"""Event classes produced by the parser and consumed by the emitter.

Attribute names equal the constructor parameter names; the emitter reads
them back by these names.
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


class Event:
    """Base of all events."""

    _fields = ()
    _optional = ()

    def __init__(self, start_mark=None, end_mark=None):
        self.start_mark = start_mark
        self.end_mark = end_mark

    def __repr__(self):
        return _describe(self)


class NodeEvent(Event):
    """An event that stands for a node and may carry an anchor."""

    _fields = ("anchor",)

    def __init__(self, anchor, start_mark=None, end_mark=None):
        self.anchor = anchor
        self.start_mark = start_mark
        self.end_mark = end_mark


class CollectionStartEvent(NodeEvent):
    """Start of a sequence or mapping; implicit is a bool."""

    _fields = ("anchor", "tag", "implicit")
    _optional = ("flow_style",)

    def __init__(self, anchor, tag, implicit, start_mark=None, end_mark=None,
                 flow_style=None):
        self.anchor = anchor
        self.tag = tag
        self.implicit = implicit
        self.start_mark = start_mark
        self.end_mark = end_mark
        self.flow_style = flow_style


class CollectionEndEvent(Event):
    pass


class StreamStartEvent(Event):
    """Start of the stream; encoding is None for text."""

    _optional = ("encoding",)

    def __init__(self, start_mark=None, end_mark=None, encoding=None):
        self.start_mark = start_mark
        self.end_mark = end_mark
        self.encoding = encoding


class StreamEndEvent(Event):
    pass


class DocumentStartEvent(Event):
    """Start of a document; version is (major, minor), tags a dict."""

    _optional = ("explicit", "version", "tags")

    def __init__(self, start_mark=None, end_mark=None, explicit=None,
                 version=None, tags=None):
        self.start_mark = start_mark
        self.end_mark = end_mark
        self.explicit = explicit
        self.version = version
        self.tags = tags


class DocumentEndEvent(Event):
    _optional = ("explicit",)

    def __init__(self, start_mark=None, end_mark=None, explicit=None):
        self.start_mark = start_mark
        self.end_mark = end_mark
        self.explicit = explicit


class AliasEvent(NodeEvent):
    pass


class ScalarEvent(NodeEvent):
    """A scalar; implicit is the pair (plain_implicit, quoted_implicit)."""

    _fields = ("anchor", "tag", "implicit", "value")
    _optional = ("style",)

    def __init__(self, anchor, tag, implicit, value, start_mark=None,
                 end_mark=None, style=None):
        self.anchor = anchor
        self.tag = tag
        self.implicit = implicit
        self.value = value
        self.start_mark = start_mark
        self.end_mark = end_mark
        self.style = style


class SequenceStartEvent(CollectionStartEvent):
    pass


class SequenceEndEvent(CollectionEndEvent):
    pass


class MappingStartEvent(CollectionStartEvent):
    pass


class MappingEndEvent(CollectionEndEvent):
    pass
