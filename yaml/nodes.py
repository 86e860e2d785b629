"""Node classes of a composed document graph.

Nodes compare and hash by identity, so they can key dicts of a graph that
contains cycles. A collection node keeps the very list it was given: the
composer fills that list after the node exists.
"""


class Node:
    """Base of all nodes."""

    id = "node"
    _style_name = None   # "style" or "flow_style"; shown by repr when set

    def __init__(self, tag, value, start_mark, end_mark):
        self.tag = tag
        self.value = value
        self.start_mark = start_mark
        self.end_mark = end_mark

    def __repr__(self):
        value = getattr(self, "value", None)
        if isinstance(value, list):
            # Shallow on purpose: a graph may contain itself.
            n = len(value)
            value_text = "<%d item%s>" % (n, "" if n == 1 else "s")
        else:
            value_text = repr(value)
        parts = ["tag=%r" % (getattr(self, "tag", None),),
                 "value=" + value_text]
        if self._style_name is not None:
            style = getattr(self, self._style_name, None)
            if style is not None:
                parts.append("%s=%r" % (self._style_name, style))
        return "%s(%s)" % (type(self).__name__, ", ".join(parts))


class ScalarNode(Node):
    """A scalar; style is "" for plain, else the quoting or block indicator."""

    id = "scalar"
    _style_name = "style"

    def __init__(self, tag, value, start_mark=None, end_mark=None, style=None):
        self.tag = tag
        self.value = value
        self.start_mark = start_mark
        self.end_mark = end_mark
        self.style = style


class CollectionNode(Node):
    """A sequence or mapping; flow_style True, False or None (undecided)."""

    _style_name = "flow_style"

    def __init__(self, tag, value, start_mark=None, end_mark=None,
                 flow_style=None):
        self.tag = tag
        self.value = value
        self.start_mark = start_mark
        self.end_mark = end_mark
        self.flow_style = flow_style


class SequenceNode(CollectionNode):
    """value is a list of nodes."""

    id = "sequence"


class MappingNode(CollectionNode):
    """value is a list of (key node, value node) pairs, in document order."""

    id = "mapping"
