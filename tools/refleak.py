"""Reference and memory-block leak check for every public operation.

Runs under a debug interpreter (sys.gettotalrefcount), e.g. Debian's
python3.11-dbg with the extension built for it:

    PYTHONPATH=build/dbg/stage:. python3.11-dbg -P tools/refleak.py

Every operation runs in a loop: a few warm-up rounds, then ROUNDS rounds of
REPEAT calls, with sys.gettotalrefcount() and sys.getallocatedblocks() read
after each round. An operation leaks when every measured round adds
references, or every round adds blocks. The totals of the whole table are
printed per round as well and must come back to the same values.

With --once, every operation runs a single time on any interpreter (the
representative workload of tools/valgrind-check.sh).
"""

import array
import gc
import io
import pickle
import sys

from tests.support.project import inside_repo
from tests.support.streams import ChunkedStream, ResultStream
from tests.support.workloads import every_event

import yaml
import yaml._speedups as speedups
import yaml._yaml as ext
from yaml.composer import ComposerError
from yaml.emitter import EmitterError
from yaml.events import (DocumentStartEvent, MappingStartEvent, ScalarEvent,
                         StreamEndEvent, StreamStartEvent)
from yaml.nodes import MappingNode, ScalarNode, SequenceNode
from yaml.parser import ParserError
from yaml.reader import ReaderError
from yaml.scanner import ScannerError
from yaml.serializer import SerializerError
from yaml.tokens import ScalarToken

WARMUP, ROUNDS, REPEAT = 20, 8, 20
LONG_WARMUP = 50  # rounds of REPEAT calls before the pickling entry

DOC = """\
%YAML 1.1
%TAG !e! tag:example.com,2000:
---
anchored: &a [1, 2, {k: v, "q": 'single'}]
alias: *a
tagged: !e!thing "quoted \\u00e9"
block: |
  literal
folded: >-
  folded
? complex
: - &b item
  - *b
--- second
"""
SINGLE = "a: &x [1, 2]\nb: *x\nc: !!str 3\nk: v\n"


class Sink:
    def __init__(self, fail=None):
        self.chunks, self.fail = [], fail

    def write(self, data):
        if self.fail is not None:
            raise self.fail
        self.chunks.append(data)


def expect(exc_type, fn, *args, **kwargs):
    """Calls fn(*args, **kwargs), which must raise exc_type."""
    try:
        fn(*args, **kwargs)
    except exc_type:
        return
    raise AssertionError("%s did not raise %s" % (getattr(fn, "__name__", fn), exc_type))


def sources(text):
    data = text.encode("utf-8")
    return [text, data, io.StringIO(text), io.BytesIO(data), ChunkedStream(text, 5), ChunkedStream(data, 3)]


# -- parser operations -------------------------------------------------------

def all_tokens(source):
    parser = yaml.CLoader(source)
    while parser.check_token():
        parser.check_token(ScalarToken, yaml.tokens.KeyToken)
        parser.peek_token()
        parser.get_token()
    parser.get_token()


def all_events(source):
    parser = yaml.CLoader(source)
    while parser.check_event():
        parser.check_event(ScalarEvent, MappingStartEvent)
        parser.peek_event()
        parser.get_event()
    parser.get_event()


def all_nodes(source):
    parser = yaml.CLoader(source)
    while parser.check_node():
        parser.get_node()
    parser.get_node()


def raw(source_factory):
    ext.CParser(source_factory()).raw_scan()
    ext.CParser(source_factory()).raw_parse()


def levels_over_every_input():
    for make in (all_tokens, all_events, all_nodes):
        for source in sources(DOC):
            make(source)
    for source in sources(SINGLE):
        yaml.CLoader(source).get_single_node()
    raw(lambda: DOC)
    raw(lambda: ChunkedStream(DOC.encode("utf-8"), 5))


FAILING = [
    ("a: b: c", ScannerError),
    ("[a", ParserError),
    ('"unterminated', ScannerError),
    (b"a: \xff\xfe bad utf-8", ReaderError),
    ("--- !<x y", ScannerError),
]


def failing_inputs():
    for text, error in FAILING:
        for level in (all_tokens, all_events, all_nodes):
            if level is all_tokens and error is ParserError:
                continue
            expect(error, level, text)
            expect(error, level, ChunkedStream(text, 2))
        expect(error, ext.CParser(text).raw_parse)
    expect(ComposerError, all_nodes, "a: *undefined\n")
    expect(ComposerError, yaml.CLoader("a\n--- b\n").get_single_node)
    expect(ComposerError, all_nodes, "a: &x 1\nb: &x 2\nc: *x\n" + "d: *y\n")


def failing_reads():
    expect(ZeroDivisionError, all_events, ResultStream(b"a: [", ZeroDivisionError("read")))
    expect(ZeroDivisionError, all_tokens, ResultStream(ZeroDivisionError("first read")))
    expect(TypeError, all_events, ResultStream(42))
    expect(TypeError, all_nodes, ResultStream("a: ", [b"a list"]))
    expect(TypeError, all_events, ResultStream(b"a: ", None))
    all_events(ResultStream("text ", b"then bytes"))
    expect(ZeroDivisionError, ext.CParser(ResultStream(b"x", ZeroDivisionError())).raw_scan)


class Raising:
    def __init__(self, *args, **kwargs):
        raise LookupError("host class refuses")


def with_global(name, replacement, fn, *args):
    saved = getattr(ext, name)
    setattr(ext, name, replacement)
    try:
        # LookupError from the class itself; TypeError where the rebound
        # global is also what the resolver compares node kinds with.
        expect((LookupError, TypeError), fn, *args)
    finally:
        setattr(ext, name, saved)


def host_classes_raising():
    with_global("ScalarToken", Raising, all_tokens, DOC)
    with_global("ScalarEvent", Raising, all_events, DOC)
    with_global("MappingStartEvent", Raising, all_events, ChunkedStream(DOC, 5))
    with_global("ScalarNode", Raising, all_nodes, DOC)
    with_global("SequenceNode", Raising, all_nodes, DOC)
    with_global("ScannerError", Raising, all_events, "a: b: c")
    with_global("ParserError", Raising, all_events, "[a")
    with_global("ComposerError", Raising, all_nodes, "a: *undefined")
    with_global("EmitterError", Raising, ext.CEmitter(io.StringIO()).emit, ScalarEvent(None, None, (True, True), "v"))


class ResolveRaises(yaml.CLoader):
    def resolve(self, kind, value, implicit):
        if value == "v":
            raise LookupError("resolver refuses")
        return super().resolve(kind, value, implicit)


class DescendRaises(yaml.CLoader):
    def descend_resolver(self, parent, index):
        if index is not None and index != 0:
            raise LookupError("descend refuses")


class AscendRaises(yaml.CLoader):
    def ascend_resolver(self):
        raise LookupError("ascend refuses")


def resolvers_raising():
    for cls in (ResolveRaises, DescendRaises, AscendRaises):
        parser = cls(DOC)
        expect(LookupError, lambda: [parser.get_node() for _ in iter(parser.check_node, False)])
        expect(LookupError, cls(SINGLE).get_single_node)


def parser_argument_errors():
    expect(TypeError, ext.CParser)
    expect(TypeError, ext.CParser, "a", "b")
    expect(TypeError, ext.CParser, stream="a", extra=1)
    expect(TypeError, ext.CParser, 42)
    parser = ext.CParser("a")
    expect(TypeError, parser.get_token, 1)
    expect(TypeError, parser.raw_scan, x=1)
    expect(TypeError, parser.get_node, None)
    expect(TypeError, pickle.dumps, parser)
    uninitialised = ext.CParser.__new__(ext.CParser)
    expect(Exception, uninitialised.get_event)
    class Reentrant:
        def read(self, size):
            parser_reentered.get_event()
            return ""

    parser_reentered = ext.CParser(Reentrant())
    expect(RuntimeError, parser_reentered.get_event)


# -- emitter operations ------------------------------------------------------



def emit_every_kind():
    for stream, options in ((io.StringIO(), {}), (Sink(), {"encoding": "utf-16-be"}),
                            (io.BytesIO(), {"encoding": "utf-8", "canonical": True}),
                            (io.StringIO(), {"indent": 4, "width": 20, "allow_unicode": True,
                                             "line_break": "\r\n", "explicit_start": True,
                                             "explicit_end": True})):
        emitter = yaml.CDumper(stream, **options)
        for event in every_event():
            emitter.emit(event)
        emitter.dispose()


def serialize_with_anchors():
    shared = SequenceNode("tag:yaml.org,2002:seq", [ScalarNode("tag:yaml.org,2002:str", "s")])
    mapping = MappingNode("tag:yaml.org,2002:map", [
        (ScalarNode("tag:yaml.org,2002:str", "a"), shared),
        (ScalarNode("tag:yaml.org,2002:str", "b"), shared),
        (ScalarNode("tag:example.com,2000:x", "c"), ScalarNode("tag:yaml.org,2002:int", "1")),
    ])
    graphs = [mapping]
    loader = yaml.CLoader(DOC)
    while loader.check_node():
        graphs.append(loader.get_node())
    dumper = yaml.CDumper(io.StringIO(), explicit_start=True, version=(1, 1),
                         tags={"!e!": "tag:example.com,2000:"})
    dumper.open()
    for graph in graphs:
        dumper.serialize(graph)
    dumper.close()


class ResolveRaisesDumper(yaml.CDumper):
    def resolve(self, kind, value, implicit):
        raise LookupError("resolver refuses")


def emitter_errors():
    emitter = ext.CEmitter(io.StringIO())
    expect(EmitterError, emitter.emit, ScalarEvent(None, None, (True, True), "first"))
    emitter = ext.CEmitter(io.StringIO())
    emitter.emit(StreamStartEvent())
    expect(EmitterError, emitter.emit, StreamStartEvent())
    expect(TypeError, ext.CEmitter(io.StringIO()).emit, 42)
    emitter = ext.CEmitter(io.StringIO())
    emitter.emit(StreamStartEvent())
    emitter.emit(DocumentStartEvent())
    expect(TypeError, emitter.emit, ScalarEvent(1, None, (True, True), "v"))
    expect(TypeError, emitter.emit, ScalarEvent(None, None, (True, True), None))
    expect(IndexError, emitter.emit, ScalarEvent(None, None, (True,), "v"))
    # closed and unopened serializer
    dumper = yaml.CDumper(io.StringIO())
    expect(SerializerError, dumper.serialize, ScalarNode("t", "v"))
    expect(SerializerError, dumper.close)
    dumper.open()
    expect(SerializerError, dumper.open)
    dumper.close()
    expect(SerializerError, dumper.serialize, ScalarNode("t", "v"))
    expect(SerializerError, dumper.open)
    # write raising, at once and at the flush of the end of the stream
    emitter = ext.CEmitter(Sink(fail=ZeroDivisionError("write")))
    expect(ZeroDivisionError, lambda: [emitter.emit(e) for e in every_event()])
    expect(Exception, emitter.emit, StreamEndEvent())  # after the failure
    dumper = yaml.CDumper(Sink(fail=ZeroDivisionError("write")))
    dumper.open()
    expect(ZeroDivisionError, lambda: (dumper.serialize(ScalarNode("t", "v")), dumper.close()))
    # resolver raising
    dumper = ResolveRaisesDumper(io.StringIO())
    dumper.open()
    expect(LookupError, dumper.serialize, MappingNode("t", [(ScalarNode("t", "k"), ScalarNode("t", "v"))]))
    # argument binding
    expect(TypeError, ext.CEmitter)
    expect(TypeError, ext.CEmitter, io.StringIO(), bogus=1)
    expect(TypeError, ext.CEmitter, io.StringIO(), indent="4")
    expect(TypeError, ext.CEmitter(io.StringIO()).emit)
    expect(TypeError, ext.CEmitter(io.StringIO()).serialize)
    expect(TypeError, pickle.dumps, ext.CEmitter(io.StringIO()))


# -- marks -------------------------------------------------------------------

def marks():
    mark = ext.Mark("name", 10, 2, 3, "buffer text", 4)
    str(mark)
    repr(mark)
    mark.get_snippet()
    rebuild, args, *state = mark.__reduce__()
    rebuild(*args).__setstate__(*state)
    mark.__setstate__((None, 1, 1, 1, "n", None))
    expect(Exception, mark.__setstate__, (None,))
    expect(Exception, mark.__setstate__, "not a tuple")
    expect(Exception, mark.__setstate__, (None, "x", 1, 1, "n", None))
    expect(TypeError, ext.Mark, "n", 1)
    expect(TypeError, ext.Mark, "n", "1", 0, 0, None, None)
    expect(OverflowError, ext.Mark, "n", -1, 0, 0, None, None)
    expect(TypeError, ext.Mark, name="n", bogus=1)


def mark_pickling():
    # Pickling itself gains blocks now and then under the debug interpreter,
    # for thousands of calls and with references flat; pickling a plain
    # class whose reduce value names operator.add does the same, and
    # tracemalloc places the blocks inside the pickle module's own C code.
    # This entry is judged on references only and stays out of the
    # whole-table pass; the same reduce and rebuild steps without the pickle
    # module are checked on both counts in marks().
    pickle.loads(pickle.dumps(ext.Mark("name", 10, 2, 3, "buffer text", 4)))
    pickle.loads(pickle.dumps(ext.Mark(None, 0, 0, 0, None, None)))


# Values of every kind for the native rows and constructors, with those they
# decline and every slow path: beyond 64 bits, base 60 with many groups,
# the digit limit, timestamps with and without zones, base64 with errors.
SCALARS = ["yes", "off", "~", "", "<<", "=", "12", "-0x_1F", "0b" + "1" * 80, "1" * 30 + ":59",
           "1" * 5000, "0b_", "1.5", "-.inf", ".NaN", "1_0.5_e+3", "1" + ":30" * 20 + ".5",
           "1" + ":30" * 200 + ".5", "._", "1.0e+400", "3.14159265358979323846", "2001-12-14",
           "2001-12-14 21:59:43.10 -5", "2001-12-15T02:59:43.1Z", "2001-02-30", "2001-12-14 1:02:03+24",
           "aGVsbG8=", "YQ", "é", "plain words"]
SCALAR_TAGS = ["tag:yaml.org,2002:" + name for name in
               ("null", "bool", "int", "float", "timestamp", "binary", "str", "merge", "value")]


def speedups_scalars():
    for value in SCALARS:
        speedups._resolve_scalar(value)
        for tag in SCALAR_TAGS:
            try:
                speedups._construct_scalar(tag, value)
            except ValueError:
                pass
    expect(ValueError, speedups._construct_scalar, "tag:yaml.org,2002:seq", "1")
    expect(TypeError, speedups._construct_scalar, SCALAR_TAGS[0], b"1")
    expect(UnicodeEncodeError, speedups._resolve_scalar, "\ud800")
    speedups._mark("name", 1, 2, 3)
    expect(OverflowError, speedups._mark, "name", -1, 0, 0)


OPERATIONS = [
    ("every level over str/bytes/file/chunked input", levels_over_every_input),
    ("scanner, parser, reader and composer errors", failing_inputs),
    ("read raising or returning wrong types", failing_reads),
    ("host classes raising", host_classes_raising),
    ("resolver methods raising", resolvers_raising),
    ("parser argument and state errors", parser_argument_errors),
    ("emit every event kind", emit_every_kind),
    ("serialize with anchors", serialize_with_anchors),
    ("emitter and serializer errors", emitter_errors),
    ("Mark: create, print, reduce, setstate errors", marks),
    ("Mark: pickle round trips", mark_pickling),
    ("speedups: implicit-type rows, scalar constructors, marks", speedups_scalars),
]


def measure(fn, repeat=REPEAT, warmup=WARMUP):
    """Totals (refs, blocks) before and after each round, after the warm-up.
    They go into preallocated arrays so that recording allocates nothing."""
    for _ in range(warmup):
        for _ in range(repeat):
            fn()
    refs = array.array("q", [0] * (ROUNDS + 1))
    blocks = array.array("q", [0] * (ROUNDS + 1))
    rounds = range(ROUNDS + 1)
    calls = range(repeat)
    for i in rounds:
        if i:
            for _ in calls:
                fn()
        gc.collect()
        refs[i] = sys.gettotalrefcount()
        blocks[i] = sys.getallocatedblocks()
    return refs, blocks


def growth(values):
    return [b - a for a, b in zip(values, values[1:])]


def main():
    for module in (yaml, ext, speedups):
        if not inside_repo(module.__file__):
            sys.exit("refleak: not this project's module: %s" % module.__file__)
    if sys.argv[1:] == ["--once"]:
        # One pass over the table, for a run under valgrind or a sanitizer.
        for label, fn in OPERATIONS:
            fn()
        print("refleak: %d operations run once" % len(OPERATIONS))
        return 0
    if not hasattr(sys, "gettotalrefcount"):
        sys.exit("refleak: needs a debug interpreter (sys.gettotalrefcount), e.g. python3.11-dbg")
    print("refleak: %s, extensions %s, %s" % (sys.executable, ext.__file__, speedups.__file__))
    print("%d warm-up and %d measured rounds of %d calls each" % (WARMUP, ROUNDS, REPEAT))
    leaks = []
    for label, fn in OPERATIONS:
        refs, blocks = measure(fn, warmup=LONG_WARMUP if fn is mark_pickling else WARMUP)
        refs, blocks = growth(refs), growth(blocks)
        if fn is mark_pickling:
            leaking = all(r > 0 for r in refs)
        else:
            leaking = all(r > 0 for r in refs) or all(b > 0 for b in blocks)
        note = "  (blocks not judged)" if fn is mark_pickling else ""
        print("  %-48s refs %s  blocks %s%s%s" % (label, refs, blocks, note, "  LEAK" if leaking else ""))
        if leaking:
            leaks.append(label)

    table = [fn for _, fn in OPERATIONS if fn is not mark_pickling]

    def whole_table():
        for fn in table:
            fn()

    print("whole table but pickling, totals after each round:")
    refs, blocks = measure(whole_table, repeat=1)
    for i in range(len(refs)):
        print("  round %d: %d refs, %d blocks" % (i, refs[i], blocks[i]))
    if all(r > 0 for r in growth(refs)) or all(b > 0 for b in growth(blocks)):
        leaks.append("whole table")
    print("refleak: %d operations, %s" % (len(OPERATIONS), "leaks in: " + ", ".join(leaks) if leaks else "no leak"))
    return 1 if leaks else 0


if __name__ == "__main__":
    sys.exit(main())
