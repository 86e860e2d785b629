"""Tag resolution called back by the parser and the emitter.

The extension calls these methods on the Loader or Dumper instance:
descend_resolver/ascend_resolver bracket every non-alias node, and
resolve(kind, value, implicit) names the tag an untagged node gets.

`BaseResolver` gives every node the default tag of its kind; `Resolver`
adds the YAML 1.1 implicit types of plain scalars from one table below.
"""

import re

from .nodes import MappingNode, ScalarNode, SequenceNode

_TAG = "tag:yaml.org,2002:"


class BaseResolver:
    """Gives every node the default tag of its kind, unless a plain scalar
    matches one of the class's implicit resolvers."""

    DEFAULT_SCALAR_TAG = _TAG + "str"
    DEFAULT_SEQUENCE_TAG = _TAG + "seq"
    DEFAULT_MAPPING_TAG = _TAG + "map"

    # first character of the value ("" for the empty value, None for any)
    # -> list of (tag, compiled regexp), tried in the order they were added
    yaml_implicit_resolvers = {}

    @classmethod
    def add_implicit_resolver(cls, tag, regexp, first):
        """Plain scalars that fully match `regexp` resolve to `tag`.

        `first` lists the characters such a value can begin with (a str or
        any iterable of one-character strs; "" stands for the empty value);
        None means any value is tried. The table is copied into `cls` first,
        so base classes and sibling classes are unaffected.
        """
        if "yaml_implicit_resolvers" not in cls.__dict__:
            cls.yaml_implicit_resolvers = {
                k: list(v) for k, v in cls.yaml_implicit_resolvers.items()}
        if isinstance(regexp, str):
            regexp = re.compile(regexp)
        if first is None:
            keys = [None]
        elif first == "":
            keys = [""]
        else:
            keys = list(first)
        for key in keys:
            cls.yaml_implicit_resolvers.setdefault(key, []).append((tag, regexp))
        # Every class sharing a table must see the new row: drop them all.
        _CANDIDATES.clear()

    def descend_resolver(self, current_node, current_index):
        """Enter a node below current_node; nothing to track."""
        return None

    def ascend_resolver(self):
        """Leave the node entered last; nothing to track."""
        return None

    def resolve(self, kind, value, implicit):
        """Return the tag for a node of class `kind` (compared by identity).

        For a scalar, `implicit` is the pair (plain, quoted): only a plain
        scalar is matched against the implicit resolvers.
        """
        if kind is ScalarNode:
            if implicit[0] and isinstance(value, str):
                table = self.yaml_implicit_resolvers
                entry = _CANDIDATES.get(id(table))
                if entry is None or entry[0] is not table:
                    entry = _candidates(table)
                candidates = entry[1].get(value[:1], entry[2])
                if candidates:
                    known = entry[3]
                    tag = known.get(value)
                    if tag is None:
                        tag = _NO_MATCH
                        for row_tag, regexp in candidates:
                            if regexp.fullmatch(value):
                                tag = row_tag
                                break
                        if len(known) < _KNOWN_LIMIT and len(value) <= 64:
                            known[value] = tag
                    if tag is not _NO_MATCH:
                        return tag
            return self.DEFAULT_SCALAR_TAG
        if kind is SequenceNode:
            return self.DEFAULT_SEQUENCE_TAG
        if kind is MappingNode:
            return self.DEFAULT_MAPPING_TAG
        raise TypeError("unknown node kind: %r" % (kind,))


# Per table (keyed by id, the table itself kept to tell a reused id apart):
# (table, first character -> rows to try, the rows for any other first
# character, value -> tag or _NO_MATCH already decided). Built from the
# table on first use; add_implicit_resolver clears it all, so a row added
# later is seen by the next value resolved.
_CANDIDATES = {}
_NO_MATCH = object()
_KNOWN_LIMIT = 4096


def _candidates(table):
    anywhere = tuple(table.get(None, ()))
    by_first = {key: tuple(rows) + anywhere
                for key, rows in table.items() if key is not None}
    entry = (table, by_first, anywhere, {})
    _CANDIDATES[id(table)] = entry
    return entry


# The YAML 1.1 implicit types (yaml.org/type). Each row: tag suffix, the
# regular expression a whole plain value must match, the characters such a
# value can start with ("" standing for the empty value). The constructor parses values with the same
# expressions, so what resolves to a type always constructs.
#
# bool leaves out the one-letter forms y/Y/n/N: they are far more often
# plain words (axis names, answers in prose) than booleans, and taking them
# would turn such keys into True and False.
_SIGN = r"[-+]?"
_DIGITS = r"[0-9][0-9_]*"
_EXPONENT = r"[eE][-+]?[0-9]+"
_SEXAGESIMAL = r"(?::[0-5]?[0-9])+"

IMPLICIT_TYPES = (
    ("bool",
     r"yes|Yes|YES|no|No|NO|true|True|TRUE|false|False|FALSE"
     r"|on|On|ON|off|Off|OFF",
     "yYnNtTfFoO"),
    ("int",
     _SIGN + r"(?:0b_*[01][01_]*"              # binary
     r"|0o_*[0-7][0-7_]*"                      # octal, explicit prefix
     r"|0x_*[0-9a-fA-F][0-9a-fA-F_]*"          # hexadecimal
     r"|0_*[0-7][0-7_]*"                       # octal, leading zero
     r"|0"                                     # zero
     r"|[1-9][0-9_]*" + _SEXAGESIMAL +         # base 60
     r"|[1-9][0-9_]*)",                        # decimal
     "-+0123456789"),
    ("float",
     _SIGN + r"(?:" + _DIGITS + r"\.[0-9_]*(?:" + _EXPONENT + r")?"
     r"|\.[0-9][0-9_]*(?:" + _EXPONENT + r")?"
     r"|" + _DIGITS + _EXPONENT +
     r"|[0-9][0-9_]*" + _SEXAGESIMAL + r"\.[0-9_]*"   # base 60
     r"|\.(?:inf|Inf|INF))"
     r"|\.(?:nan|NaN|NAN)",
     "-+.0123456789"),
    ("null", r"~|null|Null|NULL|", ["~", "n", "N", ""]),
    ("timestamp",
     r"[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]"
     r"|[0-9][0-9][0-9][0-9]-[0-9][0-9]?-[0-9][0-9]?"
     r"(?:[Tt]|[ \t]+)[0-9][0-9]?:[0-9][0-9]:[0-9][0-9](?:\.[0-9]*)?"
     r"(?:[ \t]*(?:Z|[-+][0-9][0-9]?(?::[0-9][0-9])?))?",
     "0123456789"),
    ("merge", r"<<", "<"),
    ("value", r"=", "="),
)

# Compiled by type name, for the constructor's checks of tagged values.
IMPLICIT_PATTERNS = {name: re.compile(regexp)
                     for name, regexp, first in IMPLICIT_TYPES}


class Resolver(BaseResolver):
    """YAML 1.1 implicit typing of plain scalars."""


for _name, _regexp, _first in IMPLICIT_TYPES:
    Resolver.add_implicit_resolver(_TAG + _name, IMPLICIT_PATTERNS[_name],
                                   _first)
del _name, _regexp, _first
