"""Fixtures shared by the parser tests: streams, recording host classes,
access to the parser's operation table, and the parser proof of origin."""

import ctypes
import unittest

from tests.support.project import own_modules
from tests.support.streams import ChunkedStream, ResultStream  # noqa: F401 (the parser tests' streams)

import yaml
import yaml._yaml as ext

own_modules()  # refuses a yaml or native module from outside the project

CParser = ext.CParser


def mark_fields(mark):
    return (mark.name, mark.index, mark.line, mark.column, mark.buffer, mark.pointer)


def plain(value):
    """Marks replaced by their fields, recursively through tuples and lists."""
    if isinstance(value, ext.Mark):
        return ("Mark",) + mark_fields(value)
    if isinstance(value, tuple):
        return tuple(plain(v) for v in value)
    if isinstance(value, list):
        return [plain(v) for v in value]
    return value


class RecordingLoader(yaml.CLoader):
    """A Loader that logs the resolver calls it receives."""

    def __init__(self, stream):
        super().__init__(stream)
        self.calls = []

    def descend_resolver(self, parent, index):
        self.calls.append(("descend", parent, index))

    def ascend_resolver(self):
        self.calls.append(("ascend",))

    def resolve(self, kind, value, implicit):
        self.calls.append(("resolve", kind, value, implicit))
        return super().resolve(kind, value, implicit)


class GlobalTagLoader(yaml.CLoader):
    """Resolves by the node classes bound in yaml._yaml at call time, so
    tests may rebind them."""

    def resolve(self, kind, value, implicit):
        tags = {ext.ScalarNode: "tag:yaml.org,2002:str", ext.SequenceNode: "tag:yaml.org,2002:seq",
                ext.MappingNode: "tag:yaml.org,2002:map"}
        return tags[kind]


class GlobalsTest(unittest.TestCase):
    """Rebinds module globals of yaml._yaml for one test, restored afterwards."""

    def rebind(self, name, value):
        missing = object()
        old = ext.__dict__.get(name, missing)

        def restore():
            if old is missing:
                ext.__dict__.pop(name, None)
            else:
                setattr(ext, name, old)

        self.addCleanup(restore)
        setattr(ext, name, value)

    def unbind(self, name):
        self.rebind(name, None)
        delattr(ext, name)

    def record(self, *names):
        """Replaces each host class by a wrapper that logs (name, args).

        The real class still builds the object, so the rest of the machinery
        keeps working; returns the shared log.
        """
        log = []
        for name in names:
            real = getattr(ext, name)

            def fake(*args, _name=name, _real=real, **kwargs):
                if kwargs:
                    raise AssertionError("%s called with keywords %r" % (_name, kwargs))
                log.append((_name, args))
                return _real(*args)

            self.rebind(name, fake)
        return log

    def raising(self, name, exc):
        def fake(*args):
            raise exc

        self.rebind(name, fake)


# The parser's operation table, for the slots no input reaches.
_api = ctypes.pythonapi
_api.PyCapsule_GetPointer.restype = ctypes.c_void_p
_api.PyCapsule_GetPointer.argtypes = [ctypes.py_object, ctypes.c_char_p]
SLOTS = ("_parser_error", "_scan", "_token_to_object", "_parse", "_event_to_object",
         "_compose_document", "_compose_node", "_compose_scalar_node",
         "_compose_sequence_node", "_compose_mapping_node", "_parse_next_event")


def vtable_slot(name, restype, *argtypes):
    """The operation `name` as a ctypes function (exceptions are raised)."""
    table = _api.PyCapsule_GetPointer(CParser.__dict__["__pyx_vtable__"], None)
    address = ctypes.c_void_p.from_address(table + SLOTS.index(name) * ctypes.sizeof(ctypes.c_void_p)).value
    return ctypes.PYFUNCTYPE(restype, *argtypes)(address)
