from typing import Any, TypeAlias

from yaml._yaml import Mark as _NativeMark

__all__ = ["Mark", "YAMLError", "MarkedYAMLError"]

class Mark:
    # Positions count from 0; buffer and pointer are None when the input's
    # text is not at hand (then get_snippet gives None).
    name: Any
    index: int
    line: int
    column: int
    buffer: str | None
    pointer: int | None
    def __init__(
        self, name: Any, index: int, line: int, column: int, buffer: str | None, pointer: int | None
    ) -> None: ...
    def get_snippet(self, indent: int = 4, max_length: int = 75) -> str | None: ...

# A position as errors, tokens, events and nodes carry it: the native
# module's own record, or one of the package's with the input text.
_AnyMark: TypeAlias = Mark | _NativeMark

class YAMLError(Exception): ...

class MarkedYAMLError(YAMLError):
    context: str | None
    context_mark: _AnyMark | None
    problem: str | None
    problem_mark: _AnyMark | None
    note: str | None
    def __init__(
        self,
        context: str | None = None,
        context_mark: _AnyMark | None = None,
        problem: str | None = None,
        problem_mark: _AnyMark | None = None,
        note: str | None = None,
    ) -> None: ...
