from typing import Any, TypeAlias

from _typeshed import SupportsRead

from yaml._yaml import CParser
from yaml.error import YAMLError

__all__ = ["Reader", "ReaderError"]

# What a loader reads: text, bytes (UTF-8 or UTF-16 with a byte order mark),
# or a file object whose read(size) returns either.
_ReadStream: TypeAlias = str | bytes | SupportsRead[str] | SupportsRead[bytes]

class ReaderError(YAMLError):
    name: Any
    position: int
    # the offending byte or code point, -1 when unknown
    character: int
    encoding: str
    reason: str
    def __init__(self, name: Any, position: int, character: int, encoding: str, reason: str) -> None: ...

class Reader(CParser):
    # the input's name as marks show it
    name: Any
    # the file object read from; None for str and bytes input
    stream: SupportsRead[str] | SupportsRead[bytes] | None
    def __init__(self, stream: _ReadStream) -> None: ...
