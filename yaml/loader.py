"""Loader: the libyaml parser combined with the resolver."""

from ._yaml import CParser
from .resolver import Resolver


class Loader(CParser, Resolver):
    """Parses `stream` (str, bytes or an object with read())."""

    def __init__(self, stream):
        CParser.__init__(self, stream)
