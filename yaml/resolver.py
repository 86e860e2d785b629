"""Tag resolution, called back by the parser and the emitter.

The native module calls these methods on the loader or dumper instance:
`descend_resolver(parent, index)` and `ascend_resolver()` bracket every
node that is not an alias, and `resolve(kind, value, implicit)` names the
tag of a node the document leaves untagged (or, when dumping, says whether
a node's tag may stay implicit).

`BaseResolver` gives every node the default tag of its kind, or what a path
resolver says; `Resolver` adds the YAML 1.1 implicit types of plain
scalars. The tables are class attributes that programs read and change
directly; they are read afresh at every call, so any change counts at once.
"""

import re

from .error import YAMLError
from .nodes import MappingNode, ScalarNode, SequenceNode

__all__ = ["BaseResolver", "Resolver"]

_TAG = "tag:yaml.org,2002:"


class ResolverError(YAMLError):
    """A path resolver that cannot be registered."""


class BaseResolver:
    """Default tags by node kind, plus the implicit and path resolvers
    registered on the class."""

    DEFAULT_SCALAR_TAG = _TAG + "str"
    DEFAULT_SEQUENCE_TAG = _TAG + "seq"
    DEFAULT_MAPPING_TAG = _TAG + "map"

    # first character of the value ("" for the empty value, None for any)
    # -> list of (tag, compiled regexp), tried in the order they were added
    yaml_implicit_resolvers = {}
    # (path, kind) -> tag
    yaml_path_resolvers = {}

    def __init__(self):
        self.resolver_exact_paths = []
        self.resolver_prefix_paths = []

    @classmethod
    def add_implicit_resolver(cls, tag, regexp, first):
        """Plain scalars that `regexp` matches resolve to `tag`.

        `first` lists the characters such a value can begin with (a str or
        any iterable of one-character strs, "" standing for the empty
        value); None means every value is tried. The table is copied into
        `cls` first, so base and sibling classes are unaffected.
        """
        if "yaml_implicit_resolvers" not in cls.__dict__:
            cls.yaml_implicit_resolvers = {
                key: list(rows)
                for key, rows in cls.yaml_implicit_resolvers.items()}
        if isinstance(regexp, str):
            regexp = re.compile(regexp)
        if first is None:
            keys = [None]
        elif first == "":
            keys = [""]
        else:
            keys = list(first)
        for key in keys:
            cls.yaml_implicit_resolvers.setdefault(key, []).append(
                (tag, regexp))

    @classmethod
    def add_path_resolver(cls, tag, path, kind=None):
        """Nodes at `path` (of kind `kind`, or any) resolve to `tag`.

        Each path element is an index check (a key's text, a sequence
        position, True for any sequence item, None or False for any mapping
        value) or a pair (node check, index check), the node check being a
        tag, a node class, or str, list or dict for the three kinds.
        """
        if "yaml_path_resolvers" not in cls.__dict__:
            cls.yaml_path_resolvers = dict(cls.yaml_path_resolvers)
        new_path = []
        for element in path:
            if isinstance(element, (list, tuple)):
                if len(element) == 2:
                    node_check, index_check = element
                elif len(element) == 1:
                    node_check, index_check = element[0], True
                else:
                    raise ResolverError("Invalid path element: %s" % (element,))
            else:
                node_check, index_check = None, element
            node_check = _KINDS.get(node_check, node_check)
            if (node_check not in _NODE_CLASSES and node_check is not None
                    and not isinstance(node_check, str)):
                raise ResolverError("Invalid node checker: %s" % (node_check,))
            if (index_check is not None
                    and not isinstance(index_check, (str, int))):
                raise ResolverError("Invalid index checker: %s"
                                    % (index_check,))
            new_path.append((node_check, index_check))
        kind = _KINDS.get(kind, kind)
        if kind not in _NODE_CLASSES and kind is not None:
            raise ResolverError("Invalid node kind: %s" % (kind,))
        cls.yaml_path_resolvers[tuple(new_path), kind] = tag

    def descend_resolver(self, current_node, current_index):
        """Enter a node below `current_node` (None for a document's root)."""
        if not self.yaml_path_resolvers:
            return
        exact_paths = {}
        prefix_paths = []
        if current_node:
            depth = len(self.resolver_prefix_paths)
            for path, kind in self.resolver_prefix_paths[-1]:
                if self.check_resolver_prefix(depth, path, kind, current_node,
                                              current_index):
                    if len(path) > depth:
                        prefix_paths.append((path, kind))
                    else:
                        exact_paths[kind] = self.yaml_path_resolvers[path, kind]
        else:
            for path, kind in self.yaml_path_resolvers:
                if not path:
                    exact_paths[kind] = self.yaml_path_resolvers[path, kind]
                else:
                    prefix_paths.append((path, kind))
        self.resolver_exact_paths.append(exact_paths)
        self.resolver_prefix_paths.append(prefix_paths)

    def ascend_resolver(self):
        """Leave the node entered last."""
        if not self.yaml_path_resolvers:
            return
        self.resolver_exact_paths.pop()
        self.resolver_prefix_paths.pop()

    def check_resolver_prefix(self, depth, path, kind, current_node,
                              current_index):
        """Whether the node entered at `depth` continues `path`."""
        node_check, index_check = path[depth - 1]
        if isinstance(node_check, str):
            if current_node.tag != node_check:
                return False
        elif node_check is not None:
            if not isinstance(current_node, node_check):
                return False
        if index_check is True and current_index is not None:
            return False
        if (index_check is False or index_check is None) \
                and current_index is None:
            return False
        if isinstance(index_check, str):
            if not (isinstance(current_index, ScalarNode)
                    and index_check == current_index.value):
                return False
        elif isinstance(index_check, int) and not isinstance(index_check,
                                                             bool):
            if index_check != current_index:
                return False
        return True

    def resolve(self, kind, value, implicit):
        """The tag for a node of class `kind` (compared by identity).

        For a scalar `implicit` is the pair (plain, quoted): the implicit
        resolvers apply to a plain scalar only.
        """
        if kind is ScalarNode and implicit[0] and isinstance(value, str):
            table = self.yaml_implicit_resolvers
            rows = table.get(value[0] if value else "")
            if rows:
                for tag, regexp in rows:
                    if regexp.match(value):
                        return tag
            rows = table.get(None)
            if rows:
                for tag, regexp in rows:
                    if regexp.match(value):
                        return tag
        if self.yaml_path_resolvers and self.resolver_exact_paths:
            exact_paths = self.resolver_exact_paths[-1]
            if kind in exact_paths:
                return exact_paths[kind]
            if None in exact_paths:
                return exact_paths[None]
        if kind is ScalarNode:
            return self.DEFAULT_SCALAR_TAG
        if kind is SequenceNode:
            return self.DEFAULT_SEQUENCE_TAG
        if kind is MappingNode:
            return self.DEFAULT_MAPPING_TAG
        raise TypeError("unknown node kind: %r" % (kind,))


_NODE_CLASSES = (ScalarNode, SequenceNode, MappingNode)
_KINDS = {str: ScalarNode, list: SequenceNode, dict: MappingNode}


# The YAML 1.1 implicit types (yaml.org/type), in the order they are tried:
# tag suffix, the pattern a whole plain value must match, and the characters
# such a value can start with ("" standing for the empty value). They are
# the stock table: built here, once, and nowhere else.
IMPLICIT_TYPES = (
    ("bool",
     r"""^(?:yes|Yes|YES|no|No|NO
        |true|True|TRUE|false|False|FALSE
        |on|On|ON|off|Off|OFF)$""",
     "yYnNtTfFoO"),
    ("float",
     r"""^(?:[-+]?[0-9][0-9_]*\.[0-9_]*(?:[eE][-+][0-9]+)?
        |\.[0-9_]+(?:[eE][-+][0-9]+)?
        |[-+]?[0-9][0-9_]*(?::[0-5]?[0-9])+\.[0-9_]*
        |[-+]?\.(?:inf|Inf|INF)
        |\.(?:nan|NaN|NAN))$""",
     "-+0123456789."),
    ("int",
     r"""^(?:[-+]?0b[0-1_]+
        |[-+]?0[0-7_]+
        |[-+]?(?:0|[1-9][0-9_]*)
        |[-+]?0x[0-9a-fA-F_]+
        |[-+]?[1-9][0-9_]*(?::[0-5]?[0-9])+)$""",
     "-+0123456789"),
    ("merge", r"^(?:<<)$", "<"),
    ("null", r"""^(?:~|null|Null|NULL|)$""", ["~", "n", "N", ""]),
    ("timestamp",
     r"""^(?:[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]
        |[0-9][0-9][0-9][0-9]-[0-9][0-9]?-[0-9][0-9]?
         (?:[Tt]|[ \t]+)[0-9][0-9]?:[0-9][0-9]:[0-9][0-9](?:\.[0-9]*)?
         (?:[ \t]*(?:Z|[-+][0-9][0-9]?(?::[0-9][0-9])?))?)$""",
     "0123456789"),
    ("value", r"^(?:=)$", "="),
)

# Compiled by type name (also used by the constructor's checks).
IMPLICIT_PATTERNS = {name: re.compile(pattern, re.X)
                     for name, pattern, first in IMPLICIT_TYPES}


class Resolver(BaseResolver):
    """YAML 1.1 implicit typing of plain scalars."""


for _name, _pattern, _first in IMPLICIT_TYPES:
    Resolver.add_implicit_resolver(_TAG + _name, IMPLICIT_PATTERNS[_name],
                                   _first)
del _name, _pattern, _first
