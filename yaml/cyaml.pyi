from collections.abc import Mapping
from typing import Any

from _typeshed import SupportsRead

from yaml._yaml import CEmitter as CEmitter, CParser as CParser
from yaml.constructor import BaseConstructor, Constructor, FullConstructor, SafeConstructor, UnsafeConstructor
from yaml.emitter import _WriteStream
from yaml.reader import _ReadStream
from yaml.representer import BaseRepresenter, Representer, SafeRepresenter
from yaml.resolver import BaseResolver, Resolver

__all__ = ["CParser", "CEmitter", "CBaseLoader", "CSafeLoader", "CFullLoader", "CUnsafeLoader", "CLoader",
           "CBaseDumper", "CSafeDumper", "CDumper"]

# These derive from the native classes directly, not from Reader, Emitter
# and Serializer; their __init__ sets the same attributes as those do.

class CBaseLoader(CParser, BaseConstructor, BaseResolver):
    name: Any
    stream: SupportsRead[str] | SupportsRead[bytes] | None
    def __init__(self, stream: _ReadStream) -> None: ...

class CSafeLoader(CParser, SafeConstructor, Resolver):
    name: Any
    stream: SupportsRead[str] | SupportsRead[bytes] | None
    def __init__(self, stream: _ReadStream) -> None: ...

class CFullLoader(CParser, FullConstructor, Resolver):
    name: Any
    stream: SupportsRead[str] | SupportsRead[bytes] | None
    def __init__(self, stream: _ReadStream) -> None: ...

class CUnsafeLoader(CParser, UnsafeConstructor, Resolver):
    name: Any
    stream: SupportsRead[str] | SupportsRead[bytes] | None
    def __init__(self, stream: _ReadStream) -> None: ...

class CLoader(CParser, Constructor, Resolver):
    name: Any
    stream: SupportsRead[str] | SupportsRead[bytes] | None
    def __init__(self, stream: _ReadStream) -> None: ...

class CBaseDumper(CEmitter, BaseRepresenter, BaseResolver):
    stream: _WriteStream
    canonical: bool | None
    allow_unicode: bool | None
    best_indent: int
    best_width: float
    best_line_break: str
    use_encoding: str | None
    use_explicit_start: bool | None
    use_explicit_end: bool | None
    use_version: tuple[int, int] | None
    use_tags: Mapping[str, str] | None
    def __init__(
        self,
        stream: _WriteStream,
        default_style: str | None = None,
        default_flow_style: bool | None = False,
        canonical: bool | None = None,
        indent: int | None = None,
        width: float | None = None,
        allow_unicode: bool | None = None,
        line_break: str | None = None,
        encoding: str | None = None,
        explicit_start: bool | None = None,
        explicit_end: bool | None = None,
        version: tuple[int, int] | None = None,
        tags: Mapping[str, str] | None = None,
        sort_keys: bool = True,
    ) -> None: ...

class CSafeDumper(CEmitter, SafeRepresenter, Resolver):
    stream: _WriteStream
    canonical: bool | None
    allow_unicode: bool | None
    best_indent: int
    best_width: float
    best_line_break: str
    use_encoding: str | None
    use_explicit_start: bool | None
    use_explicit_end: bool | None
    use_version: tuple[int, int] | None
    use_tags: Mapping[str, str] | None
    def __init__(
        self,
        stream: _WriteStream,
        default_style: str | None = None,
        default_flow_style: bool | None = False,
        canonical: bool | None = None,
        indent: int | None = None,
        width: float | None = None,
        allow_unicode: bool | None = None,
        line_break: str | None = None,
        encoding: str | None = None,
        explicit_start: bool | None = None,
        explicit_end: bool | None = None,
        version: tuple[int, int] | None = None,
        tags: Mapping[str, str] | None = None,
        sort_keys: bool = True,
    ) -> None: ...

class CDumper(CEmitter, Representer, Resolver):
    stream: _WriteStream
    canonical: bool | None
    allow_unicode: bool | None
    best_indent: int
    best_width: float
    best_line_break: str
    use_encoding: str | None
    use_explicit_start: bool | None
    use_explicit_end: bool | None
    use_version: tuple[int, int] | None
    use_tags: Mapping[str, str] | None
    def __init__(
        self,
        stream: _WriteStream,
        default_style: str | None = None,
        default_flow_style: bool | None = False,
        canonical: bool | None = None,
        indent: int | None = None,
        width: float | None = None,
        allow_unicode: bool | None = None,
        line_break: str | None = None,
        encoding: str | None = None,
        explicit_start: bool | None = None,
        explicit_end: bool | None = None,
        version: tuple[int, int] | None = None,
        tags: Mapping[str, str] | None = None,
        sort_keys: bool = True,
    ) -> None: ...
