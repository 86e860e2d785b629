from typing import Any, ClassVar

from yaml.error import _AnyMark

class Node:
    # "scalar", "sequence" or "mapping"
    id: ClassVar[str]
    tag: str
    value: Any
    start_mark: _AnyMark | None
    end_mark: _AnyMark | None
    def __init__(self, tag: str, value: Any, start_mark: _AnyMark | None, end_mark: _AnyMark | None) -> None: ...

class ScalarNode(Node):
    value: str
    # "" for plain, else the quoting or block indicator; None undecided
    style: str | None
    def __init__(
        self,
        tag: str,
        value: str,
        start_mark: _AnyMark | None = None,
        end_mark: _AnyMark | None = None,
        style: str | None = None,
    ) -> None: ...

class CollectionNode(Node):
    value: list[Any]
    flow_style: bool | None
    def __init__(
        self,
        tag: str,
        value: list[Any],
        start_mark: _AnyMark | None = None,
        end_mark: _AnyMark | None = None,
        flow_style: bool | None = None,
    ) -> None: ...

class SequenceNode(CollectionNode):
    value: list[Node]

class MappingNode(CollectionNode):
    # (key node, value node) pairs in document order
    value: list[tuple[Node, Node]]
