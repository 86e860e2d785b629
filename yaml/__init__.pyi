import re
from collections.abc import Callable, Iterable, Iterator, Mapping
from typing import Any, ClassVar, TypeAlias, TypedDict, TypeVar, overload

from _typeshed import SupportsWrite
from typing_extensions import Unpack

from . import (
    _yaml as _yaml,
    composer as composer,
    constructor as constructor,
    cyaml as cyaml,
    dumper as dumper,
    emitter as emitter,
    error as error,
    events as events,
    loader as loader,
    nodes as nodes,
    parser as parser,
    reader as reader,
    representer as representer,
    resolver as resolver,
    scanner as scanner,
    serializer as serializer,
    tokens as tokens,
)
from yaml._yaml import CEmitter, CParser, get_version as get_version, get_version_string as get_version_string
from yaml.composer import ComposerError as ComposerError
from yaml.constructor import (
    BaseConstructor as BaseConstructor,
    Constructor as Constructor,
    ConstructorError as ConstructorError,
    FullConstructor as FullConstructor,
    SafeConstructor as SafeConstructor,
    UnsafeConstructor as UnsafeConstructor,
)
from yaml.cyaml import *
from yaml.dumper import *
from yaml.emitter import EmitterError as EmitterError, _WriteStream
from yaml.error import *
from yaml.events import *
from yaml.loader import *
from yaml.nodes import *
from yaml.parser import ParserError as ParserError
from yaml.reader import ReaderError as ReaderError, _ReadStream
from yaml.representer import (
    BaseRepresenter as BaseRepresenter,
    Representer as Representer,
    RepresenterError as RepresenterError,
    SafeRepresenter as SafeRepresenter,
)
from yaml.resolver import BaseResolver as BaseResolver, Resolver as Resolver
from yaml.scanner import ScannerError as ScannerError
from yaml.serializer import SerializerError as SerializerError
from yaml.tokens import *

__version__: str
__with_libyaml__: bool

_T = TypeVar("_T")
_C = TypeVar("_C", bound=BaseConstructor)
_R = TypeVar("_R", bound=BaseRepresenter)

# The classes a registration with Loader=None changes.
_DefaultLoader: TypeAlias = Loader | FullLoader | UnsafeLoader

# The options that serialize, dump and the safe dump functions pass on by
# keyword; `encoding` is apart because it decides what they return.
class _SerializeOptions(TypedDict, total=False):
    canonical: bool | None
    indent: int | None
    width: float | None
    allow_unicode: bool | None
    line_break: str | None
    explicit_start: bool | None
    explicit_end: bool | None
    version: tuple[int, int] | None
    tags: Mapping[str, str] | None

class _DumpOptions(_SerializeOptions, total=False):
    default_style: str | None
    default_flow_style: bool | None
    sort_keys: bool

# Loading: `stream` is a str, bytes, or a text or binary file object.
def scan(stream: _ReadStream, Loader: type[CParser] = ...) -> Iterator[Token]: ...
def parse(stream: _ReadStream, Loader: type[CParser] = ...) -> Iterator[Event]: ...
def compose(stream: _ReadStream, Loader: type[CParser] = ...) -> Node | None: ...
def compose_all(stream: _ReadStream, Loader: type[CParser] = ...) -> Iterator[Node]: ...

# Without a Loader these are safe_load and safe_load_all.
def load(stream: _ReadStream, Loader: type[BaseConstructor] | None = None) -> Any: ...
def load_all(stream: _ReadStream, Loader: type[BaseConstructor] | None = None) -> Iterator[Any]: ...
def full_load(stream: _ReadStream) -> Any: ...
def full_load_all(stream: _ReadStream) -> Iterator[Any]: ...
def safe_load(stream: _ReadStream) -> Any: ...
def safe_load_all(stream: _ReadStream) -> Iterator[Any]: ...
def unsafe_load(stream: _ReadStream) -> Any: ...
def unsafe_load_all(stream: _ReadStream) -> Iterator[Any]: ...

# Dumping: the text is returned when `stream` is None, else written to it.
@overload
def emit(
    events: Iterable[Event],
    stream: None = None,
    Dumper: type[CEmitter] = ...,
    canonical: bool | None = None,
    indent: int | None = None,
    width: float | None = None,
    allow_unicode: bool | None = None,
    line_break: str | None = None,
) -> str: ...
@overload
def emit(
    events: Iterable[Event],
    stream: _WriteStream,
    Dumper: type[CEmitter] = ...,
    canonical: bool | None = None,
    indent: int | None = None,
    width: float | None = None,
    allow_unicode: bool | None = None,
    line_break: str | None = None,
) -> None: ...

# The text when `stream` is None: str, or bytes in the `encoding` given.
@overload
def serialize_all(
    nodes: Iterable[Node],
    stream: None = None,
    Dumper: type[CEmitter] = ...,
    canonical: bool | None = None,
    indent: int | None = None,
    width: float | None = None,
    allow_unicode: bool | None = None,
    line_break: str | None = None,
    encoding: None = None,
    explicit_start: bool | None = None,
    explicit_end: bool | None = None,
    version: tuple[int, int] | None = None,
    tags: Mapping[str, str] | None = None,
) -> str: ...
@overload
def serialize_all(
    nodes: Iterable[Node],
    stream: None = None,
    Dumper: type[CEmitter] = ...,
    canonical: bool | None = None,
    indent: int | None = None,
    width: float | None = None,
    allow_unicode: bool | None = None,
    line_break: str | None = None,
    *,
    encoding: str,
    explicit_start: bool | None = None,
    explicit_end: bool | None = None,
    version: tuple[int, int] | None = None,
    tags: Mapping[str, str] | None = None,
) -> bytes: ...
@overload
def serialize_all(
    nodes: Iterable[Node],
    stream: SupportsWrite[str],
    Dumper: type[CEmitter] = ...,
    canonical: bool | None = None,
    indent: int | None = None,
    width: float | None = None,
    allow_unicode: bool | None = None,
    line_break: str | None = None,
    encoding: None = None,
    explicit_start: bool | None = None,
    explicit_end: bool | None = None,
    version: tuple[int, int] | None = None,
    tags: Mapping[str, str] | None = None,
) -> None: ...
@overload
def serialize_all(
    nodes: Iterable[Node],
    stream: _WriteStream,
    Dumper: type[CEmitter] = ...,
    canonical: bool | None = None,
    indent: int | None = None,
    width: float | None = None,
    allow_unicode: bool | None = None,
    line_break: str | None = None,
    *,
    encoding: str,
    explicit_start: bool | None = None,
    explicit_end: bool | None = None,
    version: tuple[int, int] | None = None,
    tags: Mapping[str, str] | None = None,
) -> None: ...
@overload
def serialize(
    node: Node,
    stream: None = None,
    Dumper: type[CEmitter] = ...,
    *,
    encoding: None = None,
    **kwds: Unpack[_SerializeOptions],
) -> str: ...
@overload
def serialize(
    node: Node,
    stream: None = None,
    Dumper: type[CEmitter] = ...,
    *,
    encoding: str,
    **kwds: Unpack[_SerializeOptions],
) -> bytes: ...
@overload
def serialize(
    node: Node,
    stream: SupportsWrite[str],
    Dumper: type[CEmitter] = ...,
    *,
    encoding: None = None,
    **kwds: Unpack[_SerializeOptions],
) -> None: ...
@overload
def serialize(
    node: Node,
    stream: _WriteStream,
    Dumper: type[CEmitter] = ...,
    *,
    encoding: str,
    **kwds: Unpack[_SerializeOptions],
) -> None: ...
@overload
def dump_all(
    documents: Iterable[Any],
    stream: None = None,
    Dumper: type[BaseRepresenter] = ...,
    default_style: str | None = None,
    default_flow_style: bool | None = False,
    canonical: bool | None = None,
    indent: int | None = None,
    width: float | None = None,
    allow_unicode: bool | None = None,
    line_break: str | None = None,
    encoding: None = None,
    explicit_start: bool | None = None,
    explicit_end: bool | None = None,
    version: tuple[int, int] | None = None,
    tags: Mapping[str, str] | None = None,
    sort_keys: bool = True,
) -> str: ...
@overload
def dump_all(
    documents: Iterable[Any],
    stream: None = None,
    Dumper: type[BaseRepresenter] = ...,
    default_style: str | None = None,
    default_flow_style: bool | None = False,
    canonical: bool | None = None,
    indent: int | None = None,
    width: float | None = None,
    allow_unicode: bool | None = None,
    line_break: str | None = None,
    *,
    encoding: str,
    explicit_start: bool | None = None,
    explicit_end: bool | None = None,
    version: tuple[int, int] | None = None,
    tags: Mapping[str, str] | None = None,
    sort_keys: bool = True,
) -> bytes: ...
@overload
def dump_all(
    documents: Iterable[Any],
    stream: SupportsWrite[str],
    Dumper: type[BaseRepresenter] = ...,
    default_style: str | None = None,
    default_flow_style: bool | None = False,
    canonical: bool | None = None,
    indent: int | None = None,
    width: float | None = None,
    allow_unicode: bool | None = None,
    line_break: str | None = None,
    encoding: None = None,
    explicit_start: bool | None = None,
    explicit_end: bool | None = None,
    version: tuple[int, int] | None = None,
    tags: Mapping[str, str] | None = None,
    sort_keys: bool = True,
) -> None: ...
@overload
def dump_all(
    documents: Iterable[Any],
    stream: _WriteStream,
    Dumper: type[BaseRepresenter] = ...,
    default_style: str | None = None,
    default_flow_style: bool | None = False,
    canonical: bool | None = None,
    indent: int | None = None,
    width: float | None = None,
    allow_unicode: bool | None = None,
    line_break: str | None = None,
    *,
    encoding: str,
    explicit_start: bool | None = None,
    explicit_end: bool | None = None,
    version: tuple[int, int] | None = None,
    tags: Mapping[str, str] | None = None,
    sort_keys: bool = True,
) -> None: ...
@overload
def dump(
    data: Any,
    stream: None = None,
    Dumper: type[BaseRepresenter] = ...,
    *,
    encoding: None = None,
    **kwds: Unpack[_DumpOptions],
) -> str: ...
@overload
def dump(
    data: Any,
    stream: None = None,
    Dumper: type[BaseRepresenter] = ...,
    *,
    encoding: str,
    **kwds: Unpack[_DumpOptions],
) -> bytes: ...
@overload
def dump(
    data: Any,
    stream: SupportsWrite[str],
    Dumper: type[BaseRepresenter] = ...,
    *,
    encoding: None = None,
    **kwds: Unpack[_DumpOptions],
) -> None: ...
@overload
def dump(
    data: Any,
    stream: _WriteStream,
    Dumper: type[BaseRepresenter] = ...,
    *,
    encoding: str,
    **kwds: Unpack[_DumpOptions],
) -> None: ...
@overload
def safe_dump_all(
    documents: Iterable[Any],
    stream: None = None,
    *,
    encoding: None = None,
    **kwds: Unpack[_DumpOptions],
) -> str: ...
@overload
def safe_dump_all(
    documents: Iterable[Any],
    stream: None = None,
    *,
    encoding: str,
    **kwds: Unpack[_DumpOptions],
) -> bytes: ...
@overload
def safe_dump_all(
    documents: Iterable[Any],
    stream: SupportsWrite[str],
    *,
    encoding: None = None,
    **kwds: Unpack[_DumpOptions],
) -> None: ...
@overload
def safe_dump_all(
    documents: Iterable[Any],
    stream: _WriteStream,
    *,
    encoding: str,
    **kwds: Unpack[_DumpOptions],
) -> None: ...
@overload
def safe_dump(
    data: Any,
    stream: None = None,
    *,
    encoding: None = None,
    **kwds: Unpack[_DumpOptions],
) -> str: ...
@overload
def safe_dump(
    data: Any,
    stream: None = None,
    *,
    encoding: str,
    **kwds: Unpack[_DumpOptions],
) -> bytes: ...
@overload
def safe_dump(
    data: Any,
    stream: SupportsWrite[str],
    *,
    encoding: None = None,
    **kwds: Unpack[_DumpOptions],
) -> None: ...
@overload
def safe_dump(
    data: Any,
    stream: _WriteStream,
    *,
    encoding: str,
    **kwds: Unpack[_DumpOptions],
) -> None: ...

# Registrations: with Loader=None on Loader, FullLoader and UnsafeLoader (not
# SafeLoader), else on the class given; the resolvers also on `Dumper`.
def add_implicit_resolver(
    tag: str,
    regexp: re.Pattern[str] | str,
    first: Iterable[str] | None = None,
    Loader: type[BaseResolver] | None = None,
    Dumper: type[BaseResolver] = ...,
) -> None: ...
def add_path_resolver(
    tag: str,
    path: Iterable[Any],
    kind: type[Any] | None = None,
    Loader: type[BaseResolver] | None = None,
    Dumper: type[BaseResolver] = ...,
) -> None: ...
@overload
def add_constructor(tag: str | None, constructor: Callable[[_DefaultLoader, Node], Any], Loader: None = None) -> None: ...
@overload
def add_constructor(tag: str | None, constructor: Callable[[_C, Node], Any], Loader: type[_C]) -> None: ...
@overload
def add_multi_constructor(
    tag_prefix: str | None, multi_constructor: Callable[[_DefaultLoader, str, Node], Any], Loader: None = None
) -> None: ...
@overload
def add_multi_constructor(
    tag_prefix: str | None, multi_constructor: Callable[[_C, str, Node], Any], Loader: type[_C]
) -> None: ...
@overload
def add_representer(
    data_type: type[_T] | None, representer: Callable[[Dumper, _T], Node], Dumper: type[Dumper] = ...
) -> None: ...
@overload
def add_representer(data_type: type[_T] | None, representer: Callable[[_R, _T], Node], Dumper: type[_R]) -> None: ...
@overload
def add_multi_representer(
    data_type: type[_T] | None, multi_representer: Callable[[Dumper, _T], Node], Dumper: type[Dumper] = ...
) -> None: ...
@overload
def add_multi_representer(
    data_type: type[_T] | None, multi_representer: Callable[[_R, _T], Node], Dumper: type[_R]
) -> None: ...

# Kept for old callers: always an empty dict.
def warnings(settings: Any = None) -> dict[Any, Any]: ...

class YAMLObjectMetaclass(type):
    def __init__(cls, name: str, bases: tuple[type, ...], kwds: dict[str, Any]) -> None: ...

class YAMLObject(metaclass=YAMLObjectMetaclass):
    # a loader class or a list of them; by default Loader, FullLoader and
    # UnsafeLoader
    yaml_loader: ClassVar[type[BaseConstructor] | list[type[BaseConstructor]] | tuple[type[BaseConstructor], ...]]
    yaml_dumper: ClassVar[type[BaseRepresenter]]
    yaml_tag: ClassVar[str | None]
    yaml_flow_style: ClassVar[bool | None]
    # Subclasses override these with the loader and dumper classes they
    # register on; the stock ones build and write the instance's attributes.
    @classmethod
    def from_yaml(cls, loader: Any, node: Node) -> Any: ...
    @classmethod
    def to_yaml(cls, dumper: Any, data: Any) -> Node: ...
