"""YAML processing over libyaml."""

__version__ = "0.1.0"

# The extension copies its host classes from these submodules while it
# initialises, so they must be package attributes before _yaml is imported.
from . import (error, reader, scanner, parser, composer, constructor,
               emitter, serializer, representer, tokens, events, nodes)
from . import resolver

from . import _yaml
from ._yaml import Mark, CParser, CEmitter, get_version, get_version_string

from . import loader, dumper
from .loader import Loader
from .dumper import Dumper
