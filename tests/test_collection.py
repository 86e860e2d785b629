"""Garbage collection of parsers, emitters and marks.

Reference cycles run through every object field of CParser, CEmitter and
Mark and through the instance dictionaries of subclasses. Each cycle holds
one reference to a marker object; losing it after gc.collect() proves the
cycle was found (traverse), broken (clear) and freed. A cycle that passes
through a tuple can be broken by nothing but the native clear slot, since
tuples have none. Subclasses with __del__ are finalised exactly once, and
an instance that its finaliser resurrects keeps its whole state.
"""

import gc
import io
import sys
import unittest
import weakref

from tests.support.project import OwnPackageTest

import yaml
import yaml._yaml as ext
from yaml.events import DocumentEndEvent, DocumentStartEvent, ScalarEvent, StreamEndEvent, StreamStartEvent
from yaml.nodes import ScalarNode, SequenceNode
from yaml.resolver import BaseResolver


class Marker:
    """Tied into a cycle; the cycle's objects hold the only extra reference."""


class TupleStream(tuple):
    """A file-like tuple: no instance dictionary and no clear slot."""

    __slots__ = ()

    def read(self, size):
        return b""


class TupleSink(tuple):
    __slots__ = ()

    def write(self, data):
        pass


class NamedStream:
    def __init__(self, name):
        self.name = name

    def read(self, size):
        return b""


class Loader(yaml.Loader):
    pass


class Dumper(ext.CEmitter, BaseResolver):
    pass


def swap_global(name, value):
    """Rebinds a module global of yaml._yaml; returns the restoring call."""
    old = getattr(ext, name)
    setattr(ext, name, value)
    return lambda: setattr(ext, name, old)


def collected(build):
    """Runs `build(marker)`, which must tie the marker into a cycle and keep
    no other reference to anything in it; True when the reference the cycle
    holds is gone after gc.collect(), that is when the cycle was freed.

    (A weak reference would not prove it: the collector clears weak
    references to everything it finds unreachable before it tries to break
    the cycles, whether that succeeds or not.)"""
    marker = Marker()
    alone = sys.getrefcount(marker)
    build(marker)
    if sys.getrefcount(marker) != alone + 1:
        raise AssertionError("the cycle does not hold the marker exactly once")
    gc.collect()
    return sys.getrefcount(marker) == alone


def cached_slot_cycle(peek, class_name):
    """The host class returns a tuple holding the parser, which the
    look-ahead slot then keeps: parser -> slot -> tuple -> parser."""

    def build(marker, parser_type=ext.CParser):
        parser = parser_type(b"")
        box = [parser, marker]
        restore = swap_global(class_name, lambda *args: tuple(box))
        try:
            getattr(parser, peek)()
        finally:
            restore()
        box.clear()

    return build


def parser_stream_cycle(marker, parser_type=ext.CParser):
    parser = parser_type.__new__(parser_type)
    parser.__init__(TupleStream((parser, marker)))


def parser_name_cycle(marker, parser_type=ext.CParser):
    parser = parser_type.__new__(parser_type)
    parser.__init__(NamedStream((parser, marker)))


class TyingLoader(Loader):
    """Ties the first parent node it is shown to itself and to `pending`."""

    def descend_resolver(self, parent, index):
        if parent is not None and self.pending:
            parent.owner = (self, self.pending.pop())
        return super().descend_resolver(parent, index)


def parser_anchor_map_cycle(marker):
    # A failed document leaves its anchored nodes in the anchor map, and
    # the node refers back to the parser.
    parser = TyingLoader("&a [x, *b]")
    parser.pending = [marker]
    try:
        parser.get_single_node()
    except ext.ComposerError:
        pass
    else:
        raise AssertionError("the undefined alias was accepted")


def parser_attribute_cycle(marker):
    # Resolver attributes of a subclass instance: a bound method and a dict.
    parser = Loader("a")
    parser.hook = parser.resolve
    parser.yaml_implicit_resolvers = {"x": [(parser, marker)]}


def mark_cycle(marker, position, mark_type=ext.Mark):
    # Mark(name, index, line, column, buffer, pointer), one of the three
    # object fields holding a tuple that holds the mark.
    mark = mark_type.__new__(mark_type)
    fields = [None, None, None]
    fields[position] = (mark, marker)
    mark.__init__(fields[0], 0, 0, 0, fields[1], fields[2])


def emitter_option_cycle(option):
    def build(marker, emitter_type=ext.CEmitter):
        emitter = emitter_type.__new__(emitter_type)
        emitter.__init__(io.StringIO(), **{option: (emitter, marker)})

    return build


def emitter_stream_cycle(marker, emitter_type=ext.CEmitter):
    emitter = emitter_type.__new__(emitter_type)
    emitter.__init__(TupleSink((emitter, marker)))


def emitter_serializer_dict_cycle(marker):
    # A failed serialize leaves its nodes in emitted_nodes and anchor_names.
    class Failing(Dumper):
        def resolve(self, kind, value, implicit):
            raise LookupError("resolve")

    emitter = Failing(io.StringIO())
    item = ScalarNode("tag:yaml.org,2002:str", "x")
    item.owner = (emitter, marker)
    emitter.open()
    try:
        emitter.serialize(SequenceNode("tag:yaml.org,2002:seq", [item]))
    except LookupError:
        pass
    else:
        raise AssertionError("resolve was not called")


class CycleTest(OwnPackageTest):
    def setUp(self):
        gc.collect()

    def test_parser_cycles(self):
        table = [
            ("stream", parser_stream_cycle),
            ("input_name", parser_name_cycle),
            ("cached_token", cached_slot_cycle("peek_token", "StreamStartToken")),
            ("cached_event", cached_slot_cycle("check_event", "StreamStartEvent")),
            ("anchor_map", parser_anchor_map_cycle),
            ("subclass attributes", parser_attribute_cycle),
        ]
        for field, build in table:
            with self.subTest(field=field):
                self.assertTrue(collected(build))

    def test_emitter_cycles(self):
        table = [
            ("stream", emitter_stream_cycle),
            ("document_version", emitter_option_cycle("version")),
            ("document_tags", emitter_option_cycle("tags")),
            ("encoding_option", emitter_option_cycle("encoding")),
            ("emitted_nodes and anchor_names", emitter_serializer_dict_cycle),
        ]
        for field, build in table:
            with self.subTest(field=field):
                self.assertTrue(collected(build))

    def test_mark_cycles(self):
        for position in range(3):
            with self.subTest(field=("name", "buffer", "pointer")[position]):
                self.assertTrue(collected(lambda m: mark_cycle(m, position)))

    def test_subclass_cycles_reach_the_native_clear(self):
        # The subclass's own clear empties its dictionary, then must hand
        # over to the native one: these cycles do not pass through a dict.
        class SubParser(ext.CParser):
            pass

        class SubEmitter(ext.CEmitter):
            pass

        table = [
            ("parser stream", lambda m: parser_stream_cycle(m, SubParser)),
            ("parser input_name", lambda m: parser_name_cycle(m, SubParser)),
            ("parser cached_event", lambda m: cached_slot_cycle("peek_event", "StreamStartEvent")(m, SubParser)),
            ("emitter stream", lambda m: emitter_stream_cycle(m, SubEmitter)),
            ("emitter document_tags", lambda m: emitter_option_cycle("tags")(m, SubEmitter)),
        ]
        for label, build in table:
            with self.subTest(label):
                self.assertTrue(collected(build))


class FinaliserTest(OwnPackageTest):
    def finalising_types(self, log, keep=None):
        def finaliser(self):
            log.append(type(self).__name__)
            if keep is not None:
                keep.append(self)

        parser = type("FinalParser", (ext.CParser,), {"__del__": finaliser})
        emitter = type("FinalEmitter", (ext.CEmitter,), {"__del__": finaliser})
        mark = type("FinalMark", (ext.Mark,), {"__del__": finaliser})
        return parser, emitter, mark

    def test_finaliser_runs_once_in_a_cycle(self):
        log = []
        parser_type, emitter_type, mark_type = self.finalising_types(log)
        table = [
            ("FinalParser", lambda m: parser_stream_cycle(m, parser_type)),
            ("FinalParser", lambda m: parser_name_cycle(m, parser_type)),
            ("FinalEmitter", lambda m: emitter_stream_cycle(m, emitter_type)),
            ("FinalEmitter", lambda m: emitter_option_cycle("version")(m, emitter_type)),
            ("FinalMark", lambda m: mark_cycle(m, 0, mark_type)),
        ]
        for name, build in table:
            with self.subTest(name):
                del log[:]
                self.assertTrue(collected(build))
                self.assertEqual(log, [name])

    def test_finaliser_runs_once_without_a_cycle(self):
        log = []
        parser_type, emitter_type, mark_type = self.finalising_types(log)
        makers = [lambda: parser_type("a"), lambda: emitter_type(io.StringIO()),
                  lambda: mark_type("n", 0, 0, 0, None, None)]
        for make in makers:
            obj = make()
            cls = type(obj)
            with self.subTest(cls.__name__):
                del log[:]
                ref = weakref.ref(obj)
                del obj
                self.assertIsNone(ref())
                self.assertEqual(log, [cls.__name__])

    def test_resurrected_instances_keep_working(self):
        # The finaliser keeps the instance alive, so its deallocation must
        # stop before releasing anything; the instance is then used, and
        # the finaliser is not run a second time when it finally dies.
        log, keep = [], []
        parser_type, emitter_type, mark_type = self.finalising_types(log, keep)

        source = "- a\n- b\n"
        parser = parser_type(source)
        parser.get_event()
        del parser
        self.assertEqual(log, ["FinalParser"])
        (parser,) = keep
        del keep[:]
        self.assertEqual(parser.raw_parse(), ext.CParser(source).raw_parse() - 1)

        events = [StreamStartEvent(), DocumentStartEvent(), ScalarEvent(None, None, (True, False), "x"),
                  DocumentEndEvent(), StreamEndEvent()]
        expected = io.StringIO()
        plain = ext.CEmitter(expected)
        for event in events:
            plain.emit(event)
        out = io.StringIO()
        emitter = emitter_type(out)
        emitter.emit(events[0])
        del emitter
        self.assertEqual(log, ["FinalParser", "FinalEmitter"])
        (emitter,) = keep
        del keep[:]
        for event in events[1:]:
            emitter.emit(event)
        self.assertEqual(out.getvalue(), expected.getvalue())

        fields = ("n", 1, 2, 3, "b", "p")
        mark = mark_type(*fields)
        del mark
        (mark,) = keep
        del keep[:]
        plain_mark = ext.Mark(*fields)
        self.assertEqual([getattr(mark, f) for f in ("name", "index", "line", "column", "buffer", "pointer")],
                         list(fields))
        self.assertEqual(str(mark), str(plain_mark))

        refs = [weakref.ref(parser), weakref.ref(emitter), weakref.ref(mark)]
        del parser, emitter, mark
        gc.collect()
        self.assertEqual([r() for r in refs], [None, None, None])
        self.assertEqual(log, ["FinalParser", "FinalEmitter", "FinalMark"])


if __name__ == "__main__":
    unittest.main()
