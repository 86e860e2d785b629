"""Loaders: the libyaml parser combined with a constructor and a resolver."""

from ._yaml import CParser
from .constructor import BaseConstructor, SafeConstructor
from .resolver import BaseResolver, Resolver


class BaseLoader(CParser, BaseConstructor, BaseResolver):
    """Structure only: every scalar a str, sequences lists, mappings dicts.

    Parses `stream` (str, bytes or an object with read()).
    """

    def __init__(self, stream):
        CParser.__init__(self, stream)
        BaseConstructor.__init__(self)


class Loader(CParser, SafeConstructor, Resolver):
    """The standard YAML 1.1 types, and only those (plus what a program
    registers on it or on a subclass).

    Parses `stream` (str, bytes or an object with read()).
    """

    def __init__(self, stream):
        CParser.__init__(self, stream)
        SafeConstructor.__init__(self)


SafeLoader = Loader
