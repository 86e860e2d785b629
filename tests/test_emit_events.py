"""CEmitter.emit: event objects to libyaml events.

Classes are recognised by identity with the module globals, attributes are
read and converted one by one in a fixed order, and every refusal carries a
fixed message; these tables pin all of that.
"""

import io
import os
import unittest

import yaml
import yaml._yaml as _yaml
from yaml.events import (AliasEvent, DocumentEndEvent, DocumentStartEvent,
                         MappingEndEvent, MappingStartEvent, ScalarEvent,
                         SequenceEndEvent, SequenceStartEvent, StreamEndEvent,
                         StreamStartEvent)
from yaml.nodes import ScalarNode

from tests.support.project import assert_own_package



class ImportedFromRepository(unittest.TestCase):
    def test_package_and_extension_are_ours(self):
        package, extension = assert_own_package(self)
        self.assertIs(package, yaml)
        self.assertIs(extension, _yaml)


class ByteSink:
    """A stream without an `encoding` attribute; keeps every write."""

    def __init__(self):
        self.chunks = []

    def write(self, data):
        self.chunks.append(data)


class Fake:
    """Poses as an instance of `cls` (through __class__) and logs every
    attribute read; `attrs` values that are exceptions are raised, callables
    named in `computed` are called with the read count."""

    def __init__(self, cls, log=None, computed=(), **attrs):
        object.__setattr__(self, "_cls", cls)
        object.__setattr__(self, "_attrs", attrs)
        object.__setattr__(self, "_computed", set(computed))
        object.__setattr__(self, "log", [] if log is None else log)

    def __getattribute__(self, name):
        if name == "__class__":
            log = object.__getattribute__(self, "log")
            log.append(name)
            return object.__getattribute__(self, "_cls")
        if name in ("log", "_attrs", "_cls", "_computed", "__repr__", "__str__"):
            return object.__getattribute__(self, name)
        log = object.__getattribute__(self, "log")
        log.append(name)
        attrs = object.__getattribute__(self, "_attrs")
        if name not in attrs:
            raise AttributeError(name)
        value = attrs[name]
        if name in object.__getattribute__(self, "_computed"):
            return value(log.count(name))
        if isinstance(value, BaseException):
            raise value
        return value

    def __repr__(self):
        return "<fake event>"


def emit_all(events, stream=None, **options):
    stream = io.StringIO() if stream is None else stream
    emitter = _yaml.CEmitter(stream, **options)
    for event in events:
        emitter.emit(event)
    return stream


def document(*body, **start):
    return ([StreamStartEvent(), DocumentStartEvent(**start)] + list(body)
            + [DocumentEndEvent(), StreamEndEvent()])


def emitted_text(*body, **start):
    return emit_all(document(*body, **start)).getvalue()


class EventClasses(unittest.TestCase):
    def test_refused_objects(self):
        class MyScalar(ScalarEvent):
            pass

        sub = MyScalar(None, None, (True, True), "x")
        cases = [
            ("int", 1, "invalid event 1"),
            ("str", "e", "invalid event e"),
            ("subclass", sub, "invalid event %s" % (sub,)),
            ("one-tuple goes through %", (5,), "invalid event 5"),
            ("none", None, "invalid event None"),
        ]
        for label, obj, message in cases:
            with self.subTest(label):
                emitter = _yaml.CEmitter(io.StringIO())
                with self.assertRaises(TypeError) as cm:
                    emitter.emit(obj)
                self.assertEqual(str(cm.exception), message)

    def test_two_tuple_fails_in_the_format_itself(self):
        # "%" with a 2-tuple on the right is a formatting error, as in Python.
        emitter = _yaml.CEmitter(io.StringIO())
        with self.assertRaises(TypeError) as cm:
            emitter.emit((1, 2))
        self.assertIn("not all arguments converted", str(cm.exception))

    def test_globals_are_looked_up_at_use(self):
        saved = _yaml.ScalarEvent

        class Other:
            pass

        try:
            _yaml.ScalarEvent = Other
            emitter = _yaml.CEmitter(io.StringIO())
            emitter.emit(StreamStartEvent())
            emitter.emit(DocumentStartEvent())
            real = ScalarEvent(None, None, (True, True), "x")
            with self.assertRaises(TypeError) as cm:
                emitter.emit(real)
            self.assertEqual(str(cm.exception), "invalid event %s" % (real,))
            fake = Fake(Other, anchor=None, tag=None, value="v", implicit=(1, 1), style=None)
            emitter.emit(fake)  # accepted as a scalar now
        finally:
            _yaml.ScalarEvent = saved

    def test_missing_global_is_a_name_error(self):
        saved = _yaml.__dict__.pop("MappingEndEvent")
        try:
            emitter = _yaml.CEmitter(io.StringIO())
            with self.assertRaises(NameError) as cm:
                emitter.emit(MappingEndEvent())
            self.assertEqual(str(cm.exception), "name 'MappingEndEvent' is not defined")
            # A class found before the missing one still works.
            emitter.emit(StreamStartEvent())
        finally:
            _yaml.MappingEndEvent = saved

    def test_class_attribute_raising_propagates(self):
        class Boom:
            @property
            def __class__(self):
                raise LookupError("no class")

        with self.assertRaises(LookupError):
            _yaml.CEmitter(io.StringIO()).emit(Boom())


class AttributeOrder(unittest.TestCase):
    """Attributes are read in a fixed order and each is converted at once."""

    def test_read_order_of_each_class(self):
        ok_scalar = dict(anchor="a", tag=None, value="v", implicit=(1, 1), style=None)
        ok_collection = dict(anchor=None, tag=None, implicit=True, flow_style=False)
        cases = [
            (StreamStartEvent, dict(encoding="utf-8"), ["encoding", "encoding", "encoding"]),
            (StreamEndEvent, {}, []),
            (DocumentStartEvent, dict(version=None, tags=None, explicit=True),
             ["version", "tags", "explicit"]),
            (DocumentEndEvent, dict(explicit=False), ["explicit"]),
            (AliasEvent, dict(anchor="a"), ["anchor"]),
            (ScalarEvent, ok_scalar, ["anchor", "tag", "value", "implicit", "style"]),
            (SequenceStartEvent, ok_collection, ["anchor", "tag", "implicit", "flow_style"]),
            (MappingStartEvent, ok_collection, ["anchor", "tag", "implicit", "flow_style"]),
            (SequenceEndEvent, {}, []),
            (MappingEndEvent, {}, []),
        ]
        for cls, attrs, reads in cases:
            with self.subTest(cls.__name__):
                fake = Fake(cls, **attrs)
                try:
                    _yaml.CEmitter(io.StringIO()).emit(fake)
                except yaml.emitter.EmitterError as exc:
                    # Converted, then refused by libyaml for its place in
                    # the stream; the reads are what is checked here.
                    self.assertNotEqual(cls, StreamStartEvent, exc)
                self.assertEqual(fake.log, ["__class__"] + reads)

    def test_first_failing_attribute_decides(self):
        S, C = ScalarEvent, SequenceStartEvent
        cases = [
            ("scalar anchor", S, dict(anchor=1, tag=1, value=1), TypeError,
             "anchor must be a string", ["anchor"]),
            ("scalar tag", S, dict(anchor=None, tag=1, value=1), TypeError,
             "tag must be a string", ["anchor", "tag"]),
            ("scalar value", S, dict(anchor=None, tag=None, value=None, implicit="x"), TypeError,
             "value must be a string", ["anchor", "tag", "value"]),
            ("scalar implicit item", S, dict(anchor=None, tag=None, value="v", implicit=("1", 1)),
             TypeError, "an integer is required", ["anchor", "tag", "value", "implicit"]),
            ("scalar implicit too big", S,
             dict(anchor=None, tag=None, value="v", implicit=(1, 2 ** 40)), OverflowError,
             "value too large to convert to int", ["anchor", "tag", "value", "implicit"]),
            ("scalar style eq", S,
             dict(anchor=None, tag=None, value="v", implicit=None, style=BadEq()), ZeroDivisionError,
             None, ["anchor", "tag", "value", "implicit", "style"]),
            ("alias anchor None", AliasEvent, dict(anchor=None), TypeError,
             "anchor must be a string", ["anchor"]),
            ("alias anchor str subclass", AliasEvent, dict(anchor=StrSub("a")), TypeError,
             "anchor must be a string", ["anchor"]),
            ("sequence tag", C, dict(anchor=b"a", tag=bytearray(b"t")), TypeError,
             "tag must be a string", ["anchor", "tag"]),
            ("sequence implicit truth", C, dict(anchor=None, tag=None, implicit=BadBool()),
             ZeroDivisionError, None, ["anchor", "tag", "implicit"]),
            ("mapping flow truth", MappingStartEvent,
             dict(anchor=None, tag=None, implicit=True, flow_style=BadBool()), ZeroDivisionError,
             None, ["anchor", "tag", "implicit", "flow_style"]),
            ("mapping missing attribute", MappingStartEvent, dict(anchor=None), AttributeError,
             None, ["anchor", "tag"]),
            ("document version item", DocumentStartEvent, dict(version=("1", 1)), TypeError,
             "an integer is required", ["version"]),
            ("document version minor", DocumentStartEvent, dict(version=(1, 2 ** 33)),
             OverflowError, "value too large to convert to int", ["version"]),
            ("document handle", DocumentStartEvent, dict(version=None, tags={1: "x"}),
             TypeError, "tag handle must be a string", ["version"] + ["tags"] * 4),
            ("document prefix", DocumentStartEvent, dict(version=None, tags={"!a!": None}),
             TypeError, "tag prefix must be a string", ["version"] + ["tags"] * 4),
            ("document explicit", DocumentStartEvent,
             dict(version=None, tags=None, explicit=BadBool()), ZeroDivisionError, None,
             ["version", "tags", "explicit"]),
            ("document end explicit", DocumentEndEvent, dict(explicit=BadBool()),
             ZeroDivisionError, None, ["explicit"]),
            ("unencodable str", S, dict(anchor="\udc80"), UnicodeEncodeError, None, ["anchor"]),
            ("attribute raises", S, dict(anchor=None, tag=KeyError("tag")), KeyError, None,
             ["anchor", "tag"]),
        ]
        for label, cls, attrs, exc, message, reads in cases:
            with self.subTest(label):
                fake = Fake(cls, **attrs)
                out = io.StringIO()
                emitter = _yaml.CEmitter(out)
                with self.assertRaises(exc) as cm:
                    emitter.emit(fake)
                if message is not None:
                    self.assertEqual(str(cm.exception), message)
                self.assertEqual(fake.log, ["__class__"] + reads)
                # Nothing reached libyaml: a stream start is still expected.
                emitter.emit(StreamStartEvent())

    def test_tags_read_again_for_length_iteration_and_subscripts(self):
        fake = Fake(DocumentStartEvent, version=None, tags={"!a!": "tag:a,1:", "!b!": "tag:b,1:"},
                    explicit=False)
        out = io.StringIO()
        emitter = _yaml.CEmitter(out)
        emitter.emit(StreamStartEvent())
        emitter.emit(fake)
        self.assertEqual(fake.log, ["__class__", "version"] + ["tags"] * 5 + ["explicit"])
        for event in [ScalarEvent(None, None, (1, 1), "x"), DocumentEndEvent(), StreamEndEvent()]:
            emitter.emit(event)
        self.assertEqual(out.getvalue(), "%TAG !a! tag:a,1:\n%TAG !b! tag:b,1:\n--- x\n")

    def test_stream_start_encoding_read_for_each_comparison(self):
        fake = Fake(StreamStartEvent, encoding="utf-16-le")
        _yaml.CEmitter(io.StringIO()).emit(fake)
        self.assertEqual(fake.log, ["__class__", "encoding", "encoding"])


class BadBool:
    def __bool__(self):
        raise ZeroDivisionError("truth")


class BadEq:
    def __eq__(self, other):
        raise ZeroDivisionError("eq")

    __hash__ = object.__hash__


class StrSub(str):
    pass


class BytesSub(bytes):
    pass


class StringRule(unittest.TestCase):
    def test_value_types(self):
        cases = [
            ("str", "x", "x\n"),
            ("bytes", b"x", "x\n"),
            ("non-ascii str", "\u00e9", '"\\xE9"\n'),
            ("utf-8 bytes", "\u00e9".encode(), '"\\xE9"\n'),
        ]
        for label, value, text in cases:
            with self.subTest(label):
                self.assertEqual(emitted_text(ScalarEvent(None, None, (1, 1), value)), text)
        for label, value in [("str subclass", StrSub("x")), ("bytes subclass", BytesSub(b"x")),
                             ("None", None), ("int", 1), ("bytearray", bytearray(b"x"))]:
            with self.subTest(label):
                with self.assertRaises(TypeError) as cm:
                    emitted_text(ScalarEvent(None, None, (1, 1), value))
                self.assertEqual(str(cm.exception), "value must be a string")

    def test_bytes_with_nul_keep_their_length(self):
        self.assertEqual(emitted_text(ScalarEvent(None, None, (1, 1), b"a\0b", style='"')),
                         '"a\\0b"\n')

    def test_anchor_and_tag_may_be_none_or_bytes(self):
        text = emitted_text(SequenceStartEvent(b"s", None, True),
                            ScalarEvent("a", b"!t", (0, 0), "x"),
                            AliasEvent(b"a"), SequenceEndEvent())
        self.assertEqual(text, "&s\n- &a !t x\n- *a\n")

    def test_invalid_utf8_is_refused_by_the_initialiser(self):
        cases = [
            ("scalar value", ScalarEvent(None, None, (1, 1), b"\xff")),
            ("scalar anchor", ScalarEvent(b"\xff", None, (1, 1), "x")),
            ("alias anchor", AliasEvent(b"\xff")),
            ("sequence tag", SequenceStartEvent(None, b"!\xff", False)),
            ("mapping anchor", MappingStartEvent(b"\xfe", None, True)),
            ("tag prefix", DocumentStartEvent(tags={"!a!": b"\xff"})),
        ]
        for label, event in cases:
            with self.subTest(label):
                emitter = _yaml.CEmitter(io.StringIO())
                emitter.emit(StreamStartEvent())
                with self.assertRaises(MemoryError) as cm:
                    emitter.emit(event)
                self.assertEqual(cm.exception.args, ())

    @unittest.skipUnless(
        (os.sysconf("SC_PAGE_SIZE") * os.sysconf("SC_AVPHYS_PAGES")) >= 8 * 2 ** 30,
        "needs 8 GiB of free memory for a 2 GiB scalar")
    def test_value_longer_than_c_int_is_refused(self):
        big = bytes(2 ** 31)
        try:
            emitter = _yaml.CEmitter(io.StringIO())
            with self.assertRaises(OverflowError) as cm:
                emitter.emit(ScalarEvent(None, None, (1, 1), big))
            self.assertIn("scalar value too long", str(cm.exception))
        finally:
            del big


class Styles(unittest.TestCase):
    def test_scalar_style_table(self):
        cases = [(None, "x\n"), ("", "x\n"), ("x", "x\n"), ("'", "'x'\n"), ('"', '"x"\n'),
                 ("|", "|-\n  x\n"), (">", ">-\n  x\n")]
        for style, text in cases:
            with self.subTest(style=style):
                self.assertEqual(
                    emitted_text(ScalarEvent(None, None, (1, 1), "x", style=style)), text)

    def test_collection_flow_style(self):
        cases = [(True, "[x]\n"), (1, "[x]\n"), (None, "- x\n"), (False, "- x\n"), ("", "- x\n")]
        for flow, text in cases:
            with self.subTest(flow=flow):
                self.assertEqual(
                    emitted_text(SequenceStartEvent(None, None, True, flow_style=flow),
                                 ScalarEvent(None, None, (1, 1), "x"), SequenceEndEvent()), text)
        self.assertEqual(
            emitted_text(MappingStartEvent(None, None, True, flow_style=True),
                         ScalarEvent(None, None, (1, 1), "k"), ScalarEvent(None, None, (1, 1), "v"),
                         MappingEndEvent()), "{k: v}\n")


class ImplicitFlags(unittest.TestCase):
    def test_scalar_implicit(self):
        cases = [
            ("None: both 0, a tag is then needed", None, None, "error"),
            ("None with a tag", None, "!t", "!t x\n"),
            ("plain only", (True, False), "!t", "x\n"),
            ("quoted only: quoted without the tag", (False, True), "!t", "'x'\n"),
            ("plain flag 2", (2, 0), "!t", "x\n"),
            ("neither", (False, False), "!t", "!t x\n"),
        ]
        for label, implicit, tag, text in cases:
            with self.subTest(label):
                event = ScalarEvent(None, tag, implicit, "x")
                if text == "error":
                    with self.assertRaises(yaml.emitter.EmitterError) as cm:
                        emitted_text(event)
                    self.assertEqual(str(cm.exception),
                                     "neither tag nor implicit flags are specified")
                else:
                    self.assertEqual(emitted_text(event), text)

    def test_collection_implicit_is_truth(self):
        cases = [((False,), "[]\n"), (True, "[]\n"), (False, "!t []\n"), ((), "!t []\n"),
                 (0, "!t []\n")]
        for implicit, text in cases:
            with self.subTest(implicit=implicit):
                self.assertEqual(
                    emitted_text(SequenceStartEvent(None, "!t", implicit, flow_style=True),
                                 SequenceEndEvent()), text)


class DocumentDirectives(unittest.TestCase):
    def test_version_and_explicit(self):
        cases = [
            ("none", dict(), "x\n"),
            ("explicit", dict(explicit=True), "--- x\n"),
            ("version", dict(version=(1, 1)), "%YAML 1.1\n--- x\n"),
            ("version through __int__", dict(version=[1.9, 1.2]), "%YAML 1.1\n--- x\n"),
            ("false version", dict(version=()), "x\n"),
        ]
        for label, start, text in cases:
            with self.subTest(label):
                self.assertEqual(emitted_text(ScalarEvent(None, None, (1, 1), "x"), **start), text)

    def test_document_end_explicit(self):
        out = emit_all([StreamStartEvent(), DocumentStartEvent(),
                        ScalarEvent(None, None, (1, 1), "x"), DocumentEndEvent(explicit=True),
                        StreamEndEvent()])
        self.assertEqual(out.getvalue(), "x\n...\n")

    def test_tag_directive_limits(self):
        def tags(n):
            return {"!t%d!" % i: "tag:t%d," % i for i in range(n)}

        emitter = _yaml.CEmitter(io.StringIO())
        emitter.emit(StreamStartEvent())
        emitter.emit(DocumentStartEvent(tags=tags(128)))  # exactly full
        for label, value in [("129 str", tags(129)),
                             ("129 bad handles", {i: "x" for i in range(129)})]:
            with self.subTest(label):
                with self.assertRaises(ValueError) as cm:
                    _yaml.CEmitter(io.StringIO()).emit(DocumentStartEvent(tags=value))
                self.assertEqual(str(cm.exception), "too many tags")

    def test_iteration_longer_than_length_cannot_overrun(self):
        class Liar:
            def __len__(self):
                return 1

            def __iter__(self):
                return iter("!t%d!" % i for i in range(1000))

            def __getitem__(self, key):
                return "tag:x,1:"

        with self.assertRaises(ValueError) as cm:
            _yaml.CEmitter(io.StringIO()).emit(DocumentStartEvent(tags=Liar()))
        self.assertEqual(str(cm.exception), "too many tags")

    def test_directive_errors(self):
        cases = [
            ("int handle", {1: "x"}, TypeError, "tag handle must be a string"),
            ("None prefix", {"!a!": None}, TypeError, "tag prefix must be a string"),
            ("str subclass prefix", {"!a!": StrSub("p")}, TypeError, "tag prefix must be a string"),
            ("len raises", type("L", (), {"__bool__": lambda s: True,
                                          "__len__": lambda s: 1 // 0})(),
             ZeroDivisionError, None),
        ]
        for label, value, exc, message in cases:
            with self.subTest(label):
                with self.assertRaises(exc) as cm:
                    _yaml.CEmitter(io.StringIO()).emit(DocumentStartEvent(tags=value))
                if message:
                    self.assertEqual(str(cm.exception), message)


class StreamEncoding(unittest.TestCase):
    def stream_output(self, stream, encoding):
        emitter = _yaml.CEmitter(stream)
        for event in [StreamStartEvent(encoding=encoding), DocumentStartEvent(),
                      ScalarEvent(None, None, (1, 1), "x"), DocumentEndEvent(), StreamEndEvent()]:
            emitter.emit(event)

    def test_encoding_table_and_text_output(self):
        cases = [
            ("utf-16-le bytes", ByteSink, "utf-16-le", [b"\xff\xfex\x00\n\x00"]),
            ("utf-16-be bytes", ByteSink, "utf-16-be", [b"\xfe\xff\x00x\x00\n"]),
            ("utf-8 bytes", ByteSink, "utf-8", [b"x\n"]),
            ("unknown name is utf-8", ByteSink, "latin-1", [b"x\n"]),
            ("None switches to text", ByteSink, None, ["x\n"]),
            ("text stream stays utf-8", io.StringIO, "utf-16-le", "x\n"),
        ]
        for label, make, encoding, expected in cases:
            with self.subTest(label):
                stream = make()
                self.stream_output(stream, encoding)
                got = stream.chunks if isinstance(stream, ByteSink) else stream.getvalue()
                self.assertEqual(got, expected)

    def test_failed_conversion_keeps_text_output(self):
        def encoding(count):
            if count < 3:
                return None
            raise KeyError("third read")

        sink = ByteSink()
        emitter = _yaml.CEmitter(sink)
        with self.assertRaises(KeyError):
            emitter.emit(Fake(StreamStartEvent, computed=["encoding"], encoding=encoding))
        for event in [StreamStartEvent(encoding="utf-16-le"), DocumentStartEvent(),
                      ScalarEvent(None, None, (1, 1), "x"), DocumentEndEvent(), StreamEndEvent()]:
            emitter.emit(event)
        self.assertEqual(sink.chunks, [b"\xff\xfex\x00\n\x00"])


class EmitFailures(unittest.TestCase):
    def test_libyaml_refusals_become_emitter_errors(self):
        cases = [
            ("no stream start", [DocumentStartEvent(), ScalarEvent(None, None, (1, 1), "x")],
             "expected STREAM-START"),
            ("stream end inside a document",
             [StreamStartEvent(), DocumentStartEvent(), StreamEndEvent(), StreamEndEvent()],
             "expected SCALAR, SEQUENCE-START, MAPPING-START, or ALIAS"),
            ("empty anchor", [StreamStartEvent(), DocumentStartEvent(),
                              ScalarEvent("", None, (1, 1), "x"), DocumentEndEvent()],
             "anchor value must not be empty"),
        ]
        for label, events, message in cases:
            with self.subTest(label):
                with self.assertRaises(yaml.emitter.EmitterError) as cm:
                    emit_all(events)
                if message:
                    self.assertEqual(str(cm.exception), message)

    def test_write_errors_come_out_unchanged(self):
        for fail_at in (1, 2):
            with self.subTest(fail_at=fail_at):
                error = OSError("disk full")
                calls = []

                class Stream:
                    def write(self, data):
                        calls.append(data)
                        if len(calls) == fail_at:
                            raise error

                emitter = _yaml.CEmitter(Stream())
                emitter.emit(StreamStartEvent())
                raised = None
                events = []
                for i in range(2):
                    events += [DocumentStartEvent(explicit=True),
                               ScalarEvent(None, None, (1, 1), "d%d" % i), DocumentEndEvent()]
                try:
                    for event in events + [StreamEndEvent()]:
                        emitter.emit(event)
                except OSError as exc:
                    raised = exc
                self.assertIs(raised, error)
                self.assertEqual(len(calls), fail_at)

    def test_text_stream_receives_str(self):
        seen = []

        class Stream:
            encoding = "utf-8"

            def write(self, data):
                seen.append(type(data))

        emit_all(document(ScalarEvent(None, None, (1, 1), "\u20ac")), Stream())
        self.assertEqual(seen, [str])

    def test_emit_ignores_the_serializer_state(self):
        out = io.StringIO()
        emitter = _yaml.CEmitter(out)
        for event in document(ScalarEvent(None, None, (1, 1), "x")):
            emitter.emit(event)
        self.assertEqual(out.getvalue(), "x\n")
        with self.assertRaises(yaml.serializer.SerializerError):
            emitter.close()  # still "not opened"


class ReentryAndLifecycle(unittest.TestCase):
    def test_uninitialised_instance_refuses(self):
        emitter = _yaml.CEmitter.__new__(_yaml.CEmitter)
        for name, args in [("emit", (StreamStartEvent(),)), ("open", ()), ("close", ()),
                           ("serialize", (None,))]:
            with self.subTest(name):
                with self.assertRaises(RuntimeError):
                    getattr(emitter, name)(*args)

    def test_failed_init_refuses(self):
        class RaisingEncoding(ByteSink):
            @property
            def encoding(self):
                raise KeyError("encoding")

        # Each option is checked after the libyaml emitter is initialised.
        failures = [
            ("stream encoding", lambda s: ((RaisingEncoding(),), {}), KeyError),
            ("canonical", lambda s: ((s,), {"canonical": BadBool()}), ZeroDivisionError),
            ("indent", lambda s: ((s,), {"indent": "2"}), TypeError),
            ("width", lambda s: ((s,), {"width": 2 ** 40}), OverflowError),
            ("allow_unicode", lambda s: ((s,), {"allow_unicode": BadBool()}), ZeroDivisionError),
            ("line_break", lambda s: ((s,), {"line_break": BadEq()}), ZeroDivisionError),
            ("explicit_start", lambda s: ((s,), {"explicit_start": BadBool()}), ZeroDivisionError),
            ("explicit_end", lambda s: ((s,), {"explicit_end": BadBool()}), ZeroDivisionError),
        ]
        message = "the emitter is not initialised: CEmitter.__init__ was not called or failed"
        calls = [("emit", lambda e: e.emit(StreamStartEvent())), ("open", lambda e: e.open()),
                 ("serialize", lambda e: e.serialize(ScalarNode("tag:yaml.org,2002:str", "x"))),
                 ("close", lambda e: e.close())]

        def fresh():
            return _yaml.CEmitter.__new__(_yaml.CEmitter)

        def opened():
            emitter = _yaml.CEmitter(io.StringIO())
            emitter.open()
            return emitter

        for start, make in [("fresh", fresh), ("opened", opened)]:
            for label, arguments, error in failures:
                for name, call in calls:
                    with self.subTest(start=start, option=label, method=name):
                        emitter = make()
                        sink = ByteSink()
                        args, kwargs = arguments(sink)
                        with self.assertRaises(error):
                            emitter.__init__(*args, **kwargs)
                        with self.assertRaises(RuntimeError) as cm:
                            call(emitter)
                        self.assertEqual(str(cm.exception), message)
                        self.assertEqual(sink.chunks, [])
        # A later successful __init__ makes the instance usable again.
        emitter = fresh()
        with self.assertRaises(TypeError):
            emitter.__init__(io.StringIO(), indent="2")
        out = io.StringIO()
        emitter.__init__(out)
        body = ScalarEvent(None, None, (1, 1), "x")
        for event in document(body):
            emitter.emit(event)
        self.assertEqual(out.getvalue(), emitted_text(body))

    def test_property_calling_back_is_refused(self):
        emitter = _yaml.CEmitter(io.StringIO())
        calls = {
            "emit": lambda: emitter.emit(StreamEndEvent()),
            "open": emitter.open,
            "close": emitter.close,
            "serialize": lambda: emitter.serialize(None),
            "__init__": lambda: emitter.__init__(io.StringIO()),
        }
        for name, call in calls.items():
            with self.subTest(name):
                def encoding(count, call=call):
                    call()
                    return None

                with self.assertRaises(RuntimeError) as cm:
                    emitter.emit(Fake(StreamStartEvent, computed=["encoding"], encoding=encoding))
                self.assertIn("already running", str(cm.exception))
        # The emitter is still usable afterwards.
        for event in document(ScalarEvent(None, None, (1, 1), "x")):
            emitter.emit(event)

    def test_write_calling_back_is_refused(self):
        holder = {}
        seen = []

        class Stream:
            def write(self, data):
                try:
                    holder["emitter"].emit(StreamEndEvent())
                except RuntimeError as exc:
                    seen.append(str(exc))
                    raise

        holder["emitter"] = emitter = _yaml.CEmitter(Stream())
        with self.assertRaises(RuntimeError):
            for event in document(ScalarEvent(None, None, (1, 1), "x")):
                emitter.emit(event)
        self.assertEqual(len(seen), 1)
        self.assertIn("already running", seen[0])


if __name__ == "__main__":
    unittest.main()
