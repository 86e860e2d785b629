from typing import Any, ClassVar

from yaml.error import _AnyMark

class Token:
    id: ClassVar[str]
    start_mark: _AnyMark | None
    end_mark: _AnyMark | None
    def __init__(self, start_mark: _AnyMark | None, end_mark: _AnyMark | None) -> None: ...

class DirectiveToken(Token):
    name: str
    # (major, minor) for %YAML, (handle, prefix) for %TAG
    value: Any
    def __init__(
        self, name: str, value: Any, start_mark: _AnyMark | None, end_mark: _AnyMark | None
    ) -> None: ...

class DocumentStartToken(Token): ...
class DocumentEndToken(Token): ...

class StreamStartToken(Token):
    encoding: str | None
    def __init__(
        self,
        start_mark: _AnyMark | None = None,
        end_mark: _AnyMark | None = None,
        encoding: str | None = None,
    ) -> None: ...

class StreamEndToken(Token): ...
class BlockSequenceStartToken(Token): ...
class BlockMappingStartToken(Token): ...
class BlockEndToken(Token): ...
class FlowSequenceStartToken(Token): ...
class FlowMappingStartToken(Token): ...
class FlowSequenceEndToken(Token): ...
class FlowMappingEndToken(Token): ...
class KeyToken(Token): ...
class ValueToken(Token): ...
class BlockEntryToken(Token): ...
class FlowEntryToken(Token): ...

class AliasToken(Token):
    value: str
    def __init__(self, value: str, start_mark: _AnyMark | None, end_mark: _AnyMark | None) -> None: ...

class AnchorToken(Token):
    value: str
    def __init__(self, value: str, start_mark: _AnyMark | None, end_mark: _AnyMark | None) -> None: ...

class TagToken(Token):
    # (handle, suffix); the handle is None for a verbatim tag
    value: tuple[str | None, str]
    def __init__(
        self, value: tuple[str | None, str], start_mark: _AnyMark | None, end_mark: _AnyMark | None
    ) -> None: ...

class ScalarToken(Token):
    value: str
    plain: bool
    style: str | None
    def __init__(
        self,
        value: str,
        plain: bool,
        start_mark: _AnyMark | None,
        end_mark: _AnyMark | None,
        style: str | None = None,
    ) -> None: ...
