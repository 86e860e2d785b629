"""CEmitter options, output kinds, pickling, stream failures and argument
binding of the emitting methods."""

import copy
import io
import pickle
import unittest

import yaml
import yaml._yaml as _yaml
from yaml.events import (DocumentEndEvent, DocumentStartEvent, ScalarEvent,
                         SequenceEndEvent, SequenceStartEvent, StreamEndEvent,
                         StreamStartEvent)
from yaml.nodes import ScalarNode, SequenceNode

from tests.support.project import assert_own_package



class ImportedFromRepository(unittest.TestCase):
    def test_package_and_extension_are_ours(self):
        package, extension = assert_own_package(self)
        self.assertIs(package, yaml)
        self.assertIs(extension, _yaml)


NO_PICKLE = ("Pickling of struct members such as self.emitter must be explicitly "
             "requested with @auto_pickle(True)")


def sample_events():
    """A nested sequence with a long non-ASCII scalar, two documents."""
    long_value = " ".join(["caf\u00e9"] * 12)
    events = [StreamStartEvent()]
    for _ in range(2):
        events += [DocumentStartEvent(), SequenceStartEvent(None, None, True),
                   ScalarEvent(None, None, (True, True), long_value),
                   SequenceStartEvent(None, None, True),
                   ScalarEvent(None, None, (True, True), "a"), SequenceEndEvent(),
                   SequenceEndEvent(), DocumentEndEvent()]
    return events + [StreamEndEvent()]


class Dumper(_yaml.CEmitter, yaml.resolver.BaseResolver):
    pass


def sample_node():
    str_tag = "tag:yaml.org,2002:str"
    seq_tag = "tag:yaml.org,2002:seq"
    return SequenceNode(seq_tag, [ScalarNode(str_tag, " ".join(["caf\u00e9"] * 12)),
                                  SequenceNode(seq_tag, [ScalarNode(str_tag, "a")])])


def emit_with(*args, **options):
    """Two documents written by the serializer with these options."""
    out = io.StringIO()
    emitter = Dumper(out, *args, **options)
    emitter.open()
    emitter.serialize(sample_node())
    emitter.serialize(sample_node())
    emitter.close()
    return out.getvalue()


class Options(unittest.TestCase):
    def setUp(self):
        self.default = emit_with()

    def test_each_option_changes_the_text(self):
        cases = [
            ("canonical", dict(canonical=True), lambda t: t.startswith("---\n!!seq [\n  !!str \"")),
            ("indent 4", dict(indent=4), lambda t: "\n-   - a\n" in t),
            ("width 20", dict(width=20), lambda t: t.count("\n") > self.default.count("\n")),
            ("allow_unicode", dict(allow_unicode=True), lambda t: "caf\u00e9" in t),
            ("cr", dict(line_break="\r"), lambda t: "\r" in t and "\n" not in t),
            ("crln", dict(line_break="\r\n"), lambda t: t.count("\r\n") == t.count("\n") > 0),
            ("explicit_start", dict(explicit_start=True), lambda t: t.startswith("---")),
            ("explicit_end", dict(explicit_end=True), lambda t: "..." in t),
        ]
        self.assertNotIn("caf\u00e9", self.default)
        for label, options, check in cases:
            with self.subTest(label):
                text = emit_with(**options)
                self.assertNotEqual(text, self.default)
                self.assertTrue(check(text), repr(text))

    def test_options_that_count_as_not_given(self):
        cases = [
            ("canonical=0", dict(canonical=0)),
            ("allow_unicode=''", dict(allow_unicode="")),
            ("explicit_start=[]", dict(explicit_start=[])),
            ("explicit_end=None", dict(explicit_end=None)),
            ("line_break '\\n\\r'", dict(line_break="\n\r")),
            ("line_break ''", dict(line_break="")),
            ("line_break 10", dict(line_break=10)),
            ("line_break '\\n'", dict(line_break="\n")),
            ("version=()", dict(version=())),
            ("tags={}", dict(tags={})),
        ]
        for label, options in cases:
            with self.subTest(label):
                self.assertEqual(emit_with(**options), self.default)

    def test_integer_conversions(self):
        class IntLike:
            def __int__(self):
                return 4

        self.assertEqual(emit_with(indent=2.9), emit_with(indent=2))
        self.assertNotEqual(emit_with(indent=4), emit_with(indent=2))
        self.assertEqual(emit_with(indent=IntLike()), emit_with(indent=4))
        self.assertEqual(emit_with(indent=True), emit_with(indent=1))
        cases = [
            ("indent str", dict(indent="2"), TypeError, "an integer is required"),
            ("width list", dict(width=[]), TypeError, "an integer is required"),
            ("indent big", dict(indent=2 ** 31), OverflowError, "value too large to convert to int"),
            ("width small", dict(width=-2 ** 31 - 1), OverflowError,
             "value too large to convert to int"),
            ("width float big", dict(width=1e20), OverflowError,
             "value too large to convert to int"),
        ]
        for label, options, exc, message in cases:
            with self.subTest(label):
                with self.assertRaises(exc) as cm:
                    _yaml.CEmitter(io.StringIO(), **options)
                self.assertEqual(str(cm.exception), message)

    def test_truth_and_equality_errors_propagate(self):
        class Bad:
            def __bool__(self):
                raise ZeroDivisionError("truth")

            def __eq__(self, other):
                raise KeyError("eq")

            __hash__ = object.__hash__

        for name, exc in [("canonical", ZeroDivisionError), ("allow_unicode", ZeroDivisionError),
                          ("explicit_start", ZeroDivisionError), ("explicit_end", ZeroDivisionError),
                          ("line_break", KeyError)]:
            with self.subTest(name):
                with self.assertRaises(exc):
                    _yaml.CEmitter(io.StringIO(), **{name: Bad()})

    def test_all_options_by_position(self):
        text = emit_with(True, 4, 40, True, "\r\n", None, True, True, None, None)
        self.assertEqual(text, emit_with(canonical=True, indent=4, width=40,
                                                   allow_unicode=True, line_break="\r\n",
                                                   explicit_start=True, explicit_end=True))


class OutputKind(unittest.TestCase):
    """str or bytes reach write(), by encoding option and stream kind."""

    def serialize_one(self, stream, encoding):
        emitter = type("D", (_yaml.CEmitter, yaml.resolver.BaseResolver), {})(stream, encoding=encoding)
        emitter.open()
        emitter.serialize(ScalarNode("tag:yaml.org,2002:str", "x"))
        emitter.close()

    def test_table(self):
        class Bytes:
            def __init__(self):
                self.chunks = []

            def write(self, data):
                self.chunks.append(data)

        class Text(Bytes):
            encoding = "whatever"

        cases = [
            ("no encoding, byte stream", Bytes, None, ["x\n"]),
            ("no encoding, text stream", Text, None, ["x\n"]),
            ("utf-8, byte stream", Bytes, "utf-8", [b"x\n"]),
            ("utf-16-le, byte stream", Bytes, "utf-16-le", [b"\xff\xfex\x00\n\x00"]),
            ("utf-16-be, byte stream", Bytes, "utf-16-be", [b"\xfe\xff\x00x\x00\n"]),
            ("utf-16-be, text stream", Text, "utf-16-be", ["x\n"]),
        ]
        for label, make, encoding, expected in cases:
            with self.subTest(label):
                stream = make()
                self.serialize_one(stream, encoding)
                self.assertEqual(stream.chunks, expected)

    def test_encoding_attribute_lookup_errors(self):
        class Broken:
            @property
            def encoding(self):
                raise KeyError("lookup")

            def write(self, data):
                pass

        class Absent:
            @property
            def encoding(self):
                raise AttributeError("none here")

            def write(self, data):
                self.data = data

        with self.assertRaises(KeyError):
            _yaml.CEmitter(Broken())
        stream = Absent()
        self.serialize_one(stream, "utf-8")
        self.assertEqual(stream.data, b"x\n")


class Pickling(unittest.TestCase):
    def test_refused(self):
        emitter = _yaml.CEmitter(io.StringIO())
        for label, call in [("pickle", lambda: pickle.dumps(emitter)),
                            ("copy", lambda: copy.copy(emitter)),
                            ("__reduce__", emitter.__reduce__),
                            ("__setstate__", lambda: emitter.__setstate__({}))]:
            with self.subTest(label):
                with self.assertRaises(TypeError) as cm:
                    call()
                self.assertEqual(str(cm.exception), NO_PICKLE)


class Binding(unittest.TestCase):
    def test_messages(self):
        emitter = _yaml.CEmitter(io.StringIO())
        cases = [
            ("emit none", lambda: emitter.emit(), "emit() takes exactly 1 positional argument (0 given)"),
            ("emit two", lambda: emitter.emit(1, 2), "emit() takes exactly 1 positional argument (2 given)"),
            ("emit keyword", lambda: emitter.emit(1, event=1),
             "emit() got an unexpected keyword argument 'event'"),
            ("emit twice", lambda: emitter.emit(1, event_object=1),
             "emit() got multiple values for keyword argument 'event_object'"),
            ("open arg", lambda: emitter.open(1), "open() takes exactly 0 positional arguments (1 given)"),
            ("open keyword", lambda: emitter.open(x=1), "open() got an unexpected keyword argument 'x'"),
            ("close arg", lambda: emitter.close(1), "close() takes exactly 0 positional arguments (1 given)"),
            ("close keyword", lambda: emitter.close(x=1), "close() got an unexpected keyword argument 'x'"),
            ("serialize none", lambda: emitter.serialize(),
             "serialize() takes exactly 1 positional argument (0 given)"),
            ("serialize keyword", lambda: emitter.serialize(nod=1),
             "serialize() takes exactly 1 positional argument (0 given)"),
        ]
        for label, call, message in cases:
            with self.subTest(label):
                with self.assertRaises(TypeError) as cm:
                    call()
                self.assertEqual(str(cm.exception), message)

    def test_keywords_accepted(self):
        out = io.StringIO()
        emitter = type("D", (_yaml.CEmitter, yaml.resolver.BaseResolver), {})(out)
        emitter.open()
        emitter.serialize(node=ScalarNode("tag:yaml.org,2002:str", "x"))
        emitter.close()
        self.assertEqual(out.getvalue(), "x\n")
        out = io.StringIO()
        emitter = _yaml.CEmitter(out)
        emitter.emit(event_object=StreamStartEvent())
        self.assertIsNone(emitter.dispose())
        for event in [DocumentStartEvent(), ScalarEvent(None, None, (1, 1), "y"),
                      DocumentEndEvent(), StreamEndEvent()]:
            emitter.emit(event)
        self.assertEqual(out.getvalue(), "y\n")

    def test_method_table_order(self):
        names = [n for n in vars(_yaml.CEmitter) if not n.startswith("__") or n in
                 ("__reduce__", "__setstate__")]
        self.assertEqual(names, ["dispose", "emit", "open", "close", "serialize",
                                 "__reduce__", "__setstate__"])


class StreamFailures(unittest.TestCase):
    def make(self, fail_at):
        error = OSError("disk full")
        calls = []

        class Stream:
            def write(self, data):
                calls.append(data)
                if len(calls) == fail_at:
                    raise error

        emitter = type("D", (_yaml.CEmitter, yaml.resolver.BaseResolver), {})(Stream())
        return emitter, error, calls

    def test_write_raising_at_first_and_later_flush(self):
        node = SequenceNode("tag:yaml.org,2002:seq", [ScalarNode("tag:yaml.org,2002:str", "x")])
        for fail_at in (1, 2):
            with self.subTest(fail_at=fail_at):
                emitter, error, calls = self.make(fail_at)
                emitter.open()
                raised = None
                try:
                    emitter.serialize(node)
                    emitter.serialize(node)
                    emitter.close()
                except Exception as exc:  # the very object, whatever its class
                    raised = exc
                self.assertIs(raised, error)
                self.assertEqual(len(calls), fail_at)

    def test_write_result_is_ignored(self):
        class Stream:
            def write(self, data):
                return "ignored"

        emitter = _yaml.CEmitter(Stream())
        for event in sample_events():
            emitter.emit(event)

    def test_missing_write_is_attribute_error(self):
        emitter = _yaml.CEmitter(object())
        with self.assertRaises(AttributeError):
            for event in sample_events():
                emitter.emit(event)


if __name__ == "__main__":
    unittest.main()
