"""YAML processing over libyaml.

Loading goes parse -> compose -> construct; dumping goes represent ->
serialize -> present. The functions below run those stages for a whole
stream; `Loader` and `Dumper` (safe: only the standard YAML 1.1 types) are
the classes they use unless given others.
"""

__version__ = "0.1.0"

# The extension copies its host classes from these submodules while it
# initialises, so they must be package attributes before _yaml is imported.
from . import (error, reader, scanner, parser, composer, constructor,
               emitter, serializer, representer, tokens, events, nodes)
from . import resolver

from . import _yaml
from ._yaml import Mark, CParser, CEmitter, get_version, get_version_string

from . import loader, dumper
from .error import YAMLError, MarkedYAMLError
from .constructor import BaseConstructor, SafeConstructor, ConstructorError
from .representer import BaseRepresenter, SafeRepresenter, RepresenterError
from .resolver import BaseResolver, Resolver
from .loader import BaseLoader, Loader, SafeLoader
from .dumper import BaseDumper, Dumper, SafeDumper

import gc as _gc
import io as _io


class _CollectorPaused:
    """Holds the cyclic garbage collector off while one document is
    composed and built, or represented and written.

    Such a document allocates a node, two marks and the final object per
    value, all of them alive until the document is done, so every
    collection the allocations trigger walks a growing heap and frees
    nothing: on large documents that was more than half of the time.
    The collector is switched back on at once when the document is done,
    also after an error, and only if it was on before; user code run
    between documents (a generator feeding dump_all, the caller of
    load_all) always sees it as the caller left it.

    The pause is process-wide, so it is taken only when the work is bound
    by the processor: input already in memory (str or bytes) and output
    returned as text. A file object's read or write may block for as long
    as its other end likes, and other threads would go without collections
    all that time.
    """

    __slots__ = ("active", "paused")

    def __init__(self, active=True):
        self.active = active

    def __enter__(self):
        self.paused = self.active and _gc.isenabled()
        if self.paused:
            _gc.disable()
        return self

    def __exit__(self, *exc_info):
        if self.paused:
            _gc.enable()
        return False


def _loader(stream, Loader):
    return (Loader if Loader is not None else loader.Loader)(stream)


def _in_memory(stream):
    return isinstance(stream, (str, bytes))


def scan(stream, Loader=None):
    """The tokens of a YAML stream."""
    instance = _loader(stream, Loader)
    try:
        while instance.check_token():
            yield instance.get_token()
    finally:
        instance.dispose()


def parse(stream, Loader=None):
    """The events of a YAML stream."""
    instance = _loader(stream, Loader)
    try:
        while instance.check_event():
            yield instance.get_event()
    finally:
        instance.dispose()


def compose(stream, Loader=None):
    """The node graph of the stream's only document, or None."""
    instance = _loader(stream, Loader)
    try:
        with _CollectorPaused(_in_memory(stream)):
            return instance.get_single_node()
    finally:
        instance.dispose()


def compose_all(stream, Loader=None):
    """The node graph of each document in turn."""
    instance = _loader(stream, Loader)
    pause = _in_memory(stream)
    try:
        while instance.check_node():
            with _CollectorPaused(pause):
                node = instance.get_node()
            yield node
    finally:
        instance.dispose()


def load(stream, Loader=None):
    """The data of the stream's only document, or None for an empty stream.

    `stream` is a str, bytes, or a text or binary file.
    """
    instance = _loader(stream, Loader)
    try:
        with _CollectorPaused(_in_memory(stream)):
            return instance.get_single_data()
    finally:
        instance.dispose()


def load_all(stream, Loader=None):
    """The data of each document in turn."""
    instance = _loader(stream, Loader)
    pause = _in_memory(stream)
    try:
        while instance.check_data():
            with _CollectorPaused(pause):
                data = instance.get_data()
            yield data
    finally:
        instance.dispose()


def _output(stream, encoding):
    """The stream to write to, and whether to return its text."""
    if stream is not None:
        return stream, False
    return (_io.StringIO() if encoding is None else _io.BytesIO()), True


def emit(events, stream=None, Dumper=None, canonical=None, indent=None,
         width=None, allow_unicode=None, line_break=None, encoding=None,
         explicit_start=None, explicit_end=None, version=None, tags=None):
    """Writes event objects as YAML text; returns the text when `stream`
    is None (bytes when `encoding` is given).

    A stream-start event without an encoding of its own (as parsing gives)
    takes `encoding`, so the bytes asked for are what gets written.
    """
    stream, give_back = _output(stream, encoding)
    if encoding is not None:
        events = _with_encoding(events, encoding)
    instance = (Dumper if Dumper is not None else dumper.Dumper)(
        stream, canonical, indent, width, allow_unicode, line_break,
        encoding, explicit_start, explicit_end, version, tags)
    try:
        for event in events:
            instance.emit(event)
    finally:
        instance.dispose()
    return stream.getvalue() if give_back else None


def _with_encoding(event_objects, encoding):
    for event in event_objects:
        if type(event) is events.StreamStartEvent and event.encoding is None:
            event = events.StreamStartEvent(event.start_mark, event.end_mark,
                                            encoding)
        yield event


def serialize_all(nodes, stream=None, Dumper=None, canonical=None,
                  indent=None, width=None, allow_unicode=None,
                  line_break=None, encoding=None, explicit_start=None,
                  explicit_end=None, version=None, tags=None):
    """Writes node graphs as YAML documents; returns the text when `stream`
    is None (bytes when `encoding` is given)."""
    stream, give_back = _output(stream, encoding)
    instance = (Dumper if Dumper is not None else dumper.Dumper)(
        stream, canonical, indent, width, allow_unicode, line_break,
        encoding, explicit_start, explicit_end, version, tags)
    try:
        instance.open()
        for node in nodes:
            instance.serialize(node)
        instance.close()
    finally:
        instance.dispose()
    return stream.getvalue() if give_back else None


def serialize(node, stream=None, Dumper=None, **kwds):
    """Writes one node graph as a YAML document."""
    return serialize_all([node], stream, Dumper=Dumper, **kwds)


def dump_all(documents, stream=None, Dumper=None, default_style=None,
             default_flow_style=False, canonical=None, indent=None,
             width=None, allow_unicode=None, line_break=None, encoding=None,
             explicit_start=None, explicit_end=None, version=None, tags=None,
             sort_keys=True):
    """Writes Python data as YAML documents; returns the text when `stream`
    is None (bytes when `encoding` is given)."""
    stream, give_back = _output(stream, encoding)
    instance = (Dumper if Dumper is not None else dumper.Dumper)(
        stream, canonical, indent, width, allow_unicode, line_break,
        encoding, explicit_start, explicit_end, version, tags,
        default_style=default_style, default_flow_style=default_flow_style,
        sort_keys=sort_keys)
    try:
        instance.open()
        for data in documents:
            with _CollectorPaused(give_back):
                instance.represent(data)
        instance.close()
    finally:
        instance.dispose()
    return stream.getvalue() if give_back else None


def dump(data, stream=None, Dumper=None, **kwds):
    """Writes Python data as one YAML document."""
    return dump_all([data], stream, Dumper=Dumper, **kwds)


def add_implicit_resolver(tag, regexp, first, Loader=None, Dumper=None):
    """Plain scalars matching `regexp` resolve to `tag`; on `Loader` and
    `Dumper`, or on both default classes when neither is given."""
    if Loader is None and Dumper is None:
        loader.Loader.add_implicit_resolver(tag, regexp, first)
        dumper.Dumper.add_implicit_resolver(tag, regexp, first)
        return
    if Loader is not None:
        Loader.add_implicit_resolver(tag, regexp, first)
    if Dumper is not None:
        Dumper.add_implicit_resolver(tag, regexp, first)


def add_constructor(tag, constructor, Loader=None):
    """constructor(loader, node) builds objects for `tag` on `Loader`
    (default: the default Loader) and its subclasses only."""
    (Loader if Loader is not None else loader.Loader).add_constructor(
        tag, constructor)


def add_multi_constructor(tag_prefix, multi_constructor, Loader=None):
    """multi_constructor(loader, tag_suffix, node) builds objects for every
    tag that starts with `tag_prefix`."""
    (Loader if Loader is not None else loader.Loader).add_multi_constructor(
        tag_prefix, multi_constructor)


def add_representer(data_type, representer, Dumper=None):
    """representer(dumper, data) makes the node for objects of exactly
    `data_type`, on `Dumper` (default: the default Dumper)."""
    (Dumper if Dumper is not None else dumper.Dumper).add_representer(
        data_type, representer)


def add_multi_representer(data_type, multi_representer, Dumper=None):
    """multi_representer(dumper, data) makes the node for instances of
    `data_type` and its subclasses."""
    (Dumper if Dumper is not None else dumper.Dumper).add_multi_representer(
        data_type, multi_representer)
