"""Event layer: conversion table, argument orders, look-ahead, raw_parse."""

import ctypes
import unittest

from tests.support.project import own_modules

import yaml
import yaml._yaml as ext

own_modules()  # refuses a yaml or native module from outside the project

from tests.parser_helpers import ChunkedStream, GlobalsTest, plain, vtable_slot  # noqa: E402

EVENT_CLASSES = ("StreamStartEvent", "StreamEndEvent", "DocumentStartEvent", "DocumentEndEvent",
                 "AliasEvent", "ScalarEvent", "SequenceStartEvent", "SequenceEndEvent",
                 "MappingStartEvent", "MappingEndEvent")
U = "<unicode string>"


def M(index, line, column, name=U):
    return ("Mark", name, index, line, column, None, None)


def events(source):
    parser = yaml.CLoader(source)
    out = []
    while True:
        event = parser.get_event()
        if event is None:
            return out
        out.append(event)


def nth_event(source, n):
    return events(source)[n]


class ArgumentOrderTest(GlobalsTest):
    def test_every_class_gets_positional_arguments_in_order(self):
        log = self.record(*EVENT_CLASSES)
        source = ("%YAML 1.1\n%TAG !e! tag:e,2000:\n--- &s !e!seq\n"
                  "- &k !!str 'v'\n- *k\n- {a: \"b\"}\n...\n")
        events(source)
        expected = [
            ("StreamStartEvent", (M(0, 0, 0), M(0, 0, 0), None)),
            ("DocumentStartEvent", (M(0, 0, 0), M(34, 2, 3), True, (1, 1), {"!e!": "tag:e,2000:"})),
            ("SequenceStartEvent", ("s", "tag:e,2000:seq", False, M(35, 2, 4), M(45, 3, 0), False)),
            ("ScalarEvent", ("k", "tag:yaml.org,2002:str", (False, False), "v", M(47, 3, 2), M(59, 3, 14), "'")),
            ("AliasEvent", ("k", M(62, 4, 2), M(64, 4, 4))),
            ("MappingStartEvent", (None, None, True, M(67, 5, 2), M(68, 5, 3), True)),
            ("ScalarEvent", (None, None, (True, False), "a", M(68, 5, 3), M(69, 5, 4), "")),
            ("ScalarEvent", (None, None, (False, True), "b", M(71, 5, 6), M(74, 5, 9), '"')),
            ("MappingEndEvent", (M(74, 5, 9), M(75, 5, 10))),
            ("SequenceEndEvent", (M(76, 6, 0), M(76, 6, 0))),
            ("DocumentEndEvent", (M(76, 6, 0), M(79, 6, 3), True)),
            ("StreamEndEvent", (M(80, 7, 0), M(80, 7, 0))),
        ]
        self.assertEqual([(name, plain(args)) for name, args in log], expected)

    def test_marks_are_fresh_and_named_after_the_input(self):
        for source, name in (("a", U), (b"a", "<byte string>")):
            with self.subTest(name=name):
                event = nth_event(source, 2)
                self.assertEqual(plain(event.start_mark), M(0, 0, 0, name))
                self.assertIsNot(event.start_mark, event.end_mark)


class ArgumentValuesTest(unittest.TestCase):
    def test_scalar_tag_implicit_style_value(self):
        table = [
            ("a", None, (True, False), "", "a"),
            ("'a'", None, (False, True), "'", "a"),
            ('"a"', None, (False, True), '"', "a"),
            ("|\n x\n", None, (False, True), "|", "x\n"),
            (">\n x\n", None, (False, True), ">", "x\n"),
            ("!t a", "!t", (False, False), "", "a"),
            ("!t 'a'", "!t", (False, False), "'", "a"),
            ("! a", "!", (True, False), "", "a"),          # "!" has no meaning here
            ('"a\\0b"', None, (False, True), '"', "a\0b"),  # NUL kept
            ("''", None, (False, True), "'", ""),
            ('"é\\u2028"', None, (False, True), '"', "é\u2028"),
        ]
        for source, tag, implicit, style, value in table:
            with self.subTest(source=source):
                event = nth_event(source, 2)
                self.assertIs(type(event), ext.ScalarEvent)
                self.assertEqual((event.tag, event.implicit, event.style, event.value),
                                 (tag, implicit, style, value))
                self.assertIs(type(event.implicit), tuple)
                for flag in event.implicit:
                    self.assertIs(type(flag), bool)

    def test_collection_flow_style_and_implicit(self):
        table = [
            ("[a]", ext.SequenceStartEvent, True, True, None),
            ("- a", ext.SequenceStartEvent, False, True, None),
            ("{a: b}", ext.MappingStartEvent, True, True, None),
            ("a: b", ext.MappingStartEvent, False, True, None),
            ("!t [a]", ext.SequenceStartEvent, True, False, "!t"),
            ("&x !!map {}", ext.MappingStartEvent, True, False, "tag:yaml.org,2002:map"),
        ]
        for source, cls, flow_style, implicit, tag in table:
            with self.subTest(source=source):
                event = nth_event(source, 2)
                self.assertIs(type(event), cls)
                self.assertIs(event.flow_style, flow_style)
                self.assertIs(event.implicit, implicit)
                self.assertEqual(event.tag, tag)

    def test_document_explicit_version_tags(self):
        table = [
            ("a", False, False, None, None),
            ("--- a\n...\n", True, True, None, None),
            ("--- a\n", True, False, None, None),
            ("%YAML 1.1\n--- a", True, False, (1, 1), None),
            ("%TAG !e! tag:e,2000:\n--- a", True, False, None, {"!e!": "tag:e,2000:"}),
            ("%TAG ! !x-\n%TAG !! tag:y:\n--- a", True, False, None, {"!": "!x-", "!!": "tag:y:"}),
        ]
        for source, start_explicit, end_explicit, version, tags in table:
            with self.subTest(source=source):
                evs = events(source)
                start, end = evs[1], evs[3]
                self.assertIs(start.explicit, start_explicit)
                self.assertIs(end.explicit, end_explicit)
                self.assertEqual(start.version, version)
                self.assertEqual(start.tags, tags)
                if tags is not None:
                    self.assertEqual(list(start.tags), list(tags))

    def test_anchor_and_alias(self):
        evs = events("- &a1 x\n- *a1\n")
        self.assertEqual((evs[3].anchor, evs[4].anchor), ("a1", "a1"))
        self.assertIs(type(evs[4]), ext.AliasEvent)


class LookAheadTest(unittest.TestCase):
    def test_peek_then_get_returns_the_same_object(self):
        parser = yaml.CLoader("a")
        first = parser.peek_event()
        self.assertIs(parser.peek_event(), first)
        self.assertIs(parser.get_event(), first)
        second = parser.peek_event()
        self.assertIs(type(second), ext.DocumentStartEvent)
        self.assertIsNot(second, first)

    def test_get_without_peek_does_not_fill_the_slot(self):
        parser = yaml.CLoader("a")
        self.assertIs(type(parser.get_event()), ext.StreamStartEvent)
        self.assertIs(type(parser.get_event()), ext.DocumentStartEvent)

    def test_after_stream_end(self):
        parser = yaml.CLoader("")
        self.assertEqual([type(parser.get_event()) for _ in range(2)],
                         [ext.StreamStartEvent, ext.StreamEndEvent])
        for _ in range(3):
            self.assertIsNone(parser.get_event())
            self.assertIsNone(parser.peek_event())
            self.assertIs(parser.check_event(), False)
            self.assertIs(parser.check_event(ext.StreamEndEvent), False)

    def test_check_event_choices(self):
        class Sub(ext.StreamStartEvent):
            pass

        table = [
            ((), True),
            ((ext.StreamStartEvent,), True),
            ((ext.ScalarEvent, ext.StreamStartEvent), True),
            ((ext.ScalarEvent,), False),
            ((Sub,), False),                       # a subclass does not match
            ((yaml.events.Event,), False),         # nor a base class
            ((1, "x", None), False),               # choices need not be classes
        ]
        for choices, expected in table:
            with self.subTest(choices=choices):
                parser = yaml.CLoader("")
                self.assertIs(parser.check_event(*choices), expected)
                self.assertIs(type(parser.get_event()), ext.StreamStartEvent)  # left in the slot


class ClassAttributeTest(GlobalsTest):
    def test_check_event_compares_the_class_attribute(self):
        class Liar:
            pass

        class Fake:
            __class__ = Liar  # check_event reads __class__, not type()

        self.rebind("StreamStartEvent", lambda *args: Fake())
        parser = yaml.CLoader("")
        self.assertTrue(parser.check_event(Liar))
        self.assertFalse(parser.check_event(Fake))


class RawParseTest(unittest.TestCase):
    def test_counts(self):
        table = [("", 2), ("a", 5), ("- a\n- b\n", 8), ("--- a\n--- b\n", 8), ("[a, {b: c}]", 11)]
        for source, count in table:
            with self.subTest(source=source):
                parser = yaml.CLoader(source)
                self.assertEqual(parser.raw_parse(), count)
                self.assertEqual(parser.raw_parse(), 0)

    def test_count_of_a_long_stream_is_exact(self):
        # More events than a 16-bit count holds, streamed in small reads;
        # the count must equal the events the converting path delivers.
        data = b"- " + b"\n- ".join(b"%d" % i for i in range(70000)) + b"\n"
        count = yaml.Loader(ChunkedStream(data, chunk=4096)).raw_parse()
        self.assertIs(type(count), int)
        self.assertEqual(count, len(events(data)))
        # stream, document and sequence start and end around the scalars
        self.assertEqual(count, 70000 + 6)

    def test_leaves_the_slot_alone(self):
        parser = yaml.CLoader("a")
        first = parser.peek_event()
        self.assertEqual(parser.raw_parse(), 4)
        self.assertIs(parser.get_event(), first)
        self.assertIsNone(parser.get_event())

    def test_builds_no_event_objects(self):
        class Boom(Exception):
            pass

        def boom(*args):
            raise Boom

        saved = {name: getattr(ext, name) for name in EVENT_CLASSES}
        try:
            for name in EVENT_CLASSES:
                setattr(ext, name, boom)
            self.assertEqual(yaml.CLoader("[a, &x b, *x]").raw_parse(), 9)
        finally:
            for name, cls in saved.items():
                setattr(ext, name, cls)

    def test_failure(self):
        parser = yaml.CLoader("a: [b")
        with self.assertRaises(ext.ParserError):
            parser.raw_parse()


class ArgumentErrorTest(unittest.TestCase):
    def test_messages(self):
        parser = yaml.CLoader("")
        table = [
            (lambda: parser.get_event(1), "get_event() takes exactly 0 positional arguments (1 given)"),
            (lambda: parser.peek_event(1, 2), "peek_event() takes exactly 0 positional arguments (2 given)"),
            (lambda: parser.raw_parse(None), "raw_parse() takes exactly 0 positional arguments (1 given)"),
            (lambda: parser.get_event(x=1), "get_event() got an unexpected keyword argument 'x'"),
            (lambda: parser.peek_event(y=1), "peek_event() got an unexpected keyword argument 'y'"),
            (lambda: parser.raw_parse(z=1), "raw_parse() got an unexpected keyword argument 'z'"),
            (lambda: parser.check_event(ext.ScalarEvent, a=1, b=2),
             "check_event() got an unexpected keyword argument 'a'"),
        ]
        for call, message in table:
            with self.subTest(message=message):
                with self.assertRaises(TypeError) as cm:
                    call()
                self.assertEqual(str(cm.exception), message)
        # Nothing was consumed by the refused calls.
        self.assertIs(type(parser.get_event()), ext.StreamStartEvent)


class HostClassFailureTest(GlobalsTest):
    SOURCES = {
        "StreamStartEvent": "a", "StreamEndEvent": "a", "DocumentStartEvent": "a",
        "DocumentEndEvent": "a", "ScalarEvent": "a", "AliasEvent": "[&x a, *x]",
        "SequenceStartEvent": "[a]", "SequenceEndEvent": "[a]",
        "MappingStartEvent": "{a: b}", "MappingEndEvent": "{a: b}",
    }

    def test_each_class_raising_propagates_unchanged(self):
        for name in EVENT_CLASSES:
            with self.subTest(name=name):
                error = KeyError(name)
                self.raising(name, error)
                parser = yaml.CLoader(self.SOURCES[name])
                with self.assertRaises(KeyError) as cm:
                    while parser.peek_event() is not None:
                        parser.get_event()
                self.assertIs(cm.exception, error)
                self.doCleanups()

    def test_failed_peek_leaves_the_slot_empty(self):
        self.raising("DocumentStartEvent", ValueError("no"))
        parser = yaml.CLoader("a")
        parser.get_event()
        with self.assertRaises(ValueError):
            parser.peek_event()
        self.doCleanups()
        # The failed event is gone; the slot did not keep anything.
        self.assertIs(type(parser.get_event()), ext.ScalarEvent)

    def test_missing_class_is_a_name_error(self):
        self.unbind("MappingStartEvent")
        parser = yaml.CLoader("{}")
        parser.get_event(), parser.get_event()
        with self.assertRaises(NameError) as cm:
            parser.get_event()
        self.assertEqual(str(cm.exception), "name 'MappingStartEvent' is not defined")

    def test_builtins_are_searched_after_the_globals(self):
        import builtins

        self.unbind("StreamEndEvent")
        builtins.StreamEndEvent = lambda *args: ("from builtins",) + args
        self.addCleanup(delattr, builtins, "StreamEndEvent")
        parser = yaml.CLoader("")
        parser.get_event()
        self.assertEqual(parser.get_event()[0], "from builtins")


# Raw records for the branches no parsed input reaches.
class RawEvent(ctypes.Structure):
    _fields_ = [("bytes", ctypes.c_ubyte * 104)]

    def put(self, offset, ctype, value):
        ctype.from_buffer(self, offset).value = value


EVENT_TYPES = {"NO": 0, "STREAM_START": 1, "SCALAR": 6, "SEQUENCE_START": 7, "MAPPING_START": 9}


class RawRecordTest(unittest.TestCase):
    def setUp(self):
        self.convert = vtable_slot("_event_to_object", ctypes.py_object, ctypes.py_object,
                                   ctypes.POINTER(RawEvent))
        self.parser = yaml.CLoader("")

    def event(self, type_value):
        event = RawEvent()
        event.put(0, ctypes.c_int, type_value)
        return event

    def test_no_event_and_unknown_type(self):
        self.assertIsNone(self.convert(self.parser, ctypes.byref(self.event(0))))
        for value in (11, 99, -1):
            with self.subTest(type=value):
                with self.assertRaises(ValueError) as cm:
                    self.convert(self.parser, ctypes.byref(self.event(value)))
                self.assertEqual(str(cm.exception), "unknown event type")

    def test_any_encoding_and_any_styles_give_none(self):
        start = self.event(EVENT_TYPES["STREAM_START"])
        self.assertIsNone(self.convert(self.parser, ctypes.byref(start)).encoding)
        for name in ("SEQUENCE_START", "MAPPING_START"):
            with self.subTest(name=name):
                event = self.event(EVENT_TYPES[name])
                self.assertIsNone(self.convert(self.parser, ctypes.byref(event)).flow_style)
        value = ctypes.create_string_buffer(b"v")
        scalar = self.event(EVENT_TYPES["SCALAR"])
        scalar.put(24, ctypes.c_void_p, ctypes.addressof(value))
        scalar.put(32, ctypes.c_size_t, 1)
        for style in (0, 6, 42):
            with self.subTest(style=style):
                scalar.put(48, ctypes.c_int, style)
                self.assertIsNone(self.convert(self.parser, ctypes.byref(scalar)).style)

    def test_flags_other_than_one_are_false(self):
        value = ctypes.create_string_buffer(b"v")
        scalar = self.event(EVENT_TYPES["SCALAR"])
        scalar.put(24, ctypes.c_void_p, ctypes.addressof(value))
        scalar.put(32, ctypes.c_size_t, 1)
        scalar.put(40, ctypes.c_int, 2)
        scalar.put(44, ctypes.c_int, 1)
        self.assertEqual(self.convert(self.parser, ctypes.byref(scalar)).implicit, (False, True))

    def test_invalid_utf8_and_explicit_length(self):
        value = ctypes.create_string_buffer(b"a\0b\xff")
        scalar = self.event(EVENT_TYPES["SCALAR"])
        scalar.put(24, ctypes.c_void_p, ctypes.addressof(value))
        scalar.put(32, ctypes.c_size_t, 3)
        self.assertEqual(self.convert(self.parser, ctypes.byref(scalar)).value, "a\0b")
        scalar.put(32, ctypes.c_size_t, 4)
        with self.assertRaises(UnicodeDecodeError):
            self.convert(self.parser, ctypes.byref(scalar))
        anchor = ctypes.create_string_buffer(b"\xc3")
        scalar.put(32, ctypes.c_size_t, 1)
        scalar.put(8, ctypes.c_void_p, ctypes.addressof(anchor))
        with self.assertRaises(UnicodeDecodeError):
            self.convert(self.parser, ctypes.byref(scalar))


if __name__ == "__main__":
    unittest.main()
