"""Dumper: the libyaml emitter combined with the resolver."""

from ._yaml import CEmitter
from .resolver import Resolver


class Dumper(CEmitter, Resolver):
    """Writes YAML to `stream` (an object with write()).

    Options are those of CEmitter, in the same order.
    """

    def __init__(self, stream, canonical=None, indent=None, width=None,
                 allow_unicode=None, line_break=None, encoding=None,
                 explicit_start=None, explicit_end=None, version=None,
                 tags=None):
        CEmitter.__init__(self, stream, canonical, indent, width,
                          allow_unicode, line_break, encoding,
                          explicit_start, explicit_end, version, tags)
