"""Parser input: strings, bytes and file-like objects, the read protocol,
the encoding reported, and the entry checks of every parsing method."""

import unittest

from tests.support.project import own_modules

import yaml
import yaml._yaml as ext

own_modules()  # refuses a yaml or native module from outside the project

from tests.parser_helpers import ChunkedStream, ResultStream  # noqa: E402

DOC = "- a\n- [b, 'é']\n"
EXPECTED_EVENTS = ["StreamStartEvent", "DocumentStartEvent", "SequenceStartEvent", "ScalarEvent",
                   "SequenceStartEvent", "ScalarEvent", "ScalarEvent", "SequenceEndEvent",
                   "SequenceEndEvent", "DocumentEndEvent", "StreamEndEvent"]
METHODS = ("raw_scan", "get_token", "peek_token", "check_token", "raw_parse", "get_event",
           "peek_event", "check_event", "check_node", "get_node", "get_single_node")


def event_summary(parser):
    out = []
    while True:
        event = parser.get_event()
        if event is None:
            return out
        out.append((type(event).__name__, getattr(event, "value", None)))


class StrSub(str):
    pass


class BytesSub(bytes):
    pass


class InputKindTest(unittest.TestCase):
    def test_every_kind_gives_the_same_events(self):
        encoded = DOC.encode("utf-8")
        kinds = {
            "str": DOC,
            "bytes": encoded,
            "bytes chunks": ChunkedStream(encoded, chunk=2),
            "str chunks": ChunkedStream(DOC, chunk=2),
            "one byte": ChunkedStream(encoded, chunk=1),
        }
        for kind, source in kinds.items():
            with self.subTest(kind=kind):
                summary = event_summary(yaml.CLoader(source))
                self.assertEqual([name for name, _ in summary], EXPECTED_EVENTS)
                self.assertEqual([v for _, v in summary if v is not None], ["a", "b", "é"])

    def test_encoding_reported_at_stream_start(self):
        table = [
            ("", None),
            (b"", "utf-8"),
            (b"a", "utf-8"),
            (b"\xff\xfe" + "a".encode("utf-16-le"), "utf-16-le"),
            (b"\xfe\xff" + "a".encode("utf-16-be"), "utf-16-be"),
            (ChunkedStream("a"), None),
            (ChunkedStream(b"a"), "utf-8"),
        ]
        for source, encoding in table:
            with self.subTest(source=source):
                self.assertEqual(yaml.CLoader(source).get_event().encoding, encoding)
                if isinstance(source, ChunkedStream):
                    source.pos = 0
                    source.sizes = []
                self.assertEqual(yaml.CLoader(source).get_token().encoding, encoding)

    def test_read_gets_the_room_libyaml_offers(self):
        stream = ChunkedStream(b"a: b\n", chunk=100)
        yaml.CLoader(stream).raw_parse()
        self.assertTrue(stream.sizes)
        self.assertTrue(all(type(size) is int and size > 0 for size in stream.sizes))

    def test_long_chunk_is_handed_over_across_calls(self):
        # read returns far more than asked: the rest is kept and read is not
        # called again until all of it reached libyaml.
        big = "[" + ", ".join("x%d" % i for i in range(20000)) + "]"
        stream = ResultStream(big, "")
        parser = yaml.CLoader(stream)
        self.assertEqual(parser.raw_parse(), 20000 + 6)
        self.assertEqual(len(stream.sizes), 2)
        self.assertLess(stream.sizes[0], len(big))

    def test_empty_chunk_ends_the_input(self):
        for empty in ("", b""):
            with self.subTest(empty=empty):
                stream = ResultStream(b"a", empty, b"- never\n")
                self.assertEqual([n for n, _ in event_summary(yaml.CLoader(stream))],
                                 ["StreamStartEvent", "DocumentStartEvent", "ScalarEvent",
                                  "DocumentEndEvent", "StreamEndEvent"])
                self.assertEqual(len(stream.sizes), 2)

    def test_read_result_of_the_wrong_type(self):
        for bad in (None, bytearray(b"a"), memoryview(b"a"), StrSub("a"), BytesSub(b"a"), 1):
            with self.subTest(bad=bad):
                parser = yaml.CLoader(ResultStream(bad))
                with self.assertRaises(TypeError) as cm:
                    parser.get_event()
                self.assertEqual(str(cm.exception), "a string value is expected")

    def test_wrong_type_after_good_chunks(self):
        parser = yaml.CLoader(ResultStream(b"- a\n", "- b\n", None))
        with self.assertRaises(TypeError) as cm:
            parser.raw_parse()
        self.assertEqual(str(cm.exception), "a string value is expected")

    def test_unencodable_str_chunk(self):
        with self.assertRaises(UnicodeEncodeError):
            yaml.CLoader(ResultStream("a\ud800")).raw_scan()

    def test_read_raising_first_and_later(self):
        for fail_at in (0, 1, 4):
            with self.subTest(fail_at=fail_at):
                error = ConnectionError("gone")
                stream = ChunkedStream(b"- a\n- b\n- c\n", chunk=2, fail_at=fail_at, exc=error)
                with self.assertRaises(ConnectionError) as cm:
                    yaml.CLoader(stream).raw_parse()
                self.assertIs(cm.exception, error)
                self.assertEqual(len(stream.sizes), fail_at + 1)

    def test_read_not_callable(self):
        class Stream:
            read = 3

        with self.assertRaises(TypeError):
            yaml.CLoader(Stream()).get_event()

    def test_input_name_in_marks(self):
        table = [("a", "<unicode string>"), (b"a", "<byte string>"), (ChunkedStream(b"a"), "<file>"),
                 (ChunkedStream(b"a", name="f.yaml"), "f.yaml"), (ChunkedStream(b"a", name=5), 5)]
        for source, name in table:
            with self.subTest(name=name):
                parser = yaml.CLoader(source)
                self.assertEqual(parser.get_event().start_mark.name, name)
                if isinstance(name, int):
                    self.assertIs(parser.get_event().start_mark.name, source.name)


class EntryCheckTest(unittest.TestCase):
    def test_uninitialised_instance(self):
        for method in METHODS:
            with self.subTest(method=method):
                parser = ext.CParser.__new__(ext.CParser)
                with self.assertRaises(RuntimeError):
                    getattr(parser, method)()

    def test_failed_init(self):
        for bad in (1, bytearray(b"a"), StrSub("a"), BytesSub(b"a")):
            parser = ext.CParser.__new__(ext.CParser)
            with self.assertRaises(TypeError):
                parser.__init__(bad)
            for method in METHODS:
                with self.subTest(bad=bad, method=method):
                    with self.assertRaises(RuntimeError):
                        getattr(parser, method)()

    def test_reentry_from_read(self):
        for method in METHODS:
            with self.subTest(method=method):
                seen = []

                class Stream:
                    def read(self, size):
                        try:
                            getattr(parser, method)()
                        except RuntimeError as exc:
                            seen.append(exc)
                        return self.data.pop(0) if self.data else b""

                stream = Stream()
                stream.data = [b"[a, b]"]
                parser = yaml.CLoader(stream)
                self.assertEqual(parser.raw_parse(), 8)
                self.assertEqual(len(seen), 2)

    def test_reentry_from_an_event_class(self):
        real = ext.ScalarEvent
        calls = []

        def scalar(*args):
            for method in METHODS:
                try:
                    getattr(parser, method)()
                except RuntimeError:
                    calls.append(method)
            return real(*args)

        ext.ScalarEvent = scalar
        try:
            parser = yaml.CLoader("a")
            self.assertEqual([n for n, _ in event_summary(parser)][2], "ScalarEvent")
        finally:
            ext.ScalarEvent = real
        self.assertEqual(calls, list(METHODS))

    def test_init_again_restarts(self):
        parser = yaml.CLoader("a")
        parser.get_event()
        parser.__init__("[b]")
        self.assertEqual(parser.raw_parse(), 7)


def mark_summary(mark):
    return (mark.name, mark.index, mark.line, mark.column)


def item_summary(item):
    return (type(item).__name__, getattr(item, "value", None), getattr(item, "encoding", None),
            mark_summary(item.start_mark))


def node_summary(node):
    value = node.value
    if isinstance(value, list):
        value = [node_summary(v) if not isinstance(v, tuple) else tuple(map(node_summary, v))
                 for v in value]
    return (type(node).__name__, node.tag, value, mark_summary(node.start_mark))


def drain(check, get, summary=item_summary):
    out = []
    while check():
        out.append(summary(get()))
    return out


def drain_events(parser):
    return drain(parser.check_event, parser.get_event)


def drain_tokens(parser):
    return drain(parser.check_token, parser.get_token)


def drain_nodes(parser):
    return drain(parser.check_node, parser.get_node, node_summary)


class ReinitTest(unittest.TestCase):
    """A second __init__ leaves nothing of the first input behind: the
    look-ahead slots, the composer's raw event, the pending read chunk and
    the text-input flag all start over."""

    def test_second_init_behaves_like_a_fresh_parser(self):
        def text_stream():
            return ChunkedStream("- x\n", chunk=2)

        def byte_stream():
            return ChunkedStream(b"- y\n", chunk=2)

        def long_read():
            # One read longer than libyaml asks for: the rest stays pending.
            return ResultStream(b"#" * 40000 + b"\nold: 1\n")

        def call(method):
            return lambda parser: getattr(parser, method)()

        table = [
            # (label, first input, what is done with it, second input, layer)
            ("peek_event", lambda: b"old", call("peek_event"), lambda: "[new]", drain_events),
            ("check_event", lambda: b"old", call("check_event"), lambda: "[new]", drain_events),
            ("get_event", lambda: b"old", call("get_event"), lambda: "[new]", drain_events),
            ("peek_token", lambda: b"old", call("peek_token"), lambda: "[new]", drain_tokens),
            ("check_token", lambda: b"old", call("check_token"), lambda: "[new]", drain_tokens),
            ("check_node", lambda: b"old", call("check_node"), lambda: "[new]", drain_nodes),
            ("str then bytes", lambda: "old", call("get_event"), lambda: b"new", drain_events),
            ("str then bytes, untouched", lambda: "old", lambda p: None, lambda: b"new", drain_events),
            ("str then byte stream", lambda: "old", call("get_event"), byte_stream,
             drain_events),
            ("text stream then bytes", text_stream, call("get_event"), lambda: b"new",
             drain_events),
            ("text stream then bytes, tokens", text_stream, call("get_token"),
             lambda: b"new", drain_tokens),
            ("bytes then str", lambda: b"old", call("get_event"), lambda: "new", drain_events),
            ("pending chunk then stream", long_read, call("get_event"), byte_stream,
             drain_events),
        ]
        for label, first, prime, second, drain in table:
            with self.subTest(label):
                parser = yaml.Loader(first())
                prime(parser)
                parser.__init__(second())
                self.assertEqual(drain(parser), drain(yaml.Loader(second())))


if __name__ == "__main__":
    unittest.main()
