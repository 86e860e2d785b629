"""YAML for Python over libyaml.

Loading goes parse -> compose -> construct; dumping goes represent ->
serialize -> emit. The functions below run those stages for a whole stream
with the loader or dumper class given (`safe_load` and `safe_dump` with the
safe ones, which build and write only the standard YAML types); programs
compose their own classes from the stage classes the same way the stock
ones are composed.

Which loaders are fit for input from anywhere: `SafeLoader` (the default of
`load`), `BaseLoader` and `FullLoader`, and their C-named twins. `Loader`
and `UnsafeLoader` import modules and call what a document names.
"""

__version__ = "0.1.0"
__with_libyaml__ = True

# The native module copies its host classes from these submodules while it
# initialises, so they must be complete package attributes first; the stage
# classes built on the native types are added to `reader` and `emitter`
# right after it.
from . import (error, reader, scanner, parser, composer, constructor,
               emitter, serializer, representer, tokens, events, nodes)
from . import resolver
from . import _yaml

reader._define(_yaml.CParser)
emitter._define(_yaml.CEmitter)

from . import loader, dumper, cyaml

from .error import *
from .tokens import *
from .events import *
from .nodes import *
from .loader import *
from .dumper import *
from .cyaml import *
# Also at the top, for programs that reach for them there.
from .reader import ReaderError
from .scanner import ScannerError
from .parser import ParserError
from .composer import ComposerError
from .constructor import (BaseConstructor, SafeConstructor, FullConstructor,
                          UnsafeConstructor, Constructor, ConstructorError)
from .emitter import EmitterError
from .serializer import SerializerError
from .representer import (BaseRepresenter, SafeRepresenter, Representer,
                          RepresenterError)
from .resolver import BaseResolver, Resolver
from ._yaml import get_version, get_version_string

import gc as _gc
import io as _io
import threading as _threading

from .error import InputText as _InputText


class _CollectorPaused:
    """Holds the cyclic garbage collector off while one document is
    composed and built, or represented and written.

    Such a document allocates a node, marks and the final object per value,
    all alive until the document is done, so every collection the
    allocations trigger walks a growing heap and frees nothing: on large
    documents that was more than half of the time.

    The collector's switch is process-wide, so the pause is taken only where
    no one else can see it: when this is the only thread the threading
    module knows of (another thread could switch the collector off meanwhile
    and would find it switched on again at the end), and when the work is
    bound by the processor (input already in memory, output returned as
    text: a file object's read or write may block as long as its other end
    likes). It ends when the document is done, also after an error, and only
    if the collector is still off then. Code run between documents (a
    generator feeding dump_all, the caller of load_all) always sees the
    collector as the caller left it.
    """

    __slots__ = ("active", "paused")

    def __init__(self, active):
        self.active = active

    def __enter__(self):
        self.paused = (self.active and _gc.isenabled()
                       and _threading.active_count() == 1)
        if self.paused:
            _gc.disable()
        return self

    def __exit__(self, *exc_info):
        if self.paused and not _gc.isenabled():
            _gc.enable()
        return False


def _in_memory(stream):
    kind = type(stream)
    return kind is str or kind is bytes


def _placed(error, stream):
    """`error` with marks that show the in-memory input `stream`."""
    text = _InputText.of(stream)
    if text is not None:
        text.place(error)
    return error


def scan(stream, Loader=Loader):
    """The tokens of a YAML stream."""
    loader = Loader(stream)
    try:
        while loader.check_token():
            yield loader.get_token()
    except MarkedYAMLError as exc:
        raise _placed(exc, stream)
    finally:
        loader.dispose()


def parse(stream, Loader=Loader):
    """The events of a YAML stream."""
    loader = Loader(stream)
    try:
        while loader.check_event():
            yield loader.get_event()
    except MarkedYAMLError as exc:
        raise _placed(exc, stream)
    finally:
        loader.dispose()


def compose(stream, Loader=Loader):
    """The root node of the stream's only document, or None."""
    loader = Loader(stream)
    try:
        with _CollectorPaused(_in_memory(stream)):
            return loader.get_single_node()
    except MarkedYAMLError as exc:
        raise _placed(exc, stream)
    finally:
        loader.dispose()


def compose_all(stream, Loader=Loader):
    """The root node of each document in turn."""
    loader = Loader(stream)
    pause = _in_memory(stream)
    try:
        while loader.check_node():
            with _CollectorPaused(pause):
                node = loader.get_node()
            yield node
    except MarkedYAMLError as exc:
        raise _placed(exc, stream)
    finally:
        loader.dispose()


def load(stream, Loader=None):
    """The data of the stream's only document, or None for an empty stream.

    `stream` is a str, bytes, or a text or binary file. Without a `Loader`
    this is `safe_load`.
    """
    loader = (SafeLoader if Loader is None else Loader)(stream)
    try:
        with _CollectorPaused(_in_memory(stream)):
            return loader.get_single_data()
    except MarkedYAMLError as exc:
        raise _placed(exc, stream)
    finally:
        loader.dispose()


def load_all(stream, Loader=None):
    """The data of each document in turn (`SafeLoader` unless a `Loader`
    is given)."""
    loader = (SafeLoader if Loader is None else Loader)(stream)
    pause = _in_memory(stream)
    try:
        while loader.check_data():
            with _CollectorPaused(pause):
                data = loader.get_data()
            yield data
    except MarkedYAMLError as exc:
        raise _placed(exc, stream)
    finally:
        loader.dispose()


def full_load(stream):
    """`load` with `FullLoader`: also Python's builtin values."""
    return load(stream, FullLoader)


def full_load_all(stream):
    return load_all(stream, FullLoader)


def safe_load(stream):
    """`load` with `SafeLoader`: the standard YAML types only; for input
    from anywhere."""
    return load(stream, SafeLoader)


def safe_load_all(stream):
    return load_all(stream, SafeLoader)


def unsafe_load(stream):
    """`load` with `UnsafeLoader`: any Python object; imports modules and
    calls what the document names, so only for trusted input."""
    return load(stream, UnsafeLoader)


def unsafe_load_all(stream):
    return load_all(stream, UnsafeLoader)


def _output(stream, encoding):
    """The stream to write to, and how to get its text back when the
    caller gave none."""
    if stream is not None:
        return stream, None
    stream = _io.StringIO() if encoding is None else _io.BytesIO()
    return stream, stream.getvalue


def emit(events, stream=None, Dumper=Dumper, canonical=None, indent=None,
         width=None, allow_unicode=None, line_break=None):
    """Writes event objects as YAML text; returns the text when `stream`
    is None."""
    stream, getvalue = _output(stream, None)
    dumper = Dumper(stream, canonical=canonical, indent=indent, width=width,
                    allow_unicode=allow_unicode, line_break=line_break)
    try:
        for event in events:
            dumper.emit(event)
    finally:
        dumper.dispose()
    return getvalue() if getvalue is not None else None


def serialize_all(nodes, stream=None, Dumper=Dumper, canonical=None,
                  indent=None, width=None, allow_unicode=None,
                  line_break=None, encoding=None, explicit_start=None,
                  explicit_end=None, version=None, tags=None):
    """Writes node graphs as YAML documents; returns the text when `stream`
    is None (bytes when `encoding` is given)."""
    stream, getvalue = _output(stream, encoding)
    dumper = Dumper(stream, canonical=canonical, indent=indent, width=width,
                    allow_unicode=allow_unicode, line_break=line_break,
                    encoding=encoding, version=version, tags=tags,
                    explicit_start=explicit_start, explicit_end=explicit_end)
    try:
        dumper.open()
        for node in nodes:
            dumper.serialize(node)
        dumper.close()
    finally:
        dumper.dispose()
    return getvalue() if getvalue is not None else None


def serialize(node, stream=None, Dumper=Dumper, **kwds):
    """Writes one node graph as a YAML document."""
    return serialize_all([node], stream, Dumper=Dumper, **kwds)


def dump_all(documents, stream=None, Dumper=Dumper, default_style=None,
             default_flow_style=False, canonical=None, indent=None,
             width=None, allow_unicode=None, line_break=None, encoding=None,
             explicit_start=None, explicit_end=None, version=None, tags=None,
             sort_keys=True):
    """Writes Python data as YAML documents; returns the text when `stream`
    is None (bytes when `encoding` is given)."""
    stream, getvalue = _output(stream, encoding)
    dumper = Dumper(stream, default_style=default_style,
                    default_flow_style=default_flow_style,
                    canonical=canonical, indent=indent, width=width,
                    allow_unicode=allow_unicode, line_break=line_break,
                    encoding=encoding, version=version, tags=tags,
                    explicit_start=explicit_start, explicit_end=explicit_end,
                    sort_keys=sort_keys)
    try:
        dumper.open()
        for data in documents:
            with _CollectorPaused(getvalue is not None):
                dumper.represent(data)
        dumper.close()
    finally:
        dumper.dispose()
    return getvalue() if getvalue is not None else None


def dump(data, stream=None, Dumper=Dumper, **kwds):
    """Writes Python data as one YAML document."""
    return dump_all([data], stream, Dumper=Dumper, **kwds)


def safe_dump_all(documents, stream=None, **kwds):
    """`dump_all` with `SafeDumper`: the standard YAML types only."""
    return dump_all(documents, stream, Dumper=SafeDumper, **kwds)


def safe_dump(data, stream=None, **kwds):
    """`dump` with `SafeDumper`: the standard YAML types only."""
    return dump_all([data], stream, Dumper=SafeDumper, **kwds)


_DEFAULT_LOADERS = (Loader, FullLoader, UnsafeLoader)


def add_implicit_resolver(tag, regexp, first=None, Loader=None,
                          Dumper=Dumper):
    """Plain scalars matching `regexp` resolve to `tag`: on `Loader` (by
    default `Loader`, `FullLoader` and `UnsafeLoader`) and on `Dumper`."""
    for cls in (_DEFAULT_LOADERS if Loader is None else (Loader,)):
        cls.add_implicit_resolver(tag, regexp, first)
    Dumper.add_implicit_resolver(tag, regexp, first)


def add_path_resolver(tag, path, kind=None, Loader=None, Dumper=Dumper):
    """Nodes at `path` (of kind `kind`) resolve to `tag`: on `Loader` (by
    default `Loader`, `FullLoader` and `UnsafeLoader`) and on `Dumper`."""
    for cls in (_DEFAULT_LOADERS if Loader is None else (Loader,)):
        cls.add_path_resolver(tag, path, kind)
    Dumper.add_path_resolver(tag, path, kind)


def add_constructor(tag, constructor, Loader=None):
    """constructor(loader, node) builds objects for `tag`: on `Loader`, or
    by default on `Loader`, `FullLoader` and `UnsafeLoader` (not on
    `SafeLoader`: register there yourself for `safe_load`)."""
    for cls in (_DEFAULT_LOADERS if Loader is None else (Loader,)):
        cls.add_constructor(tag, constructor)


def add_multi_constructor(tag_prefix, multi_constructor, Loader=None):
    """multi_constructor(loader, tag_suffix, node) builds objects for every
    tag that starts with `tag_prefix`; the classes as for
    `add_constructor`."""
    for cls in (_DEFAULT_LOADERS if Loader is None else (Loader,)):
        cls.add_multi_constructor(tag_prefix, multi_constructor)


def add_representer(data_type, representer, Dumper=Dumper):
    """representer(dumper, data) makes the node for objects of exactly
    `data_type`."""
    Dumper.add_representer(data_type, representer)


def add_multi_representer(data_type, multi_representer, Dumper=Dumper):
    """multi_representer(dumper, data) makes the node for instances of
    `data_type` and its subclasses."""
    Dumper.add_multi_representer(data_type, multi_representer)


def warnings(settings=None):
    """Kept for old callers: there are no warnings to configure."""
    return {}


class YAMLObjectMetaclass(type):
    """Registers every class that sets `yaml_tag`: its `from_yaml` as the
    constructor on each of its `yaml_loader` classes and its `to_yaml` as
    the representer on its `yaml_dumper`."""

    def __init__(cls, name, bases, kwds):
        super().__init__(name, bases, kwds)
        if kwds.get("yaml_tag") is not None:
            loaders = cls.yaml_loader
            if not isinstance(loaders, (list, tuple)):
                loaders = [loaders]
            for loader_class in loaders:
                loader_class.add_constructor(cls.yaml_tag, cls.from_yaml)
            cls.yaml_dumper.add_representer(cls, cls.to_yaml)


class YAMLObject(metaclass=YAMLObjectMetaclass):
    """A class whose instances load from and dump to the tag `yaml_tag`
    (as a mapping of their attributes)."""

    __slots__ = ()

    yaml_loader = [Loader, FullLoader, UnsafeLoader]
    yaml_dumper = Dumper
    yaml_tag = None
    yaml_flow_style = None

    @classmethod
    def from_yaml(cls, loader, node):
        return loader.construct_yaml_object(node, cls)

    @classmethod
    def to_yaml(cls, dumper, data):
        return dumper.represent_yaml_object(cls.yaml_tag, data, cls,
                                            flow_style=cls.yaml_flow_style)
