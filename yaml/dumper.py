"""Dumpers: the libyaml emitter combined with a representer and a resolver."""

from ._yaml import CEmitter
from .representer import BaseRepresenter, SafeRepresenter
from .resolver import BaseResolver, Resolver


def _dumper_init(self, representer, stream, canonical, indent, width,
                 allow_unicode, line_break, encoding, explicit_start,
                 explicit_end, version, tags, default_style,
                 default_flow_style, sort_keys):
    CEmitter.__init__(self, stream, canonical, indent, width, allow_unicode,
                      line_break, encoding, explicit_start, explicit_end,
                      version, tags)
    representer.__init__(self, default_style=default_style,
                         default_flow_style=default_flow_style,
                         sort_keys=sort_keys)


class BaseDumper(CEmitter, BaseRepresenter, BaseResolver):
    """Writes str, list, tuple and dict with default tags to `stream`.

    Positional options are those of CEmitter, in the same order; the
    representer's options are keywords.
    """

    def __init__(self, stream, canonical=None, indent=None, width=None,
                 allow_unicode=None, line_break=None, encoding=None,
                 explicit_start=None, explicit_end=None, version=None,
                 tags=None, *, default_style=None, default_flow_style=False,
                 sort_keys=True):
        _dumper_init(self, BaseRepresenter, stream, canonical, indent, width,
                     allow_unicode, line_break, encoding, explicit_start,
                     explicit_end, version, tags, default_style,
                     default_flow_style, sort_keys)


class Dumper(CEmitter, SafeRepresenter, Resolver):
    """Writes the standard YAML 1.1 types to `stream` (an object with
    write()).

    Positional options are those of CEmitter, in the same order; the
    representer's options are keywords.
    """

    def __init__(self, stream, canonical=None, indent=None, width=None,
                 allow_unicode=None, line_break=None, encoding=None,
                 explicit_start=None, explicit_end=None, version=None,
                 tags=None, *, default_style=None, default_flow_style=False,
                 sort_keys=True):
        _dumper_init(self, SafeRepresenter, stream, canonical, indent, width,
                     allow_unicode, line_break, encoding, explicit_start,
                     explicit_end, version, tags, default_style,
                     default_flow_style, sort_keys)


SafeDumper = Dumper
