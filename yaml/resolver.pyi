import re
from collections.abc import Iterable
from typing import Any, ClassVar

from yaml.error import YAMLError
from yaml.nodes import Node

__all__ = ["BaseResolver", "Resolver"]

class ResolverError(YAMLError): ...

class BaseResolver:
    DEFAULT_SCALAR_TAG: ClassVar[str]
    DEFAULT_SEQUENCE_TAG: ClassVar[str]
    DEFAULT_MAPPING_TAG: ClassVar[str]
    # first character of the value ("" for the empty value, None for any)
    # -> (tag, compiled regexp) in the order they were added
    yaml_implicit_resolvers: ClassVar[dict[str | None, list[tuple[str, re.Pattern[str]]]]]
    # (path, node kind or None) -> tag
    yaml_path_resolvers: ClassVar[dict[tuple[tuple[tuple[Any, Any], ...], type[Node] | None], str]]
    def __init__(self) -> None: ...
    # `first`: the characters a matching value can begin with; None for any.
    @classmethod
    def add_implicit_resolver(cls, tag: str, regexp: re.Pattern[str] | str, first: Iterable[str] | None) -> None: ...
    # Each path element is an index check (a key's text, a sequence index,
    # True for any item, None or False for any mapping value) or a pair
    # (node check, index check); kind a node class or str, list or dict.
    @classmethod
    def add_path_resolver(cls, tag: str, path: Iterable[Any], kind: type[Any] | None = None) -> None: ...
    def descend_resolver(self, current_node: Node | None, current_index: Any) -> None: ...
    def ascend_resolver(self) -> None: ...
    def check_resolver_prefix(
        self, depth: int, path: tuple[tuple[Any, Any], ...], kind: type[Node] | None, current_node: Node,
        current_index: Any,
    ) -> bool: ...
    # kind is the node class; for a scalar `implicit` is (plain, quoted).
    def resolve(self, kind: type[Node], value: Any, implicit: Any) -> str: ...

class Resolver(BaseResolver): ...
