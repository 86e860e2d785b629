"""Loaders: a reader, scanner, parser and composer (all on the native
parser), a constructor and a resolver, composed as programs compose their
own."""

from .composer import Composer
from .constructor import (BaseConstructor, FullConstructor, SafeConstructor,
                          UnsafeConstructor, Constructor)
from .parser import Parser
from .reader import Reader
from .resolver import BaseResolver, Resolver
from .scanner import Scanner

__all__ = ["BaseLoader", "FullLoader", "SafeLoader", "Loader", "UnsafeLoader"]


def _set_up(loader, stream, constructor, resolver):
    Reader.__init__(loader, stream)
    Scanner.__init__(loader)
    Parser.__init__(loader)
    Composer.__init__(loader)
    constructor.__init__(loader)
    resolver.__init__(loader)


class BaseLoader(Reader, Scanner, Parser, Composer, BaseConstructor,
                 BaseResolver):
    """Structure only: every scalar a str, sequences lists, mappings dicts."""

    def __init__(self, stream):
        _set_up(self, stream, BaseConstructor, BaseResolver)


class FullLoader(Reader, Scanner, Parser, Composer, FullConstructor,
                 Resolver):
    """The YAML 1.1 types and Python's builtin values (`!!python/tuple`,
    ...); imports nothing and calls nothing a document names."""

    def __init__(self, stream):
        _set_up(self, stream, FullConstructor, Resolver)


class SafeLoader(Reader, Scanner, Parser, Composer, SafeConstructor,
                 Resolver):
    """The YAML 1.1 types, and only those: for input from anywhere."""

    def __init__(self, stream):
        _set_up(self, stream, SafeConstructor, Resolver)


class Loader(Reader, Scanner, Parser, Composer, Constructor, Resolver):
    """Everything `Dumper` writes, Python objects included: imports modules
    and calls what a document names. Only for trusted input."""

    def __init__(self, stream):
        _set_up(self, stream, Constructor, Resolver)


class UnsafeLoader(Reader, Scanner, Parser, Composer, UnsafeConstructor,
                   Resolver):
    """The same as `Loader` (a class of its own): only for trusted input."""

    def __init__(self, stream):
        _set_up(self, stream, UnsafeConstructor, Resolver)
