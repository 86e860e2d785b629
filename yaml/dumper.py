"""Dumpers: a representer and a resolver over the native emitter, composed
as programs compose their own."""

from ._yaml import CEmitter
from .emitter import Emitter, native_output, native_width, record_settings
from .representer import BaseRepresenter, Representer, SafeRepresenter
from .resolver import BaseResolver, Resolver
from .serializer import Serializer

__all__ = ["BaseDumper", "SafeDumper", "Dumper"]


def set_up(dumper, representer, resolver, stream, default_style,
           default_flow_style, canonical, indent, width, allow_unicode,
           line_break, encoding, explicit_start, explicit_end, version, tags,
           sort_keys):
    """What every dumper's __init__ does: the emitter with its options
    (through Emitter and Serializer, or straight on the native emitter for
    the C-named dumpers), then the representer and the resolver."""
    if isinstance(dumper, Emitter):
        Emitter.__init__(dumper, stream, canonical=canonical, indent=indent,
                         width=width, allow_unicode=allow_unicode,
                         line_break=line_break)
    else:
        output, native_encoding = native_output(stream, encoding)
        CEmitter.__init__(dumper, output, canonical=canonical, indent=indent,
                          width=native_width(width), allow_unicode=allow_unicode,
                          line_break=line_break, encoding=native_encoding,
                          explicit_start=explicit_start,
                          explicit_end=explicit_end, version=version,
                          tags=tags)
        dumper.stream = stream
        record_settings(dumper, canonical, indent, width, allow_unicode,
                        line_break)
    # Without Emitter this only records the document options.
    Serializer.__init__(dumper, encoding=encoding,
                        explicit_start=explicit_start,
                        explicit_end=explicit_end, version=version, tags=tags)
    representer.__init__(dumper, default_style=default_style,
                         default_flow_style=default_flow_style,
                         sort_keys=sort_keys)
    resolver.__init__(dumper)


class BaseDumper(Emitter, Serializer, BaseRepresenter, BaseResolver):
    """str, list, tuple and dict with their default tags, every scalar
    plain where it can be."""

    def __init__(self, stream, default_style=None, default_flow_style=False,
                 canonical=None, indent=None, width=None, allow_unicode=None,
                 line_break=None, encoding=None, explicit_start=None,
                 explicit_end=None, version=None, tags=None, sort_keys=True):
        set_up(self, BaseRepresenter, BaseResolver, stream, default_style,
                default_flow_style, canonical, indent, width, allow_unicode,
                line_break, encoding, explicit_start, explicit_end, version,
                tags, sort_keys)


class SafeDumper(Emitter, Serializer, SafeRepresenter, Resolver):
    """The standard YAML 1.1 types; anything else is refused."""

    def __init__(self, stream, default_style=None, default_flow_style=False,
                 canonical=None, indent=None, width=None, allow_unicode=None,
                 line_break=None, encoding=None, explicit_start=None,
                 explicit_end=None, version=None, tags=None, sort_keys=True):
        set_up(self, SafeRepresenter, Resolver, stream, default_style,
                default_flow_style, canonical, indent, width, allow_unicode,
                line_break, encoding, explicit_start, explicit_end, version,
                tags, sort_keys)


class Dumper(Emitter, Serializer, Representer, Resolver):
    """Also Python's own types and any object, with `python/` tags."""

    def __init__(self, stream, default_style=None, default_flow_style=False,
                 canonical=None, indent=None, width=None, allow_unicode=None,
                 line_break=None, encoding=None, explicit_start=None,
                 explicit_end=None, version=None, tags=None, sort_keys=True):
        set_up(self, Representer, Resolver, stream, default_style,
                default_flow_style, canonical, indent, width, allow_unicode,
                line_break, encoding, explicit_start, explicit_end, version,
                tags, sort_keys)
