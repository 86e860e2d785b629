"""The loaders and dumpers named after the native classes they start from:
`CParser` and `CEmitter` themselves with a constructor or representer and a
resolver. Each is a class of its own (a registration on `SafeLoader` does
not change `CSafeLoader`) that behaves as its plain-named twin, except that
the tokens and events it hands out are the native module's own."""

from ._yaml import CEmitter, CParser
from .constructor import (BaseConstructor, FullConstructor, SafeConstructor,
                          UnsafeConstructor, Constructor)
from .dumper import set_up
from .reader import exact_input, open_input, set_input
from .representer import BaseRepresenter, Representer, SafeRepresenter
from .resolver import BaseResolver, Resolver

__all__ = ["CParser", "CEmitter", "CBaseLoader", "CSafeLoader", "CFullLoader",
           "CUnsafeLoader", "CLoader", "CBaseDumper", "CSafeDumper",
           "CDumper"]


def _set_up_loader(loader, stream, constructor, resolver):
    stream = exact_input(stream)
    open_input(CParser.__init__, loader, stream)
    set_input(loader, stream)
    constructor.__init__(loader)
    resolver.__init__(loader)


class CBaseLoader(CParser, BaseConstructor, BaseResolver):
    def __init__(self, stream):
        _set_up_loader(self, stream, BaseConstructor, BaseResolver)


class CSafeLoader(CParser, SafeConstructor, Resolver):
    def __init__(self, stream):
        _set_up_loader(self, stream, SafeConstructor, Resolver)


class CFullLoader(CParser, FullConstructor, Resolver):
    def __init__(self, stream):
        _set_up_loader(self, stream, FullConstructor, Resolver)


class CUnsafeLoader(CParser, UnsafeConstructor, Resolver):
    def __init__(self, stream):
        _set_up_loader(self, stream, UnsafeConstructor, Resolver)


class CLoader(CParser, Constructor, Resolver):
    def __init__(self, stream):
        _set_up_loader(self, stream, Constructor, Resolver)


class CBaseDumper(CEmitter, BaseRepresenter, BaseResolver):
    def __init__(self, stream, default_style=None, default_flow_style=False,
                 canonical=None, indent=None, width=None, allow_unicode=None,
                 line_break=None, encoding=None, explicit_start=None,
                 explicit_end=None, version=None, tags=None, sort_keys=True):
        set_up(self, BaseRepresenter, BaseResolver, stream,
               default_style, default_flow_style, canonical, indent,
               width, allow_unicode, line_break, encoding,
               explicit_start, explicit_end, version, tags, sort_keys)


class CSafeDumper(CEmitter, SafeRepresenter, Resolver):
    def __init__(self, stream, default_style=None, default_flow_style=False,
                 canonical=None, indent=None, width=None, allow_unicode=None,
                 line_break=None, encoding=None, explicit_start=None,
                 explicit_end=None, version=None, tags=None, sort_keys=True):
        set_up(self, SafeRepresenter, Resolver, stream,
               default_style, default_flow_style, canonical, indent,
               width, allow_unicode, line_break, encoding,
               explicit_start, explicit_end, version, tags, sort_keys)


class CDumper(CEmitter, Representer, Resolver):
    def __init__(self, stream, default_style=None, default_flow_style=False,
                 canonical=None, indent=None, width=None, allow_unicode=None,
                 line_break=None, encoding=None, explicit_start=None,
                 explicit_end=None, version=None, tags=None, sort_keys=True):
        set_up(self, Representer, Resolver, stream,
               default_style, default_flow_style, canonical, indent,
               width, allow_unicode, line_break, encoding,
               explicit_start, explicit_end, version, tags, sort_keys)
