# Type information for the native module yaml._yaml.
#
# The module's host classes are the package's own (yaml.tokens, yaml.events,
# yaml.nodes and the error modules); it re-exports them under their names and
# looks them up there each time it builds one.

from typing import IO, Any, Literal, Protocol, SupportsInt

from typing_extensions import disjoint_base

from yaml.composer import ComposerError as ComposerError
from yaml.constructor import ConstructorError as ConstructorError
from yaml.emitter import EmitterError as EmitterError
from yaml.error import YAMLError as YAMLError
from yaml.events import (
    AliasEvent as AliasEvent,
    DocumentEndEvent as DocumentEndEvent,
    DocumentStartEvent as DocumentStartEvent,
    Event,
    MappingEndEvent as MappingEndEvent,
    MappingStartEvent as MappingStartEvent,
    ScalarEvent as ScalarEvent,
    SequenceEndEvent as SequenceEndEvent,
    SequenceStartEvent as SequenceStartEvent,
    StreamEndEvent as StreamEndEvent,
    StreamStartEvent as StreamStartEvent,
)
from yaml.nodes import MappingNode as MappingNode, Node, ScalarNode as ScalarNode, SequenceNode as SequenceNode
from yaml.parser import ParserError as ParserError
from yaml.reader import ReaderError as ReaderError
from yaml.representer import RepresenterError as RepresenterError
from yaml.scanner import ScannerError as ScannerError
from yaml.serializer import SerializerError as SerializerError
from yaml.tokens import (
    AliasToken as AliasToken,
    AnchorToken as AnchorToken,
    BlockEndToken as BlockEndToken,
    BlockEntryToken as BlockEntryToken,
    BlockMappingStartToken as BlockMappingStartToken,
    BlockSequenceStartToken as BlockSequenceStartToken,
    DirectiveToken as DirectiveToken,
    DocumentEndToken as DocumentEndToken,
    DocumentStartToken as DocumentStartToken,
    FlowEntryToken as FlowEntryToken,
    FlowMappingEndToken as FlowMappingEndToken,
    FlowMappingStartToken as FlowMappingStartToken,
    FlowSequenceEndToken as FlowSequenceEndToken,
    FlowSequenceStartToken as FlowSequenceStartToken,
    KeyToken as KeyToken,
    ScalarToken as ScalarToken,
    StreamEndToken as StreamEndToken,
    StreamStartToken as StreamStartToken,
    TagToken as TagToken,
    Token,
    ValueToken as ValueToken,
)

__test__: dict[str, str]

def get_version_string() -> str: ...
def get_version() -> tuple[int, int, int]: ...

# Mark, CParser and CEmitter are native types with fields of their own
# (disjoint bases): no class can derive from two of them.
@disjoint_base
class Mark:
    # Positions count from 0; str(mark) prints them from 1.
    @property
    def name(self) -> Any: ...
    @property
    def index(self) -> int: ...
    @property
    def line(self) -> int: ...
    @property
    def column(self) -> int: ...
    @property
    def buffer(self) -> Any: ...
    @property
    def pointer(self) -> Any: ...
    def __init__(
        self, name: Any, index: int | SupportsInt, line: int | SupportsInt,
        column: int | SupportsInt, buffer: Any, pointer: Any,
    ) -> None: ...
    def get_snippet(self) -> None: ...
    def __str__(self) -> str: ...
    def __reduce__(self) -> tuple[Any, ...]: ...
    def __setstate__(self, __pyx_state: tuple[Any, ...]) -> None: ...

class _Readable(Protocol):
    def read(self, size: int, /) -> str | bytes: ...

@disjoint_base
class CParser:
    # stream: str, bytes, or an object whose read(size) returns str or bytes.
    def __init__(self, stream: str | bytes | _Readable) -> None: ...
    def dispose(self) -> None: ...
    def raw_scan(self) -> int: ...
    def get_token(self) -> Token | None: ...
    def peek_token(self) -> Token | None: ...
    def check_token(self, *choices: type[Token]) -> bool: ...
    def raw_parse(self) -> int: ...
    def get_event(self) -> Event | None: ...
    def peek_event(self) -> Event | None: ...
    def check_event(self, *choices: type[Event]) -> bool: ...
    def check_node(self) -> bool: ...
    def get_node(self) -> Node | None: ...
    def get_single_node(self) -> Node | None: ...
    def __reduce__(self) -> Any: ...
    def __setstate__(self, __pyx_state: Any) -> None: ...

class _Writable(Protocol):
    def write(self, data: Any, /) -> object: ...

@disjoint_base
class CEmitter:
    # stream.write receives str when no encoding is chosen or the stream has
    # an `encoding` attribute, bytes otherwise.
    def __init__(
        self,
        stream: _Writable | IO[str] | IO[bytes],
        canonical: object = None,
        indent: int | SupportsInt | None = None,
        width: int | SupportsInt | None = None,
        allow_unicode: object = None,
        line_break: Literal["\r", "\n", "\r\n"] | None = None,
        encoding: str | None = None,
        explicit_start: object = None,
        explicit_end: object = None,
        version: tuple[int, int] | None = None,
        tags: dict[str, str] | None = None,
    ) -> None: ...
    def dispose(self) -> None: ...
    def emit(self, event_object: Event) -> None: ...
    def open(self) -> None: ...
    def close(self) -> None: ...
    def serialize(self, node: Node) -> None: ...
    def __reduce__(self) -> Any: ...
    def __setstate__(self, __pyx_state: Any) -> None: ...

def __pyx_unpickle_Mark(__pyx_type: type[Mark], __pyx_checksum: int, __pyx_state: tuple[Any, ...] | None) -> Mark: ...
