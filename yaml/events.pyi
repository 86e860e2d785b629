from collections.abc import Mapping

from yaml.error import _AnyMark

class Event:
    start_mark: _AnyMark | None
    end_mark: _AnyMark | None
    def __init__(self, start_mark: _AnyMark | None = None, end_mark: _AnyMark | None = None) -> None: ...

class NodeEvent(Event):
    anchor: str | None
    def __init__(
        self, anchor: str | None, start_mark: _AnyMark | None = None, end_mark: _AnyMark | None = None
    ) -> None: ...

class CollectionStartEvent(NodeEvent):
    tag: str | None
    implicit: bool
    flow_style: bool | None
    def __init__(
        self,
        anchor: str | None,
        tag: str | None,
        implicit: bool,
        start_mark: _AnyMark | None = None,
        end_mark: _AnyMark | None = None,
        flow_style: bool | None = None,
    ) -> None: ...

class CollectionEndEvent(Event): ...

class StreamStartEvent(Event):
    encoding: str | None
    def __init__(
        self,
        start_mark: _AnyMark | None = None,
        end_mark: _AnyMark | None = None,
        encoding: str | None = None,
    ) -> None: ...

class StreamEndEvent(Event): ...

class DocumentStartEvent(Event):
    explicit: bool | None
    version: tuple[int, int] | None
    tags: Mapping[str, str] | None
    def __init__(
        self,
        start_mark: _AnyMark | None = None,
        end_mark: _AnyMark | None = None,
        explicit: bool | None = None,
        version: tuple[int, int] | None = None,
        tags: Mapping[str, str] | None = None,
    ) -> None: ...

class DocumentEndEvent(Event):
    explicit: bool | None
    def __init__(
        self,
        start_mark: _AnyMark | None = None,
        end_mark: _AnyMark | None = None,
        explicit: bool | None = None,
    ) -> None: ...

class AliasEvent(NodeEvent): ...

class ScalarEvent(NodeEvent):
    tag: str | None
    # (plain_implicit, quoted_implicit)
    implicit: tuple[bool, bool]
    value: str
    style: str | None
    def __init__(
        self,
        anchor: str | None,
        tag: str | None,
        implicit: tuple[bool, bool],
        value: str,
        start_mark: _AnyMark | None = None,
        end_mark: _AnyMark | None = None,
        style: str | None = None,
    ) -> None: ...

class SequenceStartEvent(CollectionStartEvent): ...
class SequenceEndEvent(CollectionEndEvent): ...
class MappingStartEvent(CollectionStartEvent): ...
class MappingEndEvent(CollectionEndEvent): ...
