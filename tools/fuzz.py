#!/usr/bin/env python3
"""Seeded, time-bounded fuzzer for yaml._yaml.

    python3 tools/fuzz.py [--seed N] [--seconds S] [--iterations N] [--corpus DIR]

Every case is numbered; case i of seed s draws all its choices from
random.Random("s:i") and runs one mode (i modulo the number of modes), so
`--seed s --case i` repeats it alone.  Cases run in batches inside a worker
process; a worker that dies (a signal, or a sanitizer report, which exits
non-zero) is a crash, and the case it was running is re-run on its own to
give a reproducer.

A finding is a crash, an exception of a type the module does not document
for that call, a SystemError (always a bug), a round trip that changes the
data, events that differ from libyaml's own reading, or memory that keeps
growing while the same case repeats.  The exit status is 1 when there is a
finding, else 0.

Modes: scan, parse, compose (every method of the three levels over mutated
inputs); events_roundtrip, graph_roundtrip (parse/emit/parse and
compose/serialize/compose must keep the data); libyaml_diff (our events
against tests/tools/libyaml_events, whole and in odd pieces); read_stream
(streams with wrong types, odd sizes, str and bytes mixed, raising);
resolver_faults, host_globals (resolver methods and host classes raising
or returning odd objects, globals rebound or deleted); emit_odd_events,
serialize_odd_nodes (odd attribute values, impostor classes, tag mappings
changing under iteration, graphs changing while written); mark; dispose_misuse
and reentry (calls in the wrong state, callbacks re-entering); oom
(allocations failing for a short window inside a call).
"""

import argparse
import atexit
import gc
import importlib.util
import io
import json
import os
import pickle
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


# --- Importing the project's own package ----------------------------------

def _allowed_roots():
    roots = [REPO]
    for entry in os.environ.get("PYTHONPATH", "").split(os.pathsep):
        if entry:
            roots.append(os.path.realpath(entry))
    return roots


def _inside(path, roots):
    real = os.path.realpath(path)
    return any(os.path.commonpath([real, os.path.realpath(r)]) == os.path.realpath(r) for r in roots)


def _project():
    """tests/support/project.py, which knows the installed-copy mode."""
    spec = importlib.util.spec_from_file_location(
        "yaml_project_guard", os.path.join(REPO, "tests", "support", "project.py"))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def import_own_yaml():
    """Imports yaml from PYTHONPATH or the repository, never from elsewhere;
    against an installed copy (YAML_TEST_INSTALLED) from that copy only."""
    project = _project()
    if not project.installed_mode() and not os.environ.get("PYTHONPATH") and REPO not in sys.path:
        sys.path.insert(0, REPO)
    roots = _allowed_roots()

    def own(path):
        if project.installed_mode():
            return project.inside_repo(path)
        return _inside(path, roots)

    # Look before importing: a package from anywhere else is never loaded.
    found = importlib.util.find_spec("yaml")
    if found is None or not found.origin or not own(found.origin):
        raise SystemExit("fuzz: no yaml package inside %s (found %s)"
                         % (os.pathsep.join(roots), found and found.origin))
    import yaml
    import yaml._yaml
    for module in (yaml, yaml._yaml):
        if not own(module.__file__):
            raise SystemExit("fuzz: refusing %s from %s (outside %s)"
                             % (module.__name__, module.__file__, os.pathsep.join(roots)))
    return yaml


yaml = import_own_yaml()
_yaml = yaml._yaml
import yaml.error  # noqa: E402
from yaml.nodes import MappingNode, ScalarNode, SequenceNode  # noqa: E402
from yaml import events as ev  # noqa: E402
from yaml.resolver import Resolver  # noqa: E402


class Loader(_yaml.CParser, Resolver):
    pass


class Dumper(_yaml.CEmitter, Resolver):
    pass


class Injected(Exception):
    """The fuzzer's own fault, raised from streams, hooks and host classes."""


class Finding(Exception):
    """An internal consistency failure found by a mode."""


# Exceptions that are outcomes, never findings.  The parser over plain
# text: its error family, memory and depth limits, and the decoding of
# text libyaml hands over (tags with %-escapes of invalid UTF-8).
PARSE_OK = (yaml.error.YAMLError, MemoryError, RecursionError, UnicodeError)
# Emitting parsed events: libyaml may refuse an event sequence.
EMIT_OK = PARSE_OK
# Odd Python objects: whatever the module documents for bad arguments and
# whatever the odd object itself raises.
ODD_OK = PARSE_OK + (Injected, TypeError, ValueError, AttributeError, OverflowError,
                     KeyError, IndexError, NameError, RuntimeError, DeprecationWarning,
                     pickle.PickleError)


# --- Inputs -----------------------------------------------------------------

WORDS = ["a", "key", "value", "null", "~", "true", "1.5", "0x1F", "-", "?", ":",
         "x y", "é", "日本", "😀", "", "#c", "'q'", '"dq"', "a: b", "[x]", "{k: v}"]


def gen_scalar(rng):
    word = rng.choice(WORDS)
    style = rng.randrange(6)
    if style == 0:
        return word if word and word[0] not in "-?:[{'\"#&*!|>%@`" and ": " not in word and " #" not in word else "w"
    if style == 1:
        return "'" + word.replace("'", "''") + "'"
    if style == 2:
        return '"' + word.replace("\\", "\\\\").replace('"', '\\"') + '\\t\\u00e9"'
    if style == 3:
        return "|\n  " + word + "\n  line2"
    if style == 4:
        return ">-\n  " + word + "\n  folded"
    return rng.choice(["~", "123", "-4.5e3", ".inf", "yes", "2001-12-14"])


def gen_node(rng, depth, indent, anchors):
    prefix = ""
    if rng.random() < 0.15:
        name = "a%d" % len(anchors)
        anchors.append(name)
        prefix += "&%s " % name
    if rng.random() < 0.1:
        prefix += rng.choice(["!!str ", "!local ", "!<tag:x,2000:y> ", "!e!z ", "! "])
    if anchors and rng.random() < 0.1:
        return "*" + rng.choice(anchors)
    kind = rng.randrange(5) if depth < 5 else 0
    pad = " " * indent
    if kind in (0, 1):
        scalar = gen_scalar(rng)
        if scalar.startswith(("|", ">")):
            scalar = scalar.replace("\n  ", "\n" + pad + "  ")
        return prefix + scalar
    if kind == 2:
        items = [gen_node(rng, depth + 1, indent, anchors).replace("\n", " ").strip() or "x"
                 for _ in range(rng.randrange(4))]
        items = [i if not i.startswith(("|", ">")) else "x" for i in items]
        if rng.random() < 0.5:
            return prefix + "[" + ", ".join(items) + "]"
        return prefix + "{" + ", ".join("k%d: %s" % (n, i) for n, i in enumerate(items)) + "}"
    lines = []
    for n in range(rng.randrange(1, 4)):
        child = gen_node(rng, depth + 1, indent + 2, anchors)
        if kind == 3:
            lines.append(pad + "- " + child)
        else:
            lines.append(pad + "k%d: %s" % (n, child))
    body = "\n".join(lines)
    if prefix:
        return prefix.rstrip() + "\n" + body
    return "\n" + body


def gen_document(rng):
    docs = []
    for n in range(rng.randrange(1, 4)):
        head = ""
        if rng.random() < 0.2:
            head += "%YAML 1.1\n"
        if rng.random() < 0.2:
            head += "%TAG !e! tag:example.com,2000:\n"
        explicit = head or n > 0 or rng.random() < 0.3
        node = gen_node(rng, 0, 0, [])
        text = head + ("---" if explicit else "") + ("" if node.startswith("\n") or not explicit else " ") + node
        if not explicit:
            text = text.lstrip("\n")
        docs.append(text + "\n" + ("...\n" if rng.random() < 0.3 else ""))
    return "".join(docs).encode("utf-8")


def load_corpus(directory):
    found = []
    if directory and os.path.isdir(directory):
        for root, _dirs, files in os.walk(directory):
            for name in ("in.yaml", "out.yaml", "emit.yaml"):
                if name in files:
                    with open(os.path.join(root, name), "rb") as handle:
                        found.append(handle.read())
    return found


INTERESTING = [b"\x00", b"\xff", b"\x80", b":", b"-", b"[", b"{", b"]", b"}", b"&", b"*",
               b"!", b"\n", b" ", b"\t", b"\"", b"'", b"|", b">", b"%", b"#", b"?", b",",
               b"\r", b"\\", b"...", b"---", b"\xef\xbb\xbf", b"\xe2\x80\xa8"]
BAD_UTF8 = [b"\xc3\x28", b"\xff", b"\xfe", b"\xed\xa0\x80", b"\xc0\xaf", b"\xf4\x90\x80\x80",
            b"\xe2\x82", b"\x80", b"\xf0\x9f\x98"]


def nested(rng):
    # libyaml's scanner is quadratic in the nesting of flow collections,
    # so past the composer's limit of 10000 a case only gets slower.
    n = rng.choice([50, 500, 5000, 12000])
    shape = rng.randrange(5)
    if shape == 0:
        return b"[" * n + b"x" + b"]" * n
    if shape == 1:
        return b"{a: " * n + b"b" + b"}" * n
    if shape == 2:
        n = min(n, 3000)
        return b"".join(b" " * i + b"- \n" for i in range(n)) + b" " * n + b"x\n"
    if shape == 3:
        n = min(n, 3000)
        return b"".join(b" " * i + b"k:\n" for i in range(n)) + b" " * n + b"v\n"
    return b"&a [" * min(n, 2000) + b"*a" + b"]" * min(n, 2000)


def long_item(rng):
    n = rng.choice([1000, 65536, 300000])
    kind = rng.randrange(6)
    if kind == 0:
        return b"&" + b"a" * n + b" x\n"
    if kind == 1:
        return b"!" + b"t" * n + b" x\n"
    if kind == 2:
        return b"!<" + b"tag:%41" * (n // 7) + b"> x\n"
    if kind == 3:
        return b'"' + b"\\u00e9" * (n // 6) + b'"\n'
    if kind == 4:
        return b"%TAG !" + b"h" * min(n, 5000) + b"! tag:x:\n--- !" + b"h" * min(n, 5000) + b"!s x\n"
    return b"k" * n + b": " + b"v" * n + b"\n"


def mutate(rng, data, pool):
    data = bytearray(data)
    for _ in range(rng.randrange(1, 4)):
        op = rng.randrange(12)
        pos = rng.randrange(len(data) + 1)
        if op == 0 and data:
            for _ in range(rng.randrange(1, 8)):
                data[rng.randrange(len(data))] ^= 1 << rng.randrange(8)
        elif op == 1:
            data[pos:pos] = rng.choice(INTERESTING)
        elif op == 2:
            del data[pos:]
        elif op == 3:
            other = rng.choice(pool)
            data[pos:] = other[rng.randrange(len(other) + 1):]
        elif op == 4:
            data[pos:pos] = nested(rng)
        elif op == 5:
            data[pos:pos] = long_item(rng)
        elif op == 6:
            data[pos:pos] = rng.choice(BAD_UTF8)
        elif op == 7:
            bom = rng.choice([b"\xef\xbb\xbf", b"\xff\xfe", b"\xfe\xff"])
            data[0 if rng.random() < 0.7 else pos:0 if rng.random() < 0.7 else pos] = bom
        elif op == 8:
            text = bytes(data).decode("utf-8", "replace")
            data = bytearray(text.encode(rng.choice(["utf-16-le", "utf-16-be", "utf-16"])))
        elif op == 9 and data:
            end = min(len(data), pos + rng.randrange(1, 64))
            data[pos:pos] = data[pos:end] * rng.randrange(2, 50)
        elif op == 10 and data:
            del data[pos:pos + rng.randrange(1, 16)]
        else:
            data[pos:pos] = rng.choice([b"\x1b", b"\x7f", b"\xc2\x85", b"\xef\xbf\xbf",
                                        b"\xf0\x90\x80\x80", b"\t", b"\r\n"])
    return bytes(data)


MAX_INPUT = 512 * 1024   # keeps a case to seconds under the sanitizers


def make_input(rng, pool):
    base = rng.choice(pool) if pool and rng.random() < 0.7 else gen_document(rng)
    if rng.random() < 0.8:
        base = mutate(rng, base, pool or [base])[:MAX_INPUT]
    if rng.random() < 0.3:
        text = base.decode("utf-8", "surrogateescape" if rng.random() < 0.2 else "replace")
        return text
    return base


# --- Comparing ----------------------------------------------------------

FIELDS = ("anchor", "tag", "value", "implicit", "style", "flow_style", "explicit",
          "version", "tags")


def event_key(event):
    return (type(event).__name__,) + tuple(getattr(event, f, None) for f in FIELDS)


def _plain(style):
    return style in ("", None)


def allowed_rewrite(a, b):
    """True when libyaml's emitter turns event a into b on purpose."""
    name = type(a).__name__
    if name != type(b).__name__ or getattr(a, "anchor", None) != getattr(b, "anchor", None):
        return False
    if name == "DocumentEndEvent":
        return not a.explicit and b.explicit
    if name == "DocumentStartEvent":
        # Directives and an explicit start are kept or added as needed.
        return a.version == b.version and (a.tags or None) == (b.tags or None)
    if name != "ScalarEvent" or a.value != b.value:
        return False
    if (_plain(a.style) and b.style in ("'", '"')
            and (b.tag == a.tag or (a.tag is None and b.tag == "!" and not a.implicit[1]))):
        return True
    if a.style in ("|", ">") and b.style in ("'", '"') and a.tag == b.tag:
        return True
    if a.style == "'" and b.style == '"' and a.tag == b.tag:
        # Characters that must be escaped (non-printable, or outside ASCII
        # without allow_unicode) need double quotes.
        return True
    if a.tag == "!" and b.tag is None and a.implicit[0] and _plain(a.style) and _plain(b.style):
        return True
    return False


def isomorphism_problem(left, right):
    """None when the two graphs match in structure, tags, values and
    sharing; else a description of the first mismatch."""
    if REPO not in sys.path:
        sys.path.append(REPO)   # after PYTHONPATH: only for tests/support
    from tests.support.graphs import isomorphism_problem as problem
    return problem(left, right)


def parse_events(data):
    loader = Loader(data)
    out = []
    while True:
        event = loader.get_event()
        if event is None:
            return out
        out.append(event)


def compose_all(data):
    loader = Loader(data)
    out = []
    while loader.check_node():
        out.append(loader.get_node())
    return out


# --- Modes -----------------------------------------------------------------
# Each mode takes (rng, ctx) and returns normally, raises an exception that
# run_case classifies, or raises Finding.

def mode_scan(rng, ctx):
    data = make_input(rng, ctx.pool)
    loader = Loader(data)
    how = rng.randrange(3)
    if how == 0:
        loader.raw_scan()
        return
    for _ in range(200000):
        if how == 1:
            loader.check_token(*rng.sample(TOKEN_CLASSES, rng.randrange(3)))
            loader.peek_token()
        token = loader.get_token()
        if token is None:
            break
        str(getattr(token, "start_mark", ""))


def mode_parse(rng, ctx):
    data = make_input(rng, ctx.pool)
    loader = Loader(data)
    if rng.random() < 0.2:
        loader.raw_parse()
        return
    for _ in range(200000):
        if rng.random() < 0.3:
            loader.check_event(*rng.sample(EVENT_CLASSES, rng.randrange(3)))
            loader.peek_event()
        if loader.get_event() is None:
            break


def mode_compose(rng, ctx):
    data = make_input(rng, ctx.pool)
    loader = Loader(data)
    if rng.random() < 0.3:
        loader.get_single_node()
        return
    while loader.check_node():
        loader.get_node()


EMIT_OPTIONS = dict(canonical=[None, False], indent=[None, 1, 2, 4, 9, 11],
                    width=[None, -1, 1, 20, 80, 10 ** 6], allow_unicode=[None, True],
                    line_break=[None, "\n", "\r", "\r\n"])


def _options(rng):
    return {k: rng.choice(v) for k, v in EMIT_OPTIONS.items()}


def mode_events_roundtrip(rng, ctx):
    data = make_input(rng, ctx.pool)
    try:
        first = parse_events(data)
    except PARSE_OK:
        return
    out = io.StringIO()
    emitter = _yaml.CEmitter(out, **_options(rng))
    try:
        for event in first:
            emitter.emit(event)
    except yaml.error.EmitterError:
        return
    text = out.getvalue()
    try:
        second = parse_events(text)
    except yaml.error.YAMLError as exc:
        raise Finding("emitted text does not parse back (%s): %r" % (type(exc).__name__, text[:300]))
    if [type(e) for e in first] != [type(e) for e in second]:
        raise Finding("event kinds changed in the round trip: %r" % text[:300])
    for a, b in zip(first, second):
        if event_key(a) != event_key(b) and not allowed_rewrite(a, b):
            raise Finding("%r became %r in %r" % (a, b, text[:300]))


def mode_graph_roundtrip(rng, ctx):
    data = make_input(rng, ctx.pool)
    try:
        first = compose_all(data)
    except PARSE_OK:
        return
    out = io.StringIO()
    dumper = Dumper(out, **_options(rng))
    dumper.open()
    try:
        for node in first:
            dumper.serialize(node)
    except yaml.error.EmitterError:
        return
    dumper.close()
    text = out.getvalue()
    try:
        second = compose_all(text)
    except yaml.error.YAMLError as exc:
        raise Finding("serialized graph does not compose back (%s): %r" % (type(exc).__name__, text[:300]))
    if (len(second) == len(first) - 1 and type(first[0]) is ScalarNode and first[0].value == ""):
        first = first[1:]   # an empty plain root scalar is written as nothing
    if len(first) != len(second):
        raise Finding("%d documents became %d: %r" % (len(first), len(second), text[:300]))
    for a, b in zip(first, second):
        problem = isomorphism_problem(a, b)
        if problem:
            raise Finding("graph changed: %s in %r" % (problem, text[:300]))


class Countdown:
    """Raises Injected at the n-th tick (n None: never)."""

    def __init__(self, n):
        self.n = n

    def tick(self):
        if self.n is not None:
            self.n -= 1
            if self.n <= 0:
                raise Injected("injected at the chosen call")


class OddStream:
    def __init__(self, rng, data):
        self.rng = rng
        self.data = data if isinstance(data, bytes) else data.encode("utf-8", "surrogatepass")
        self.text = data if isinstance(data, str) else data.decode("utf-8", "replace")
        self.pos = 0
        self.calls = 0
        self.fault = Countdown(rng.choice([None, 1, 2, 3, 5, 20]))
        self.kind = rng.randrange(9)

    def read(self, size=-1):
        self.calls += 1
        if self.calls > 100000:
            return b""
        self.fault.tick()
        rng = self.rng
        kind = self.kind
        if kind == 0:      # chunks of random sizes, odd, one byte, longer than asked
            n = rng.choice([0, 1, 3, 7, size, size * 3 + 1])
            if n == 0 and rng.random() < 0.7:
                n = 1
        else:
            n = size if isinstance(size, int) else 1024
        chunk = self.data[self.pos:self.pos + n]
        self.pos += len(chunk)
        if kind == 1:      # alternating str and bytes
            return chunk.decode("utf-8", "replace") if self.calls % 2 else chunk
        if kind == 2:      # wrong types now and then
            if rng.random() < 0.3:
                return rng.choice([None, 1, bytearray(chunk), memoryview(chunk), [chunk],
                                   type("S", (str,), {})("x"), type("B", (bytes,), {})(b"x")])
        if kind == 3:      # str with a lone surrogate
            if rng.random() < 0.2:
                return "a\ud800b"
        if kind == 4:      # text from a str
            return self.text[self.pos - len(chunk):self.pos]
        if kind == 5:      # huge chunk at once
            rest = self.data[self.pos:]
            self.pos = len(self.data)
            return chunk + rest
        if kind == 6:      # never-ending input, bounded by the call count
            return chunk or b"- x\n"
        return chunk


class ReadAttr:
    """Streams whose read or name attributes are odd."""

    def __init__(self, rng, data):
        kind = rng.randrange(5)
        if kind == 0:
            self.read = None
        elif kind == 1:
            self.read = 42
        elif kind == 2:
            self.read = lambda *a: (_ for _ in ()).throw(Injected("read"))
        else:
            self.read = OddStream(rng, data).read
        self.name = rng.choice([None, 1, "n", b"b", object(), type("S", (str,), {})("s"), 2 ** 100])


class RaisingNameStream:
    def __init__(self, rng, data):
        self._inner = OddStream(rng, data)
        self.read = self._inner.read

    @property
    def name(self):
        raise Injected("name")


def mode_read_stream(rng, ctx):
    data = make_input(rng, ctx.pool)
    stream = rng.choice([OddStream, OddStream, ReadAttr, RaisingNameStream])(rng, data)
    loader = Loader(stream)
    level = rng.randrange(3)
    for _ in range(200000):
        if level == 0:
            if loader.get_token() is None:
                break
        elif level == 1:
            if loader.get_event() is None:
                break
        else:
            if not loader.check_node():
                break
            loader.get_node()


class FaultyResolverLoader(_yaml.CParser, Resolver):
    def __init__(self, stream, rng):
        _yaml.CParser.__init__(self, stream)
        self.rng = rng
        self.fault = Countdown(rng.choice([None, 1, 2, 3, 10, 50]))
        self.odd_tag = rng.random() < 0.3
        self.where = rng.randrange(3)

    def descend_resolver(self, parent, index):
        if self.where == 0:
            self.fault.tick()

    def ascend_resolver(self):
        if self.where == 1:
            self.fault.tick()
        if self.rng.random() < 0.01:
            gc.collect()

    def resolve(self, kind, value, implicit):
        if self.where == 2:
            self.fault.tick()
        if self.odd_tag:
            return self.rng.choice([None, 1, 2 ** 200, b"t", object(), "t", [1], ()])
        return Resolver.resolve(self, kind, value, implicit)


def mode_resolver_faults(rng, ctx):
    data = make_input(rng, ctx.pool)
    loader = FaultyResolverLoader(data, rng)
    if rng.random() < 0.3:
        loader.get_single_node()
    else:
        while loader.check_node():
            loader.get_node()
    if rng.random() < 0.5:
        # Resolver faults in the serializer too.
        graph = compose_all(rng.choice(ctx.pool) if ctx.pool else gen_document(rng))
        dumper = FaultyResolverDumper(io.StringIO(), rng)
        dumper.open()
        for node in graph:
            dumper.serialize(node)
        dumper.close()


class FaultyResolverDumper(_yaml.CEmitter, Resolver):
    def __init__(self, stream, rng):
        _yaml.CEmitter.__init__(self, stream)
        self.rng = rng
        self.fault = Countdown(rng.choice([None, 1, 2, 3, 10, 50]))
        self.where = rng.randrange(4)

    def descend_resolver(self, parent, index):
        if self.where == 0:
            self.fault.tick()

    def ascend_resolver(self):
        if self.where == 1:
            self.fault.tick()

    def resolve(self, kind, value, implicit):
        if self.where == 2:
            self.fault.tick()
        if self.where == 3:
            return self.rng.choice([None, 1, OddEq(self.rng), "tag:yaml.org,2002:str"])
        return Resolver.resolve(self, kind, value, implicit)


class OddEq:
    """Compares by raising, or by a non-bool result that raises on truth."""

    def __init__(self, rng):
        self.raise_eq = rng.random() < 0.5

    def __eq__(self, other):
        if self.raise_eq:
            raise Injected("__eq__")
        return BadBool()

    __hash__ = object.__hash__


class BadBool:
    def __bool__(self):
        raise Injected("__bool__")


TOKEN_NAMES = ["StreamStartToken", "StreamEndToken", "DirectiveToken", "DocumentStartToken",
               "DocumentEndToken", "BlockSequenceStartToken", "BlockMappingStartToken",
               "BlockEndToken", "FlowSequenceStartToken", "FlowMappingStartToken",
               "FlowSequenceEndToken", "FlowMappingEndToken", "KeyToken", "ValueToken",
               "BlockEntryToken", "FlowEntryToken", "AliasToken", "AnchorToken", "TagToken",
               "ScalarToken"]
EVENT_NAMES = ["StreamStartEvent", "StreamEndEvent", "DocumentStartEvent", "DocumentEndEvent",
               "AliasEvent", "ScalarEvent", "SequenceStartEvent", "SequenceEndEvent",
               "MappingStartEvent", "MappingEndEvent"]
NODE_NAMES = ["ScalarNode", "SequenceNode", "MappingNode"]
ERROR_NAMES = ["YAMLError", "ReaderError", "ScannerError", "ParserError", "ComposerError",
               "ConstructorError", "EmitterError", "SerializerError", "RepresenterError"]
HOST_NAMES = ERROR_NAMES + TOKEN_NAMES + EVENT_NAMES + NODE_NAMES
TOKEN_CLASSES = [getattr(_yaml, n) for n in TOKEN_NAMES]
EVENT_CLASSES = [getattr(_yaml, n) for n in EVENT_NAMES]


def odd_host(rng, name):
    """Something to rebind a host global to."""
    fault = Countdown(rng.choice([1, 2, 5, 30]))
    original = getattr(_yaml, name)
    kind = rng.randrange(8)
    if kind == 0:
        return None
    if kind == 1:
        return rng.choice([1, "x", object(), [], 2 ** 100])

    def raising(*args):
        fault.tick()
        return original(*args)
    if kind == 2:
        return raising
    if kind == 3:
        return lambda *args: rng.choice([None, 1, "s", object(), (), []])
    if kind == 4:
        class Sub(original if isinstance(original, type) else object):
            pass
        return Sub
    if kind == 5:
        # An error class that is no exception.
        return lambda *args: object()
    if kind == 6:
        return type(name, (), {"__init__": lambda self, *a: fault.tick()})
    return raising


SAMPLE = b"%YAML 1.1\n%TAG !e! tag:e,2000:\n--- &a !e!t\nk: [1, *a, {x: !!str y}]\n? |\n  lit\n: >\n  fold\n...\n--- 'q'\n---\n- \"d\\x41\"\n- &b x\n- *b\n"


def mode_host_globals(rng, ctx):
    names = rng.sample(HOST_NAMES, rng.randrange(1, 4))
    if rng.random() < 0.05:
        names.append("__pyx_unpickle_Mark")
    namespace = vars(_yaml)
    saved = {n: namespace[n] for n in names}
    missing = rng.random() < 0.2
    try:
        for n in names:
            if missing:
                del namespace[n]
            else:
                namespace[n] = odd_host(rng, n)
        data = SAMPLE if rng.random() < 0.6 else make_input(rng, ctx.pool)
        level = rng.randrange(6)
        if level == 0:
            Loader(data).raw_scan()
            loader = Loader(data)
            while loader.get_token() is not None:
                pass
        elif level == 1:
            loader = Loader(data)
            while loader.get_event() is not None:
                pass
        elif level == 2:
            compose_all(data)
        elif level == 3:
            Loader(data).get_single_node()
        elif level == 4:
            Loader(b"a: [b\n" if rng.random() < 0.5 else b"\xff").get_event()
            Loader(b"a: [b\n").get_event()
            Loader(b"*x").get_single_node()
        else:
            emit_sample(rng, saved)
        pickle.loads(pickle.dumps(_yaml.Mark("n", 1, 2, 3, None, None)))
    finally:
        namespace.update(saved)
    ctx.check_healthy()


def emit_sample(rng, saved):
    events = parse_events(SAMPLE) if "StreamStartEvent" not in saved else []
    out = io.StringIO()
    emitter = _yaml.CEmitter(out)
    for e in events:
        emitter.emit(e)
    graph = compose_all(SAMPLE)
    dumper = Dumper(io.StringIO())
    dumper.open()
    for node in graph:
        dumper.serialize(node)
    dumper.close()
    dumper.close()
    dumper.open()


class StrSub(str):
    pass


class BytesSub(bytes):
    pass


class IntLike:
    def __init__(self, v):
        self.v = v

    def __int__(self):
        return self.v


def odd_value(rng, good):
    choice = rng.randrange(20)
    if choice < 8:
        return good
    return rng.choice([None, StrSub("s"), BytesSub(b"b"), 2 ** 100, -1, 0, 1.5, b"\xff\xfe",
                       "\ud800", "a\x00b", "x" * rng.choice([1, 10000, 200000]), object(),
                       (True, False), (1,), (), [True, True], IntLike(2 ** 70), BadBool(),
                       OddEq(rng), True, "!", ""])


class MutatingTags(dict):
    """A tag mapping that changes while the module iterates it."""

    def __iter__(self):
        for key in list(dict.keys(self)):
            self["!m%d!" % len(self)] = "tag:m:"
            yield key
        if len(self) < 300:
            yield "!extra!"


class MutatingGetitem(dict):
    """A tag mapping that drops and adds entries while it is read."""

    def __getitem__(self, key):
        if len(self) > 1:
            self.pop(next(iter(dict.keys(self))), None)
        self["!n%d!" % len(self)] = "tag:n:"
        return dict.get(self, key, "tag:gone:")


class PlainMapping:
    """Not a dict: keys come from iteration, values from a failing lookup."""

    def __init__(self, rng):
        self.fault = Countdown(rng.choice([None, 1, 2]))

    def __len__(self):
        return 2

    def __iter__(self):
        return iter(["!a!", "!b!"])

    def keys(self):
        return ["!a!", "!b!"]

    def __getitem__(self, key):
        self.fault.tick()
        return "tag:" + key.strip("!") + ":"

    def __bool__(self):
        return True


class LyingLen(dict):
    def __len__(self):
        return 1


def odd_tags(rng):
    kind = rng.randrange(10)
    if kind == 0:
        return None
    if kind == 1:
        return {"!e!": "tag:e,2000:"}
    if kind == 8:
        return MutatingGetitem({"!a!": "tag:a:", "!b!": "tag:b:", "!c!": "tag:c:"})
    if kind == 9:
        return PlainMapping(rng)
    if kind == 2:
        return {("!h%d!" % i): "tag:h%d:" % i for i in range(rng.choice([127, 128, 129, 1000]))}
    if kind == 3:
        return MutatingTags({"!a!": "tag:a:", "!b!": "tag:b:"})
    if kind == 4:
        return LyingLen({("!h%d!" % i): "t:" for i in range(300)})
    if kind == 5:
        return {1: "x"} if rng.random() < 0.5 else {"!x!": None}
    if kind == 6:
        return rng.choice([[("!a!", "t")], "!a!", 5, {StrSub("!s!"): BytesSub(b"t")}])
    return {rng.choice(["!", "!!", "!x!", "", "bad", "\ud800"]): rng.choice(["tag:x:", "", "!", "\ud800"])}


def odd_event(rng):
    name = rng.choice(EVENT_NAMES + ["Other"])
    cls = getattr(ev, name, object)
    event = cls.__new__(cls)
    event.anchor = odd_value(rng, rng.choice([None, "a", b"b"]))
    event.tag = odd_value(rng, rng.choice([None, "!t", "tag:yaml.org,2002:str", b"!b"]))
    event.implicit = odd_value(rng, rng.choice([True, False, (True, False), (False, True), (True, True)]))
    event.value = odd_value(rng, rng.choice(["v", b"bv", "", "multi\nline"]))
    event.style = odd_value(rng, rng.choice([None, "", "'", '"', "|", ">", "x"]))
    event.flow_style = odd_value(rng, rng.choice([None, True, False]))
    event.explicit = odd_value(rng, rng.choice([None, True, False]))
    event.version = odd_value(rng, rng.choice([None, (1, 1), (1, 2), (2, 0), [1, 1]]))
    event.tags = odd_tags(rng)
    event.encoding = odd_value(rng, rng.choice([None, "utf-8", "utf-16-le", "utf-16-be"]))
    if rng.random() < 0.1:
        delattr(event, rng.choice(["anchor", "tag", "implicit", "value", "style", "flow_style",
                                   "explicit", "version", "tags", "encoding"]))
    return event


def plausible_events(rng):
    """A mostly valid event sequence with odd values here and there."""
    events = [ev.StreamStartEvent()]
    for _ in range(rng.randrange(1, 3)):
        events.append(ev.DocumentStartEvent(explicit=rng.random() < 0.5,
                                            version=rng.choice([None, (1, 1)]), tags=odd_tags(rng)))
        depth = 0
        for _ in range(rng.randrange(1, 12)):
            r = rng.random()
            if r < 0.2 and depth < 4:
                events.append(ev.SequenceStartEvent(None, None, True, flow_style=rng.random() < 0.5))
                depth += 1
            elif r < 0.3 and depth:
                events.append(ev.SequenceEndEvent())
                depth -= 1
            else:
                events.append(ev.ScalarEvent(rng.choice([None, "a"]), None, (True, False), "x"))
        events.extend(ev.SequenceEndEvent() for _ in range(depth))
        events.append(ev.DocumentEndEvent(explicit=rng.random() < 0.5))
    events.append(ev.StreamEndEvent())
    for _ in range(rng.randrange(0, 3)):
        events[rng.randrange(len(events))] = odd_event(rng)
    return events


class OddWriter:
    def __init__(self, rng):
        self.rng = rng
        self.fault = Countdown(rng.choice([None, None, 1, 2, 5]))
        kind = rng.randrange(4)
        if kind == 0:
            self.encoding = rng.choice([None, "utf-8", 1, object()])
        self.parts = []

    def write(self, data):
        self.fault.tick()
        self.parts.append(data)
        if self.rng.random() < 0.05:
            return BadBool()


class NoWrite:
    pass


def odd_emitter(rng):
    stream = rng.choice([OddWriter, OddWriter, OddWriter, NoWrite])(rng)
    opts = dict(canonical=odd_value(rng, rng.choice([None, True])),
                indent=odd_value(rng, rng.choice([None, 0, 1, 2, 10, -5, 2 ** 31, 1.9])),
                width=odd_value(rng, rng.choice([None, -1, 0, 5, 2 ** 40])),
                allow_unicode=odd_value(rng, rng.choice([None, True])),
                line_break=odd_value(rng, rng.choice([None, "\n", "\r", "\r\n", "x"])),
                encoding=odd_value(rng, rng.choice([None, "utf-8", "utf-16-le", "utf-16-be"])),
                explicit_start=odd_value(rng, rng.choice([None, True])),
                explicit_end=odd_value(rng, rng.choice([None, True])),
                version=odd_value(rng, rng.choice([None, (1, 1), (1, 2)])),
                tags=odd_tags(rng))
    cls = FaultyResolverDumper if rng.random() < 0.3 else Dumper
    if cls is FaultyResolverDumper:
        emitter = cls(stream, rng)
        _yaml.CEmitter.__init__(emitter, stream, *opts.values())
        return emitter
    return cls(stream, **opts)


class Shifty:
    """Claims a host class through a __class__ property; its attributes
    change type from one read to the next and raise at the n-th read."""

    def __init__(self, rng, claimed, values):
        object.__setattr__(self, "_rng", rng)
        object.__setattr__(self, "_claimed", claimed)
        object.__setattr__(self, "_values", values)
        object.__setattr__(self, "_fault", Countdown(rng.choice([None, None, 1, 3, 8])))

    @property
    def __class__(self):
        return object.__getattribute__(self, "_claimed")

    def __getattr__(self, name):
        self._fault.tick()
        choices = self._values.get(name)
        if choices is None:
            raise AttributeError(name)
        return self._rng.choice(choices)



SHIFTY_EVENT_VALUES = {
    "anchor": [None, "a", b"b", 1], "tag": [None, "!t", 2 ** 80], "value": ["v", None, b"b", StrSub("s")],
    "implicit": [(True, False), True, None, (1,), BadBool()], "style": [None, "'", "|", 7],
    "flow_style": [True, False, None, BadBool()], "explicit": [True, False, BadBool()],
    "version": [None, (1, 1), (1,), "11"],
    # Read again for the length, the iteration and each subscript: a long
    # iteration after a short length must not overrun the directive buffer.
    "tags": [None, {"!a!": "t:"}, {1: 2}, {"!h%d!" % i: "t:" for i in range(300)},
             {"!h%d!" % i: "t:" for i in range(128)}],
    "encoding": [None, "utf-8", 5],
}


def shifty_events(rng):
    names = ["StreamStartEvent"] + ["DocumentStartEvent", "ScalarEvent", "DocumentEndEvent"] * 2 \
        + ["StreamEndEvent"]
    return [Shifty(rng, getattr(ev, n), SHIFTY_EVENT_VALUES) if rng.random() < 0.5
            else getattr(ev, n).__new__(getattr(ev, n)) for n in names]


def mode_emit_odd_events(rng, ctx):
    emitter = odd_emitter(rng)
    r = rng.random()
    if r < 0.5:
        events = plausible_events(rng)
    elif r < 0.8:
        events = [odd_event(rng) for _ in range(rng.randrange(1, 6))]
    else:
        events = shifty_events(rng)
        for e in events:
            if type(e) is not Shifty:
                for k, v in SHIFTY_EVENT_VALUES.items():
                    setattr(e, k, v[0] if k != "implicit" else (True, False))
                e.value = "v"
    for event in events:
        emitter.emit(event)
        if rng.random() < 0.02:
            emitter.dispose()


def odd_graph(rng, depth=0, shared=None):
    shared = [] if shared is None else shared
    if shared and rng.random() < 0.1:
        return rng.choice(shared)
    kind = rng.randrange(3) if depth < 4 else 0
    tag = odd_value(rng, rng.choice(["tag:yaml.org,2002:str", "!t", None]))
    if kind == 0:
        node = ScalarNode(tag, odd_value(rng, rng.choice(["v", "", "x y", "é"])),
                          style=odd_value(rng, rng.choice([None, "", "'", '"', "|", ">"])))
    elif kind == 1:
        node = SequenceNode(tag, [], flow_style=odd_value(rng, rng.choice([None, True, False])))
        shared.append(node)
        node.value.extend(odd_graph(rng, depth + 1, shared) for _ in range(rng.randrange(4)))
    else:
        node = MappingNode(tag, [], flow_style=odd_value(rng, rng.choice([None, True, False])))
        shared.append(node)
        for _ in range(rng.randrange(3)):
            item = (odd_graph(rng, depth + 1, shared), odd_graph(rng, depth + 1, shared))
            r = rng.random()
            if r < 0.05:
                item = item + (item[0],)
            elif r < 0.1:
                item = item[:1]
            elif r < 0.15:
                item = list(item)
            elif r < 0.2:
                item = iter(item)
            node.value.append(item)
    if rng.random() < 0.05:
        node.value = odd_value(rng, node.value)
    if rng.random() < 0.03:
        node.__class__ = rng.choice([type("N", (ScalarNode,), {}), object, SequenceNode, MappingNode]) \
            if rng.random() < 0.2 else type(node)
    return node


class ChangingResolverDumper(Dumper):
    """Changes the graph while the serializer walks it."""

    def __init__(self, stream, rng, root):
        Dumper.__init__(self, stream)
        self.rng = rng
        self.root = root

    def resolve(self, kind, value, implicit):
        if self.rng.random() < 0.2 and isinstance(self.root.value, list):
            action = self.rng.randrange(3)
            if action == 0:
                self.root.value.clear()
            elif action == 1 and type(self.root) is SequenceNode:
                self.root.value.append(ScalarNode("!n", "new"))
                self.root.value.append(self.root)
            else:
                self.root.tag = None
        return Resolver.resolve(self, kind, value, implicit)


class UnhashableNode(ScalarNode):
    __hash__ = None


def shifty_graph(rng, depth=0):
    kind = rng.randrange(4) if depth < 3 else 0
    if kind == 0:
        return Shifty(rng, ScalarNode, {"tag": ["!t", None, 5], "value": ["v", None, b"x", StrSub("s")],
                                        "style": [None, "'", 3]})
    if kind == 1:
        return UnhashableNode("!t", "v")
    children = [shifty_graph(rng, depth + 1) for _ in range(rng.randrange(3))]
    if kind == 2:
        return Shifty(rng, SequenceNode, {"tag": ["!s", None], "flow_style": [True, None, BadBool()],
                                          "value": [children, iter(children), tuple(children),
                                                    None, "str", {1: 2}]})
    pairs = [(a, b) for a, b in zip(children, children[1:] + children[:1])]
    return Shifty(rng, MappingNode, {"tag": ["!m", None], "flow_style": [False, None],
                                     "value": [pairs, iter(pairs), [pairs[:1]] if pairs else [], None]})


def mode_serialize_odd_nodes(rng, ctx):
    root = odd_graph(rng) if rng.random() < 0.7 else shifty_graph(rng)
    if rng.random() < 0.05:
        deep = root = SequenceNode("s", [])
        for _ in range(rng.choice([1000, 100000])):
            child = SequenceNode("s", [])
            deep.value.append(child)
            deep = child
    if rng.random() < 0.3:
        dumper = ChangingResolverDumper(OddWriter(rng), rng, root)
    else:
        dumper = odd_emitter(rng)
    steps = rng.choice([["open", "serialize", "close"], ["serialize"], ["open", "open"],
                        ["open", "close", "serialize"], ["open", "serialize", "serialize", "close", "close"],
                        ["close"], ["open", "dispose", "serialize"]])
    for step in steps:
        if step == "serialize":
            dumper.serialize(root)
        else:
            getattr(dumper, step)()


def mode_mark(rng, ctx):
    args = [odd_value(rng, "name"), odd_value(rng, 1), odd_value(rng, 2), odd_value(rng, 3),
            odd_value(rng, None), odd_value(rng, None)]
    if rng.random() < 0.5:
        mark = _yaml.Mark(*args)
    else:
        mark = _yaml.Mark("n", 1, 2, 3, None, None)
        mark.__setstate__(tuple(args[:rng.randrange(8)]) + (rng.choice([{}, {"x": 1}, None]),))
    str(mark)
    mark.__reduce__()
    pickle.loads(pickle.dumps(mark))
    _yaml.__pyx_unpickle_Mark(_yaml.Mark, rng.choice([0x27a7a5c, 0x3fa45b6, 1, 2 ** 70, IntLike(5)]),
                              rng.choice([None, tuple(args), (), [1]]))


PARSER_METHODS = ["get_token", "get_event", "check_node", "get_node", "get_single_node",
                  "raw_scan", "raw_parse", "peek_token", "peek_event", "check_event",
                  "check_token", "dispose", "__init__"]


def mode_dispose_misuse(rng, ctx):
    """Instances used after dispose, before __init__, re-initialised in the
    middle of a document, or driven through several levels at once."""
    data = make_input(rng, ctx.pool)
    loader = Loader.__new__(Loader) if rng.random() < 0.3 else Loader(data)
    for _ in range(rng.randrange(2, 10)):
        method = rng.choice(PARSER_METHODS)
        try:
            if method == "__init__":
                _yaml.CParser.__init__(loader, rng.choice([data, b"x: [1", SAMPLE, None, 5]))
            else:
                getattr(loader, method)()
        except ODD_OK:
            pass
    emitter = _yaml.CEmitter.__new__(Dumper) if rng.random() < 0.3 else Dumper(io.StringIO())
    graph = compose_all(SAMPLE)
    for _ in range(rng.randrange(2, 10)):
        step = rng.randrange(6)
        try:
            if step == 0:
                emitter.dispose()
            elif step == 1:
                _yaml.CEmitter.__init__(emitter, rng.choice([OddWriter(rng), io.StringIO(), io.BytesIO()]))
            elif step == 2:
                emitter.emit(rng.choice([ev.StreamStartEvent(), ev.StreamEndEvent(),
                                         ev.DocumentStartEvent(), ev.DocumentEndEvent(),
                                         ev.ScalarEvent(None, None, (True, False), "x")]))
            elif step == 3:
                emitter.open()
            elif step == 4:
                emitter.serialize(rng.choice(graph))
            else:
                emitter.close()
        except ODD_OK:
            pass


REENTRY_CALLS = ["get_token", "peek_token", "check_token", "get_event", "peek_event",
                 "check_event", "check_node", "get_node", "get_single_node", "raw_scan",
                 "raw_parse", "dispose", "__init__"]


class ReentrantStream:
    """A stream, resolver and writer that calls back into its own parser
    or emitter in the middle of an operation."""

    def __init__(self, rng, data):
        self.rng = rng
        self.inner = OddStream(rng, data)
        self.inner.kind = 7
        self.owner = None
        self.when = rng.choice([1, 2, 3, 8])
        self.calls = 0

    def poke(self):
        self.calls += 1
        if self.owner is None or self.calls != self.when:
            return
        name = self.rng.choice(REENTRY_CALLS)
        try:
            if name == "__init__":
                type(self.owner).__init__(self.owner, self.rng.choice([b"a: b", "x", self]))
            else:
                getattr(self.owner, name)()
        except RuntimeError:
            pass

    def read(self, size):
        self.poke()
        return self.inner.read(size)


class ReentrantLoader(_yaml.CParser, Resolver):
    def __init__(self, stream, hook):
        _yaml.CParser.__init__(self, stream)
        self.hook = hook

    def descend_resolver(self, parent, index):
        self.hook.poke()

    def resolve(self, kind, value, implicit):
        self.hook.poke()
        return Resolver.resolve(self, kind, value, implicit)


class ReentrantDumper(_yaml.CEmitter, Resolver):
    def __init__(self, stream, hook):
        _yaml.CEmitter.__init__(self, stream)
        self.hook = hook

    def resolve(self, kind, value, implicit):
        self.hook.poke()
        return Resolver.resolve(self, kind, value, implicit)


class ReentrantWriter:
    def __init__(self, rng):
        self.rng = rng
        self.owner = None
        self.when = rng.choice([1, 2, 3])
        self.calls = 0

    def poke(self):
        self.calls += 1
        if self.owner is None or self.calls != self.when:
            return
        action = self.rng.randrange(6)
        try:
            if action == 0:
                self.owner.dispose()
            elif action == 1:
                self.owner.emit(ev.ScalarEvent(None, None, (True, False), "x"))
            elif action == 2:
                self.owner.close()
            elif action == 3:
                self.owner.serialize(ScalarNode("tag:yaml.org,2002:str", "y"))
            elif action == 4:
                _yaml.CEmitter.__init__(self.owner, self)
            else:
                self.owner.open()
        except (RuntimeError, yaml.error.YAMLError):
            pass

    def write(self, data):
        self.poke()


def mode_reentry(rng, ctx):
    data = make_input(rng, ctx.pool) if rng.random() < 0.5 else SAMPLE
    if rng.random() < 0.6:
        hook = ReentrantStream(rng, data)
        loader = ReentrantLoader(hook if rng.random() < 0.7 else data, hook)
        hook.owner = loader
        level = rng.randrange(3)
        for _ in range(100000):
            if level == 0 and loader.get_token() is None:
                break
            if level == 1 and loader.get_event() is None:
                break
            if level == 2:
                if not loader.check_node():
                    break
                loader.get_node()
        return
    writer = ReentrantWriter(rng)
    dumper = ReentrantDumper(writer, writer)
    writer.owner = dumper
    if rng.random() < 0.5:
        for event in parse_events(SAMPLE):
            dumper.emit(event)
    else:
        dumper.open()
        for node in compose_all(SAMPLE):
            dumper.serialize(node)
        dumper.close()


try:
    import _testcapi
except ImportError:   # interpreters built without the test modules
    _testcapi = None


def mode_oom(rng, ctx):
    """Allocations fail for a short window somewhere inside a module call."""
    data = SAMPLE if rng.random() < 0.5 else make_input(rng, ctx.pool)
    if isinstance(data, bytes) and len(data) > 20000:
        data = data[:20000]
    graph = compose_all(SAMPLE)
    events = parse_events(SAMPLE)
    job = rng.randrange(6)
    # Log-uniform, so the first few allocations of a call fail as often
    # as the later ones.
    start = int(2 ** rng.uniform(0, 12 if job < 4 else 10))
    stop = start + rng.choice([1, 1, 2, 5, 50])
    if _testcapi is None:
        return
    _testcapi.set_nomemory(start, stop)
    try:
        if job == 0:
            loader = Loader(data)
            while loader.get_token() is not None:
                pass
        elif job == 1:
            loader = Loader(data)
            while loader.get_event() is not None:
                pass
        elif job == 2:
            loader = Loader(data)
            while loader.check_node():
                loader.get_node()
        elif job == 3:
            Loader(OddStream(rng, data)).get_single_node()
        elif job == 4:
            emitter = _yaml.CEmitter(io.StringIO() if rng.random() < 0.5 else io.BytesIO())
            for event in events:
                emitter.emit(event)
        else:
            dumper = Dumper(io.StringIO())
            dumper.open()
            for node in graph:
                dumper.serialize(node)
            dumper.close()
    finally:
        _testcapi.remove_mem_hooks()
    ctx.check_healthy()


def reference_tool():
    """libyaml's own event reader (tests/tools), from the plain build when
    there is one, else the newest; None if unbuilt."""
    plain = os.path.join(REPO, "build", "tests", "tools", "libyaml_events")
    if os.path.isfile(plain) and os.access(plain, os.X_OK):
        return plain
    found = []
    for entry in os.listdir(REPO):
        path = os.path.join(REPO, entry, "tests", "tools", "libyaml_events")
        if entry.startswith("build") and os.path.isfile(path) and os.access(path, os.X_OK):
            found.append(path)
    return max(found, key=os.path.getmtime) if found else None


class ChunkStream:
    """Hands out the bytes in pieces of odd sizes, some longer than asked;
    empty only at the end."""

    def __init__(self, rng, data):
        self.rng, self.data, self.pos = rng, data, 0

    def read(self, size):
        small = [1, 2, 3, 7, 64] if len(self.data) < 20000 else [1000, 4097]
        n = self.rng.choice(small + [size, size * 3 + 1])
        chunk = self.data[self.pos:self.pos + n]
        self.pos += len(chunk)
        return chunk


def mode_libyaml_diff(rng, ctx):
    """Our event stream against libyaml's own reading of the same bytes,
    whole and through a stream of odd-sized chunks."""
    if ctx.tool is None:
        return
    data = make_input(rng, ctx.pool)
    if isinstance(data, str):
        data = data.encode("utf-8", "surrogatepass")
    # The notation's escaping of long non-ASCII values crawls under the
    # sanitizer's allocator; the other modes take the long inputs.
    data = data[:16 * 1024]
    path = os.path.join(ctx.scratch, "in.yaml")
    with open(path, "wb") as handle:
        handle.write(data)
    proc = subprocess.run([ctx.tool, path], stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    if proc.returncode != 0:
        return   # the reference tool gave up (memory); nothing to compare
    expected = ctx.eventfmt.split_lines(proc.stdout.decode("utf-8", "surrogateescape"))
    for label, source in (("bytes", data), ("chunks", ChunkStream(rng, data))):
        got = ctx.eventfmt.stream_lines(Loader(source))
        if (label == "chunks" and expected and expected[-1].startswith("!ERROR reader")
                and got and got[-1].startswith("!ERROR")
                and got[:min(len(got), len(expected)) - 1] == expected[:min(len(got), len(expected)) - 1]):
            # libyaml checks the encoding of the input it holds when it
            # refills its buffer, so the pieces' sizes decide how many events
            # come out before a bad byte (more or fewer), and a syntax error
            # before the bad byte may win.
            continue
        if got != expected:
            first = next((i for i, (a, b) in enumerate(zip(got, expected)) if a != b),
                         min(len(got), len(expected)))
            raise Finding("%s input: event %d is %.200r, libyaml reads %.200r; input %.300r"
                          % (label, first, got[first:first + 1], expected[first:first + 1], data))


MODES = [
    ("scan", mode_scan, PARSE_OK),
    ("parse", mode_parse, PARSE_OK),
    ("compose", mode_compose, PARSE_OK),
    ("events_roundtrip", mode_events_roundtrip, EMIT_OK),
    ("graph_roundtrip", mode_graph_roundtrip, EMIT_OK),
    ("read_stream", mode_read_stream, ODD_OK),
    ("resolver_faults", mode_resolver_faults, ODD_OK),
    ("host_globals", mode_host_globals, ODD_OK),
    ("emit_odd_events", mode_emit_odd_events, ODD_OK),
    ("serialize_odd_nodes", mode_serialize_odd_nodes, ODD_OK),
    ("mark", mode_mark, ODD_OK),
    ("dispose_misuse", mode_dispose_misuse, ODD_OK),
    ("reentry", mode_reentry, ODD_OK),
    ("oom", mode_oom, ODD_OK),
    ("libyaml_diff", mode_libyaml_diff, PARSE_OK),
]
MODE_NAMES = [m[0] for m in MODES]


# --- Running --------------------------------------------------------------

BUG_TEXTS = ("returned NULL without setting", "returned a result with an exception set",
             "error return without exception set")


class Context:
    def __init__(self, pool):
        self.pool = pool
        self.healthy_reference = self._healthy_result()
        self.tool = reference_tool()
        self.scratch = tempfile.mkdtemp(prefix="yaml-fuzz-")
        atexit.register(shutil.rmtree, self.scratch, True)
        if REPO not in sys.path:
            sys.path.append(REPO)   # after PYTHONPATH: only for tests/support
        from tests.support import eventfmt
        self.eventfmt = eventfmt

    @staticmethod
    def _healthy_result():
        events = [event_key(e) for e in parse_events(SAMPLE)]
        out = io.StringIO()
        dumper = Dumper(out)
        dumper.open()
        for node in compose_all(SAMPLE):
            dumper.serialize(node)
        dumper.close()
        return events, out.getvalue()

    def check_healthy(self):
        if self._healthy_result() != self.healthy_reference:
            raise Finding("a healthy parse and dump differ after the case")


def interpreter_oom_fault(exc):
    """True for the interpreter's own slips when an allocation fails while
    Python code raises: it then reports a Python function (never one of
    the module's) as returning NULL without an exception, or raises "error
    return without exception set" out of a Python frame.  Plain Python
    code, without the module, does both."""
    if re.match(r"<function [\w.<>]+ at 0x[0-9a-f]+> returned NULL without setting an exception$",
                str(exc)):
        return True
    tb = exc.__traceback__
    while tb is not None and tb.tb_next is not None:
        tb = tb.tb_next
    # Raised inside a Python callback, not at the module's call site.
    return tb is not None and tb.tb_frame.f_code.co_name != "mode_oom"


def case_rng(seed, index):
    return random.Random("%d:%d" % (seed, index))


def run_case(seed, index, ctx, mode_index=None):
    """Runs one case; returns (mode name, finding text or None)."""
    mode_index = index % len(MODES) if mode_index is None else mode_index
    name, func, allowed = MODES[mode_index]
    rng = case_rng(seed, index)
    try:
        func(rng, ctx)
    except Finding as exc:
        return name, "consistency: %s" % exc
    except SystemError as exc:
        if name == "oom" and interpreter_oom_fault(exc):
            return name, None
        return name, "SystemError:\n%s" % traceback.format_exc(limit=6)
    except allowed as exc:
        text = str(exc) if not isinstance(exc, MemoryError) else ""
        if any(t in text for t in BUG_TEXTS):
            return name, "bad exception state:\n%s" % traceback.format_exc(limit=6)
        cause = exc.__context__
        while cause is not None:
            if isinstance(cause, SystemError):
                return name, "SystemError in the context:\n%s" % traceback.format_exc(limit=6)
            cause = cause.__context__
        return name, None
    except BaseException as exc:   # noqa: B902 - every other type is a finding
        if isinstance(exc, KeyboardInterrupt):
            raise
        return name, "unexpected %s:\n%s" % (type(exc).__name__, traceback.format_exc(limit=8))
    return name, None


def memory_units_counted():
    """False where the interpreter counts no blocks (PYTHONMALLOC=malloc, as
    under the sanitizer runner): the leak check then sees nothing."""
    return hasattr(sys, "gettotalrefcount") or sys.getallocatedblocks() > 0


def memory_units():
    if hasattr(sys, "gettotalrefcount"):
        return sys.gettotalrefcount() + sys.getallocatedblocks()
    return sys.getallocatedblocks()


# Rebinding host globals and pickling under them feeds caches of the
# interpreter that keep growing slowly for hundreds of runs.
NO_LEAK_CHECK = ("host_globals",)


def leak_check(seed, index, ctx, repeats=30, deadline=None):
    """Runs one case again and again; a steady growth is a leak.  Caches of
    the interpreter also grow at first, but less with every batch."""
    def batch(n):
        for _ in range(n):
            run_case(seed, index, ctx)
        gc.collect()
    batch(10)
    growth = []
    for _ in range(3):
        before = memory_units()
        batch(repeats)
        growth.append(memory_units() - before)
        if growth[-1] < repeats or (deadline and time.time() > deadline):
            return None
    if growth[-1] * 2 < growth[0]:
        return None
    return "memory grows by about %d blocks per run" % (growth[-1] // repeats)


class Stats:
    def __init__(self):
        self.counts = dict.fromkeys(MODE_NAMES, 0)
        self.findings = []   # (index, mode, text)



def run_range(seed, first, count, deadline, ctx, stats, progress=None, leak_every=0,
              report=None, modes=None):
    """In-process core: runs cases first..first+count-1 until the deadline,
    only those of the named modes when `modes` is given.  Returns the index
    of the next case not run."""
    index = first
    while index < first + count and time.time() < deadline:
        if modes and MODE_NAMES[index % len(MODES)] not in modes:
            index += 1
            continue
        if progress:
            progress(index)
        began = time.perf_counter()
        name, finding = run_case(seed, index, ctx)
        took = time.perf_counter() - began
        stats.counts[name] += 1
        found = []
        if finding:
            found.append((index, name, finding))
        # Repeat quick cases of the modes without odd objects (whose
        # rebinding and faults keep caches of their own) to look for leaks.
        if (leak_every and index % leak_every == 0 and took < 0.02
                and MODE_NAMES[index % len(MODES)] not in NO_LEAK_CHECK):
            leak = leak_check(seed, index, ctx, deadline=deadline)
            if leak:
                found.append((index, name, "leak: " + leak))
        stats.findings.extend(found)
        if report:
            for item in found:
                report(item)
        index += 1
    return index


def default_corpus():
    return os.path.join(os.path.dirname(REPO), "shared", "yaml-test-suite", "cases")


def make_context(corpus):
    pool = load_corpus(corpus)
    generated = not pool
    if generated:
        rng = random.Random(0)
        pool = [gen_document(rng) for _ in range(200)]
    return Context(pool), generated


def worker_main(args):
    ctx, _ = make_context(args.corpus)
    stats = Stats()
    out = sys.stdout

    def progress(i):
        out.write("C %d\n" % i)
        out.flush()
        if i == args.crash_at:
            os.abort()   # proves the crash path of the parent

    def report(item):
        out.write("F %s\n" % json.dumps(item))
        out.flush()
    nxt = run_range(args.seed, args.first, args.iterations, args.until, ctx, stats, progress,
                    leak_every=args.leak_every, report=report, modes=args.modes)
    out.write("R %d\n" % nxt)
    out.flush()
    return 0


def spawn(args, first, count, until, extra=()):
    cmd = [sys.executable]
    if sys.flags.safe_path:
        cmd.append("-P")
    cmd += [os.path.abspath(__file__), "--worker", "--seed", str(args.seed), "--first", str(first),
            "--iterations", str(count), "--until", repr(until), "--corpus", args.corpus or "",
            "--leak-every", str(args.leak_every)] + list(extra)
    if args.crash_at is not None:
        cmd += ["--crash-at", str(args.crash_at)]
    if args.modes:
        cmd += ["--modes", ",".join(args.modes)]
    env = dict(os.environ)
    if not env.get("PYTHONPATH"):
        env["PYTHONPATH"] = REPO
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, text=True)
    hard_limit = max(until - time.time(), 0) + 120
    try:
        stdout, stderr = proc.communicate(timeout=hard_limit)
        timed_out = False
    except subprocess.TimeoutExpired:
        proc.kill()
        stdout, stderr = proc.communicate()
        timed_out = True
    started, findings, finished = [], [], None
    for line in stdout.splitlines():
        if line.startswith("C "):
            started.append(int(line[2:]))
        elif line.startswith("F "):
            findings.append(tuple(json.loads(line[2:])))
        elif line.startswith("R "):
            finished = int(line[2:])
    return Outcome(proc.returncode, timed_out, started, findings, finished, stderr)


class Outcome:
    """What a worker did: the cases it started, its findings, and the next
    case index when it finished normally (None when it died)."""

    def __init__(self, code, timed_out, started, findings, finished, stderr):
        self.code, self.timed_out, self.started = code, timed_out, started
        self.findings, self.finished, self.stderr = findings, finished, stderr
        if self.code != 0 or self.timed_out:
            self.finished = None


def describe_death(outcome):
    if outcome.timed_out:
        return "hang (worker killed after its time limit)"
    code = outcome.code
    what = "killed by signal %d" % -code if code < 0 else "exit status %d" % code
    tail = "\n".join(outcome.stderr.splitlines()[-40:])
    return "crash (%s)\n%s" % (what, tail)


def parent_main(args):
    start = time.time()
    deadline = start + args.seconds
    print("fuzz: seed %d, up to %s s, up to %s iterations" % (args.seed, args.seconds,
          args.iterations if args.iterations else "unlimited"), flush=True)
    print("fuzz: yaml from %s, _yaml from %s" % (yaml.__file__, _yaml.__file__), flush=True)
    ctx, generated = make_context(args.corpus)
    print("fuzz: %d inputs (%s)" % (len(ctx.pool), "generated; corpus %r not found" % args.corpus
                                    if generated else "corpus " + args.corpus), flush=True)
    print("fuzz: libyaml reference %s" % (ctx.tool or "not built: libyaml_diff compares nothing"),
          flush=True)
    if args.leak_every and not memory_units_counted():
        print("fuzz: leak check off: this interpreter counts no memory blocks "
              "(PYTHONMALLOC=malloc); leaks are left to the sanitizer and refleak runs",
              flush=True)
    stats = Stats()
    index = 0
    limit = args.iterations or 1 << 62
    while index < limit and time.time() < deadline:
        outcome = spawn(args, index, limit - index, deadline)
        stats.findings.extend(outcome.findings)
        done = outcome.started if outcome.finished is not None else outcome.started[:-1]
        for i in done:
            stats.counts[MODE_NAMES[i % len(MODES)]] += 1
        if outcome.finished is not None:
            if outcome.finished == index:
                break
            index = outcome.finished
            continue
        crashed = outcome.started[-1] if outcome.started else index
        death = describe_death(outcome)
        # Alone, in a fresh process: does the case crash by itself?
        alone = spawn(args, crashed, 1, time.time() + 60)
        if alone.finished is None:
            death = describe_death(alone)
            repro = "python3 -P tools/fuzz.py --seed %d --case %d" % (args.seed, crashed)
        else:
            repro = ("python3 -P tools/fuzz.py --worker --seed %d --first %d --iterations %d"
                     "  (needs the cases before it)" % (args.seed, index, crashed - index + 1))
        mode = MODE_NAMES[crashed % len(MODES)]
        stats.counts[mode] += 1
        stats.findings.append((crashed, mode, "%s\nreproduce: %s" % (death, repro)))
        print("fuzz: case %d (%s) crashed the worker" % (crashed, mode), flush=True)
        index = crashed + 1
    total = sum(stats.counts.values())
    print("fuzz: %d iterations in %.1f s" % (total, time.time() - start))
    for name in MODE_NAMES:
        print("  %-20s %d" % (name, stats.counts[name]))
    print("fuzz: %d finding%s" % (len(stats.findings), "" if len(stats.findings) == 1 else "s"))
    for index, mode, text in stats.findings:
        print("--- case %d (%s): python3 -P tools/fuzz.py --seed %d --case %d\n%s"
              % (index, mode, args.seed, index, text))
    return 1 if stats.findings else 0


def case_main(args):
    ctx, _ = make_context(args.corpus)
    name, finding = run_case(args.seed, args.case, ctx)
    print("case %d (%s): %s" % (args.case, name, finding or "no finding"))
    return 1 if finding else 0


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seed", type=int, default=None, help="default: from the clock, printed")
    parser.add_argument("--seconds", type=float, default=60.0, help="time budget (default 60)")
    parser.add_argument("--iterations", type=int, default=0,
                        help="case numbers to go through (default 0: until the time is up)")
    parser.add_argument("--corpus", default=default_corpus(),
                        help="folder searched for in.yaml/out.yaml/emit.yaml (default: the YAML "
                             "test suite beside the repository; generated documents without it)")
    parser.add_argument("--modes", default="",
                        help="comma-separated modes to run (default: all): " + ", ".join(MODE_NAMES))
    parser.add_argument("--case", type=int, default=None, help="run only this case, in process")
    parser.add_argument("--leak-every", type=int, default=97,
                        help="repeat every N-th case to look for growing memory (0: never)")
    parser.add_argument("--worker", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("--crash-at", type=int, default=None, help=argparse.SUPPRESS)
    parser.add_argument("--first", type=int, default=0, help=argparse.SUPPRESS)
    parser.add_argument("--until", type=float, default=None, help=argparse.SUPPRESS)
    args = parser.parse_args(argv)
    args.modes = [m for m in args.modes.split(",") if m]
    unknown = sorted(set(args.modes) - set(MODE_NAMES))
    if unknown:
        parser.error("unknown mode(s): %s" % ", ".join(unknown))
    if args.seed is None:
        args.seed = int(time.time() * 1000) % (1 << 31)
    if args.worker:
        if args.until is None:
            args.until = time.time() + args.seconds
        if not args.iterations:
            args.iterations = 1 << 62
        return worker_main(args)
    if args.case is not None:
        return case_main(args)
    return parent_main(args)


if __name__ == "__main__":
    sys.exit(main())
