"""Checks of the libyaml reference tools and the event-notation helpers.

These run without the extension: libyaml_events and libyaml_emit are
compared with the YAML test suite and with each other, and eventfmt is
checked against the suite's test.event files and small fixtures.  Tests
that need the suite or the built tools skip when they are missing, and fail
then under CI (YAML_REQUIRE_ALL).
"""

import dataclasses
import difflib
import functools
import importlib
import os
import re
import subprocess
import sys
import tempfile
import types
import unittest
from pathlib import Path
from unittest import mock

from tests.support import eventfmt, required, suite
from tests.support.project import REPO_ROOT

# Where libyaml 0.2.5 parts from the suite.  Each set only allows a
# disagreement; a case that starts to agree needs no change here.
#
# Valid YAML that libyaml reads into other events than the suite's.
KNOWN_MISPARSED = {
    "652Z",     # "?foo" in a flow mapping read as an explicit key
    "HM87/01",  # "[?x]" read as a single-pair mapping
    "JEF9/02",  # literals whose last, blank line ends the input without
    "L24T/01",  # a line break: libyaml keeps spaces or drops the break
}
# Valid YAML that libyaml rejects.
KNOWN_REJECTED = {
    "2JQS", "2SXE", "4MUZ/00", "4MUZ/01", "4MUZ/02", "58MP", "5T43", "6BCT",
    "6CA3", "6LVF", "6M2F", "7Z25", "96NN/00", "96NN/01", "9SA2", "A2M4",
    "CFD4", "DBG4", "DK3J", "DK95/00", "DK95/03", "DK95/04", "FRK4",
    "HM87/00", "HWV9", "K3WX", "M2N8/00", "M7A3", "NHX8", "NJ66", "NKF9",
    "Q5MG", "QT73", "R4YG", "S3PD", "UKK6/00", "UT92", "VJP3/01", "W5VH",
}
# Invalid YAML that libyaml accepts.
KNOWN_ACCEPTED_INVALID = {
    "9C9N", "9HCY", "9JBA", "CVW2", "DK95/01", "G5U8", "QB6E", "S98Z",
    "X4QW", "YJV2",
}
# Suite event streams the libyaml emitter refuses (anchors holding
# characters other than letters, digits, "-" and "_").
KNOWN_EMIT_REFUSED = {"2SXE", "W5VH"}

ERROR_LINE_RE = re.compile(
    r"!ERROR (?:memory|reader @\d+ \S.*|(?:scanner|parser) \d+:\d+ \S.*)\Z"
)


def _report(title, items):
    print(f"\n{title}: {len(items)}", file=sys.stderr)
    for item in sorted(items):
        print(f"  {item}", file=sys.stderr)


def _emitter_may_turn(before, after):
    """Whether libyaml's emitter may turn event line `before` into `after`.

    It quotes a scalar whose requested style it cannot honour, marks every
    document after the first with "---", and closes an open-ended document
    with "...".  Anything else (values, anchors, tags, structure) must
    survive.
    """
    if before == after:
        return True
    if (before, after) in (("+DOC", "+DOC ---"), ("-DOC", "-DOC ...")):
        return True
    if before.startswith("=VAL") and after.startswith("=VAL"):
        a, b = eventfmt.parse_line(before), eventfmt.parse_line(after)
        return b.style in ("'", '"') and dataclasses.replace(a, style=b.style) == b
    return False


def _emitter_changes(before, after):
    """Differences between two event streams that the emitter may not cause."""
    if len(before) != len(after):
        return [f"{len(before)} events became {len(after)}"]
    return [
        f"{i + 1}: {a!r} -> {b!r}"
        for i, (a, b) in enumerate(zip(before, after))
        if not _emitter_may_turn(a, b)
    ]


def _expected_lines(case_path):
    return eventfmt.split_lines((case_path / "test.event").read_text(encoding="utf-8"))


@functools.lru_cache(maxsize=None)
def _libyaml_suite_lines(events_tool):
    """case_id -> (case path, libyaml's event lines) for the whole suite."""
    return {
        case_id: (path, suite.event_lines(events_tool, path / "in.yaml"))
        for case_id, path in suite.iter_cases()
    }


def _failed(lines):
    return bool(lines) and lines[-1].startswith("!ERROR")


class _ToolTestCase(unittest.TestCase):
    """Gives each test both tools and a scratch folder."""

    def setUp(self):
        self.events_tool = suite.require_tool(self, "libyaml_events")
        self.emit_tool = suite.require_tool(self, "libyaml_emit")
        scratch = tempfile.TemporaryDirectory()
        self.addCleanup(scratch.cleanup)
        self.scratch = Path(scratch.name)
        self._files = 0

    def write(self, data, suffix):
        self._files += 1
        path = self.scratch / f"f{self._files}{suffix}"
        if isinstance(data, str):
            data = data.encode("utf-8", "surrogateescape")
        path.write_bytes(data)
        return path

    def parse(self, yaml_bytes, *opts):
        """libyaml_events output for yaml_bytes, checking the exit status."""
        proc = suite.run_tool(self.events_tool, *opts, self.write(yaml_bytes, ".yaml"))
        self.assertEqual(proc.returncode, 0, proc.stderr)
        return eventfmt.split_lines(proc.stdout.decode("utf-8", "surrogateescape"))

    def emit(self, lines, *opts):
        """libyaml_emit run over event lines; returns the CompletedProcess."""
        return suite.run_tool(self.emit_tool, *opts, self.write("".join(l + "\n" for l in lines), ".event"))

    def emit_ok(self, lines, *opts):
        proc = self.emit(lines, *opts)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertEqual(proc.stderr, b"")
        return proc.stdout


class LibyamlAgainstSuiteTest(_ToolTestCase):
    """libyaml_events over every suite case, against the case's test.event."""

    def setUp(self):
        super().setUp()
        suite.require_suite(self)
        self.results = _libyaml_suite_lines(self.events_tool)
        self.assertTrue(self.results, "no cases found in the suite")

    def test_valid_cases_give_the_suite_events(self):
        agree, rejected, misparsed = [], [], []
        for case_id, (path, got) in self.results.items():
            if (path / "error").exists():
                continue
            expected = _expected_lines(path)
            if _failed(got):
                rejected.append(case_id)
                with self.subTest(case=case_id):
                    self.assertIn(case_id, KNOWN_REJECTED, f"libyaml now fails with {got[-1]}")
            elif got != expected:
                misparsed.append(case_id)
                with self.subTest(case=case_id):
                    self.assertIn(case_id, KNOWN_MISPARSED, "\n".join(_diff(expected, got)))
            else:
                agree.append(case_id)
        total = len(agree) + len(rejected) + len(misparsed)
        print(f"\nlibyaml agrees with the suite on {len(agree)} of {total} valid cases",
              file=sys.stderr)
        _report("valid cases libyaml rejects", rejected)
        _report("valid cases libyaml reads differently", misparsed)

    def test_invalid_cases_end_in_an_error(self):
        accepted = []
        for case_id, (path, got) in self.results.items():
            if not (path / "error").exists():
                continue
            if not _failed(got):
                accepted.append(case_id)
                with self.subTest(case=case_id):
                    self.assertIn(case_id, KNOWN_ACCEPTED_INVALID)
        _report("invalid cases libyaml accepts", accepted)

    def test_every_error_line_is_well_formed_and_last(self):
        for case_id, (_, got) in self.results.items():
            with self.subTest(case=case_id):
                self.assertTrue(got, "no output")
                self.assertEqual(got[0], "+STR")
                for line in got[:-1]:
                    self.assertFalse(line.startswith("!"), line)
                if _failed(got):
                    self.assertRegex(got[-1], ERROR_LINE_RE)
                else:
                    self.assertEqual(got[-1], "-STR")


def _diff(expected, got):
    return list(difflib.unified_diff(expected, got, "test.event", "libyaml", lineterm="", n=1))


class EmitRoundTripTest(_ToolTestCase):
    """Event streams through libyaml_emit and back through libyaml_events."""

    def setUp(self):
        super().setUp()
        suite.require_suite(self)

    def test_libyaml_events_survive_emit_and_parse(self):
        # Every stream libyaml reads, valid case or not, the misparsed ones
        # included: what libyaml_events prints is what libyaml_emit rebuilds.
        for case_id, (_, lines) in _libyaml_suite_lines(self.events_tool).items():
            if _failed(lines):
                continue
            with self.subTest(case=case_id):
                again = self.parse(self.emit_ok(lines))
                self.assertEqual(_emitter_changes(lines, again), [])

    def test_suite_events_survive_emit_and_parse(self):
        # The suite's own events, also of cases libyaml cannot read from
        # in.yaml: libyaml reads back what it wrote.
        refused = []
        for case_id, path in suite.iter_cases():
            if (path / "error").exists():
                continue
            expected = _expected_lines(path)
            with self.subTest(case=case_id):
                proc = self.emit(expected)
                if case_id in KNOWN_EMIT_REFUSED:
                    refused.append(case_id)
                    self.assertEqual(proc.returncode, 2)
                    self.assertRegex(proc.stderr.decode(), r"\A!ERROR \S[^\n]*\n\Z")
                    self.assertEqual(proc.stdout, b"")
                    continue
                self.assertEqual(proc.returncode, 0, proc.stderr)
                again = self.parse(proc.stdout)
                self.assertEqual(_emitter_changes(expected, again), [])
        _report("suite event streams the emitter refuses", refused)


# A document with directives, properties, flow and block collections, an
# alias and a literal scalar; the positions below are counted by hand.
FIXTURE = (
    b"%YAML 1.1\n"
    b"%TAG !e! tag:example.com,2000:\n"
    b"--- !e!map &a\n"
    b'k: [ "x\\ty", *a ]\n'
    b"l: |\n"
    b"  z\n"
    b"...\n"
)


class EventsToolTest(_ToolTestCase):
    """libyaml_events on small fixtures."""

    def test_event_lines(self):
        cases = [
            ("empty stream", b"", ["+STR", "-STR"]),
            ("directives, properties, flow, alias", FIXTURE, [
                "+STR", "+DOC ---", "+MAP &a <tag:example.com,2000:map>",
                "=VAL :k", "+SEQ []", '=VAL "x\\ty', "=ALI *a", "-SEQ",
                "=VAL :l", "=VAL |z\\n", "-MAP", "-DOC ...", "-STR",
            ]),
            ("properties on flow collections", b"- !t &s [a]\n- &m !!map {b: ''}\n", [
                "+STR", "+DOC", "+SEQ", "+SEQ [] &s <!t>", "=VAL :a", "-SEQ",
                "+MAP {} &m <tag:yaml.org,2002:map>", "=VAL :b", "=VAL '", "-MAP",
                "-SEQ", "-DOC", "-STR",
            ]),
            ("styles and the bare ! tag", b"- 'a'\n- >\n b\n- ! c\n- \"\"\n", [
                "+STR", "+DOC", "+SEQ", "=VAL 'a", "=VAL >b\\n", "=VAL <!> :c",
                '=VAL "', "-SEQ", "-DOC", "-STR",
            ]),
            ("escaped and raw characters", "a: \"\\0\\b\\t\\r\\n\\\\\\x85\\u2028\\e\"\n".encode(), [
                "+STR", "+DOC", "+MAP", "=VAL :a",
                '=VAL "\\0\\b\\t\\r\\n\\\\\x85\u2028\x1b', "-MAP", "-DOC", "-STR",
            ]),
            ("UTF-16LE input", b"\xff\xfe" + "a: b\n".encode("utf-16-le"), [
                "+STR", "+DOC", "+MAP", "=VAL :a", "=VAL :b", "-MAP", "-DOC", "-STR",
            ]),
        ]
        for name, data, expected in cases:
            with self.subTest(name):
                self.assertEqual(self.parse(data), expected)

    def test_token_lines(self):
        cases = [
            ("directives, properties, flow, alias", FIXTURE, [
                "STREAM-START 0:0", "VERSION-DIRECTIVE 0:0", "TAG-DIRECTIVE 1:0",
                "DOCUMENT-START 2:0", "TAG 2:4 !e! map", "ANCHOR 2:11 a",
                "BLOCK-MAPPING-START 3:0", "KEY 3:0", "SCALAR 3:0 :k", "VALUE 3:1",
                "FLOW-SEQUENCE-START 3:3", 'SCALAR 3:5 "x\\ty', "FLOW-ENTRY 3:11",
                "ALIAS 3:13 a", "FLOW-SEQUENCE-END 3:16", "KEY 4:0", "SCALAR 4:0 :l",
                "VALUE 4:1", "SCALAR 4:3 |z\\n", "BLOCK-END 6:0", "DOCUMENT-END 6:0",
                "STREAM-END 7:0",
            ]),
            # A tag token is "handle suffix": "!" alone has an empty handle,
            # a verbatim tag too.
            ("tag forms", b"- ! a\n- !l b\n- !!str c\n- !<tag:x> d\n- {? e}\n", [
                "STREAM-START 0:0", "BLOCK-SEQUENCE-START 0:0",
                "BLOCK-ENTRY 0:0", "TAG 0:2  !", "SCALAR 0:4 :a",
                "BLOCK-ENTRY 1:0", "TAG 1:2 ! l", "SCALAR 1:5 :b",
                "BLOCK-ENTRY 2:0", "TAG 2:2 !! str", "SCALAR 2:8 :c",
                "BLOCK-ENTRY 3:0", "TAG 3:2  tag:x", "SCALAR 3:11 :d",
                "BLOCK-ENTRY 4:0", "FLOW-MAPPING-START 4:2", "KEY 4:3", "SCALAR 4:5 :e",
                "FLOW-MAPPING-END 4:6", "BLOCK-END 5:0", "STREAM-END 5:0",
            ]),
        ]
        for name, data, expected in cases:
            with self.subTest(name):
                self.assertEqual(self.parse(data, "--tokens"), expected)

    def test_failures_end_the_output(self):
        # (input, mode, lines before the error, error line)
        cases = [
            (b"a: \xff\n", (), [], "!ERROR reader @3 invalid leading UTF-8 octet"),
            (b"a: \xff\n", ("--tokens",), [], "!ERROR reader @3 invalid leading UTF-8 octet"),
            (b"a: b: c\n", (), ["+STR", "+DOC", "+MAP", "=VAL :a", "=VAL :b"],
             "!ERROR scanner 0:4 mapping values are not allowed in this context"),
            (b"- a\nb: c\n", (), ["+STR", "+DOC", "+SEQ", "=VAL :a"],
             "!ERROR parser 1:0 did not find expected '-' indicator"),
            (b'"a', ("--tokens",), ["STREAM-START 0:0"],
             "!ERROR scanner 0:2 found unexpected end of stream"),
        ]
        for data, opts, before, error in cases:
            with self.subTest(data=data, opts=opts):
                self.assertEqual(self.parse(data, *opts), before + [error])

    def test_usage_and_io_errors_exit_1(self):
        missing = self.scratch / "missing.yaml"
        some = self.write(b"a\n", ".yaml")
        for args in [(), (missing,), ("--tokens",), (some, some)]:
            with self.subTest(args=args):
                proc = suite.run_tool(self.events_tool, *args)
                self.assertEqual(proc.returncode, 1)
                self.assertEqual(proc.stdout, b"")
                self.assertNotEqual(proc.stderr, b"")


# Two documents with every kind of event and a non-ASCII character.
EMIT_FIXTURE = [
    "+STR", "+DOC", "+MAP", "=VAL :key", "+SEQ",
    "=VAL :love \u2665 and a long line of plain words here",
    "=VAL <tag:example.com,2000:x> :v", "=VAL <!> :12",
    "+MAP {} &m", "=VAL :a", "=ALI *m", "-MAP", "-SEQ", "-MAP", "-DOC",
    "+DOC", "=VAL |z\\n", "-DOC", "-STR",
]

# Lines neither notation reader accepts.
MALFORMED_LINES = [
    "=VAL ?x",          # no style char
    "=VAL :a\\q",       # unknown escape
    "=VAL :a\\",        # dangling backslash
    "+FOO",             # unknown event
    "+SEQ {}",          # mapping marker on a sequence
    "+MAP [] &a",
    "=ALI a",           # alias without "*"
    "+DOC --",
    "-STR x",
]


class EmitToolTest(_ToolTestCase):
    """libyaml_emit options and event-building rules."""

    reparse = _ToolTestCase.parse

    def test_plain_run_round_trips(self):
        out = self.emit_ok(EMIT_FIXTURE)
        self.assertEqual(_emitter_changes(EMIT_FIXTURE, self.reparse(out)), [])

    def test_options(self):
        plain = self.emit_ok(EMIT_FIXTURE).decode()
        doc_starts = lambda ls: [l for l in ls if l.startswith("+DOC")]
        doc_ends = lambda ls: [l for l in ls if l.startswith("-DOC")]
        records = lambda ls: [eventfmt.parse_line(l) for l in ls]
        # (options, check of the output bytes and the re-parsed events)
        cases = [
            (["--canonical"], lambda out, ev: (
                self.assertEqual({r.style for r in records(ev) if r.kind == "=VAL"}, {'"'}),
                self.assertTrue(all(r.flow for r in records(ev) if r.kind in ("+SEQ", "+MAP"))),
                self.assertEqual(doc_starts(ev), ["+DOC ---"] * 2))),
            (["--indent", "4"], lambda out, ev: (
                self.assertIn("\n    z\n", out.decode()), self.assertIn("\n  z\n", plain))),
            (["--width", "20"], lambda out, ev: self.assertLess(
                max(map(len, out.decode().splitlines())), max(map(len, plain.splitlines())))),
            (["--unicode"], lambda out, ev: (
                self.assertIn("\u2665", out.decode()), self.assertNotIn("\u2665", plain),
                self.assertIn("\\u2665", plain))),
            (["--break", "crln"], lambda out, ev: self.assertEqual(
                out, plain.replace("\n", "\r\n").encode())),
            (["--break", "cr"], lambda out, ev: self.assertEqual(
                out, plain.replace("\n", "\r").encode())),
            (["--break", "ln"], lambda out, ev: self.assertEqual(out, plain.encode())),
            (["--explicit-start"], lambda out, ev: (
                self.assertEqual(doc_starts(ev), ["+DOC ---"] * 2),
                self.assertTrue(out.startswith(b"---")))),
            (["--explicit-end"], lambda out, ev: (
                self.assertEqual(doc_ends(ev), ["-DOC ..."] * 2),
                self.assertEqual(out.count(b"...\n"), 2))),
            (["--version", "1.1"], lambda out, ev: (
                self.assertEqual(out.count(b"%YAML 1.1\n---"), 2),
                self.assertTrue(out.startswith(b"%YAML 1.1\n")))),
            (["--tag", "!e!", "tag:example.com,2000:", "--tag", "!f!", "tag:f/"],
             lambda out, ev: (
                self.assertEqual(out.count(b"%TAG !e! tag:example.com,2000:\n%TAG !f! tag:f/\n---"), 2),
                self.assertIn(b"- !e!x v\n", out))),
            (["--encoding", "utf-8"], lambda out, ev: self.assertEqual(out, plain.encode())),
            (["--encoding", "utf-16-le"], lambda out, ev: self.assertEqual(
                out, b"\xff\xfe" + plain.encode("utf-16-le"))),
            (["--encoding", "utf-16-be"], lambda out, ev: self.assertEqual(
                out, b"\xfe\xff" + plain.encode("utf-16-be"))),
        ]
        for opts, check in cases:
            with self.subTest(opts=opts):
                out = self.emit_ok(EMIT_FIXTURE, *opts)
                ev = self.reparse(out)
                base = EMIT_FIXTURE
                if "--canonical" in opts:  # canonical output is all flow
                    base = [{"+SEQ": "+SEQ []", "+MAP": "+MAP {}"}.get(l, l) for l in base]
                self.assertEqual(_emitter_changes(base, ev), [])
                check(out, ev)

    def test_event_building_rules(self):
        # (event lines inside one document, options, expected output text)
        cases = [
            ("untagged plain scalar", ["=VAL :12"], (), "12\n"),
            ("tagged plain scalar keeps its tag",
             ["=VAL <tag:yaml.org,2002:str> :12"], (), "!!str 12\n"),
            ("untagged quoted scalar", ["=VAL '12"], (), "'12'\n"),
            ("anchor", ["=VAL &x :12"], (), "&x 12\n"),
            ("tagged block sequence", ["+SEQ <tag:yaml.org,2002:seq>", "=VAL :a", "-SEQ"], (),
             "!!seq\n- a\n"),
            ("flow sequence", ["+SEQ []", "=VAL :a", "-SEQ"], (), "[a]\n"),
            ("flow mapping with anchor", ["+MAP {} &m", "=VAL :a", "=VAL :b", "-MAP"], (),
             "&m {a: b}\n"),
            ("block mapping", ["+MAP", "=VAL :a", "=VAL \"b", "-MAP"], (), "a: \"b\"\n"),
            ("literal", ["=VAL |a\\nb\\n"], (), "|\n  a\n  b\n"),
            ("folded", ["=VAL >a\\n"], (), ">\n  a\n"),
        ]
        for name, body, opts, expected in cases:
            with self.subTest(name):
                lines = ["+STR", "+DOC"] + body + ["-DOC", "-STR"]
                out = self.emit_ok(lines, *opts)
                self.assertEqual(out.decode(), expected)
                self.assertEqual(self.reparse(out), lines)

    def test_document_markers(self):
        cases = [
            (["+DOC", "=VAL :a", "-DOC"], (), "a\n"),
            (["+DOC ---", "=VAL :a", "-DOC"], (), "--- a\n"),
            (["+DOC", "=VAL :a", "-DOC ..."], (), "a\n...\n"),
            (["+DOC", "=VAL :a", "-DOC"], ("--explicit-start", "--explicit-end"), "--- a\n...\n"),
        ]
        for body, opts, expected in cases:
            with self.subTest(body=body, opts=opts):
                out = self.emit_ok(["+STR"] + body + ["-STR"], *opts)
                self.assertEqual(out.decode(), expected)

    def test_bare_exclamation_tag_is_kept(self):
        lines = ["+STR", "+DOC", "=VAL <!> :12", "-DOC", "-STR"]
        self.assertEqual(self.reparse(self.emit_ok(lines)), lines)

    def test_refused_event_exits_2(self):
        proc = self.emit(["+STR", "=VAL :x", "-STR"])
        self.assertEqual(proc.returncode, 2)
        self.assertEqual(proc.stderr, b"!ERROR expected DOCUMENT-START or STREAM-END\n")
        self.assertEqual(proc.stdout, b"")

    def test_malformed_notation_exits_1(self):
        for line in MALFORMED_LINES:
            with self.subTest(line=line):
                proc = self.emit(["+STR", "+DOC", line])
                self.assertEqual(proc.returncode, 1)
                self.assertIn(b"line 3", proc.stderr)
                self.assertEqual(proc.stdout, b"")

    def test_usage_errors_exit_1(self):
        good = self.write("+STR\n-STR\n", ".event")
        for args in [(), ("--indent", "x", good), ("--break", "lf", good),
                     ("--encoding", "latin-1", good), ("--version", "1", good),
                     ("--tag", "!e!"), ("--bogus", good), (good, good),
                     (self.scratch / "missing.event",)]:
            with self.subTest(args=args):
                proc = suite.run_tool(self.emit_tool, *args)
                self.assertEqual(proc.returncode, 1)
                self.assertEqual(proc.stdout, b"")


# Host-shaped event classes: the constructors take the host package's
# positional arguments and keep them as attributes.
def _host_class(name, fields):
    def __init__(self, *args):
        if len(args) != len(fields):
            raise TypeError(f"{name} takes {len(fields)} arguments, got {len(args)}")
        for field, value in zip(fields, args):
            setattr(self, field, value)

    def __repr__(self):
        return f"{name}({', '.join(repr(getattr(self, f)) for f in fields)})"

    def __eq__(self, other):
        return type(self) is type(other) and all(
            getattr(self, f) == getattr(other, f) for f in fields)

    return type(name, (), {"__init__": __init__, "__repr__": __repr__,
                           "__eq__": __eq__, "fields": fields})


_MARKS = ("start_mark", "end_mark")
_COLLECTION = ("anchor", "tag", "implicit") + _MARKS + ("flow_style",)
fake_events = types.SimpleNamespace(
    StreamStartEvent=_host_class("StreamStartEvent", _MARKS + ("encoding",)),
    StreamEndEvent=_host_class("StreamEndEvent", _MARKS),
    DocumentStartEvent=_host_class("DocumentStartEvent", _MARKS + ("explicit", "version", "tags")),
    DocumentEndEvent=_host_class("DocumentEndEvent", _MARKS + ("explicit",)),
    AliasEvent=_host_class("AliasEvent", ("anchor",) + _MARKS),
    ScalarEvent=_host_class("ScalarEvent", ("anchor", "tag", "implicit", "value") + _MARKS + ("style",)),
    SequenceStartEvent=_host_class("SequenceStartEvent", _COLLECTION),
    SequenceEndEvent=_host_class("SequenceEndEvent", _MARKS),
    MappingStartEvent=_host_class("MappingStartEvent", _COLLECTION),
    MappingEndEvent=_host_class("MappingEndEvent", _MARKS),
)


def _host(name, *args):
    return getattr(fake_events, name)(*args)


class _Mark:
    def __init__(self, line, column):
        self.line, self.column = line, column


def _error_class(name, base=Exception):
    return type(name, (base,), {})


class EventFmtTest(unittest.TestCase):
    """The notation helpers, without tools."""

    def test_escape_and_unescape(self):
        cases = [
            ("", ""),
            ("plain", "plain"),
            ("a\\b", "a\\\\b"),
            ("\\n", "\\\\n"),          # a backslash then "n" is not a line break
            ("\0\b\t\r\n", "\\0\\b\\t\\r\\n"),
            ("\x85\u2028\x1b\x0c\u263a", "\x85\u2028\x1b\x0c\u263a"),  # written as is
            ("\\\\0", "\\\\\\\\0"),
        ]
        for value, escaped in cases:
            with self.subTest(value=value):
                self.assertEqual(eventfmt.escape(value), escaped)
                self.assertEqual(eventfmt.unescape(escaped), value)

    def test_unescape_refuses_unknown_escapes(self):
        for text in ["\\q", "a\\", "\\x41", "\\u2028"]:
            with self.subTest(text=text):
                with self.assertRaises(ValueError):
                    eventfmt.unescape(text)

    def test_split_lines_splits_only_at_newline(self):
        text = "=VAL :a\x85b\u2028c\x0cd\r\n-STR\n"
        self.assertEqual(eventfmt.split_lines(text), ["=VAL :a\x85b\u2028c\x0cd\r", "-STR"])
        self.assertEqual(eventfmt.split_lines(""), [])
        self.assertEqual(eventfmt.split_lines("+STR"), ["+STR"])

    def test_event_line(self):
        cases = [
            (_host("StreamStartEvent", None, None, "utf-8"), "+STR"),
            (_host("StreamEndEvent", None, None), "-STR"),
            (_host("DocumentStartEvent", None, None, False, (1, 1), {"!": "!"}), "+DOC"),
            (_host("DocumentStartEvent", None, None, True, None, None), "+DOC ---"),
            (_host("DocumentEndEvent", None, None, False), "-DOC"),
            (_host("DocumentEndEvent", None, None, True), "-DOC ..."),
            (_host("AliasEvent", "a1", None, None), "=ALI *a1"),
            (_host("ScalarEvent", None, None, (True, True), "x", None, None, ""), "=VAL :x"),
            (_host("ScalarEvent", None, None, (True, True), "", None, None, ""), "=VAL :"),
            (_host("ScalarEvent", "a", "!t", (False, False), "x y", None, None, "'"), "=VAL &a <!t> 'x y"),
            (_host("ScalarEvent", None, "!", (False, False), "1", None, None, '"'), '=VAL <!> "1'),
            (_host("ScalarEvent", None, None, (False, True), "a\nb\\", None, None, "|"), "=VAL |a\\nb\\\\"),
            (_host("ScalarEvent", None, None, (False, True), "a\t", None, None, ">"), "=VAL >a\\t"),
            (_host("ScalarEvent", None, None, (True, True), "x", None, None, None), "=VAL ?x"),
            (_host("SequenceStartEvent", None, None, True, None, None, False), "+SEQ"),
            (_host("SequenceStartEvent", "s", "!t", False, None, None, True), "+SEQ [] &s <!t>"),
            (_host("SequenceStartEvent", None, "!t", False, None, None, None), "+SEQ <!t>"),
            (_host("MappingStartEvent", "m", None, True, None, None, True), "+MAP {} &m"),
            (_host("MappingStartEvent", None, None, True, None, None, False), "+MAP"),
            (_host("SequenceEndEvent", None, None), "-SEQ"),
            (_host("MappingEndEvent", None, None), "-MAP"),
        ]
        for ev, line in cases:
            with self.subTest(ev=ev):
                self.assertEqual(eventfmt.event_line(ev), line)
        with self.assertRaises(TypeError):
            eventfmt.event_line(object())

    def test_stream_lines(self):
        scanner_error = _error_class("ScannerError")
        parser_error = _error_class("ParserError")
        reader_error = _error_class("ReaderError")
        derived = _error_class("MyScannerError", scanner_error)

        def marked(cls, line, column, problem):
            exc = cls("boom")
            exc.problem_mark, exc.problem = _Mark(line, column), problem
            exc.context, exc.context_mark = "while testing", _Mark(0, 0)
            return exc

        reader = reader_error()
        reader.position, reader.reason = 7, "invalid leading UTF-8 octet"
        events = [_host("StreamStartEvent", None, None, None),
                  _host("DocumentStartEvent", None, None, True, None, None)]
        prefix = ["+STR", "+DOC ---"]
        cases = [
            (None, prefix),
            (marked(scanner_error, 3, 4, "found something"), prefix + ["!ERROR scanner 3:4 found something"]),
            (marked(parser_error, 0, 12, "did not find"), prefix + ["!ERROR parser 0:12 did not find"]),
            (marked(derived, 1, 2, "x"), prefix + ["!ERROR scanner 1:2 x"]),
            (reader, prefix + ["!ERROR reader @7 invalid leading UTF-8 octet"]),
            (MemoryError(), prefix + ["!ERROR memory"]),
        ]
        for exc, expected in cases:
            with self.subTest(exc=type(exc).__name__):
                self.assertEqual(eventfmt.stream_lines(_FakeParser(events, exc)), expected)

    def test_stream_lines_lets_other_exceptions_through(self):
        for exc in [ValueError("x"), UnicodeDecodeError("utf-8", b"\xff", 0, 1, "bad"),
                    _error_class("ComposerError")("y")]:
            with self.subTest(exc=type(exc).__name__):
                parser = _FakeParser([_host("StreamStartEvent", None, None, None)], exc)
                with self.assertRaises(type(exc)):
                    eventfmt.stream_lines(parser)

    def test_parse_line(self):
        R = eventfmt.Record
        cases = [
            ("+STR", R("+STR")),
            ("+DOC", R("+DOC")),
            ("+DOC ---", R("+DOC", explicit=True)),
            ("-DOC ...", R("-DOC", explicit=True)),
            ("+SEQ [] &a <!t>", R("+SEQ", anchor="a", tag="!t", flow=True)),
            ("+MAP <tag:x>", R("+MAP", tag="tag:x")),
            ("+MAP &a", R("+MAP", anchor="a")),
            ("=ALI *:@*!$\"<foo>:", R("=ALI", alias=':@*!$"<foo>:')),
            ("=VAL :", R("=VAL", style=":", value="")),
            ("=VAL &a <!> :12", R("=VAL", anchor="a", tag="!", style=":", value="12")),
            ("=VAL <=> :x", R("=VAL", tag="=", style=":", value="x")),
            ("=VAL <!> > :x", R("=VAL", tag="!", style=">", value=" :x")),
            ('=VAL "a\\tb\\\\n', R("=VAL", style='"', value="a\tb\\n")),
            ("=VAL |&x <y> ", R("=VAL", style="|", value="&x <y> ")),
            ("=VAL &a: :key", R("=VAL", anchor="a:", style=":", value="key")),
        ]
        for line, record in cases:
            with self.subTest(line=line):
                self.assertEqual(eventfmt.parse_line(line), record)
                self.assertEqual(eventfmt.record_line(record), line)

    def test_parse_line_refuses_malformed_lines(self):
        for line in MALFORMED_LINES:
            with self.subTest(line=line):
                with self.assertRaises(ValueError):
                    eventfmt.parse_line(line)

    def test_build_host_events(self):
        H = _host
        cases = [
            ("+STR", {}, H("StreamStartEvent", None, None, None)),
            ("+STR", {"encoding": "utf-16-le"}, H("StreamStartEvent", None, None, "utf-16-le")),
            ("-STR", {}, H("StreamEndEvent", None, None)),
            ("+DOC", {}, H("DocumentStartEvent", None, None, False, None, None)),
            ("+DOC ---", {}, H("DocumentStartEvent", None, None, True, None, None)),
            ("+DOC", {"explicit_start": True, "version": (1, 1), "tags": {"!e!": "tag:e/", "!f!": "f"}},
             H("DocumentStartEvent", None, None, True, (1, 1), {"!e!": "tag:e/", "!f!": "f"})),
            ("-DOC", {}, H("DocumentEndEvent", None, None, False)),
            ("-DOC ...", {}, H("DocumentEndEvent", None, None, True)),
            ("-DOC", {"explicit_end": True}, H("DocumentEndEvent", None, None, True)),
            ("=ALI *a", {}, H("AliasEvent", "a", None, None)),
            ("=VAL :x", {}, H("ScalarEvent", None, None, (True, True), "x", None, None, "")),
            ("=VAL &a <!t> 'x\\n", {}, H("ScalarEvent", "a", "!t", (False, False), "x\n", None, None, "'")),
            ("=VAL <!> :12", {}, H("ScalarEvent", None, "!", (False, False), "12", None, None, "")),
            ('=VAL "x', {}, H("ScalarEvent", None, None, (True, True), "x", None, None, '"')),
            ("=VAL |x", {}, H("ScalarEvent", None, None, (True, True), "x", None, None, "|")),
            ("=VAL >x", {}, H("ScalarEvent", None, None, (True, True), "x", None, None, ">")),
            ("+SEQ", {}, H("SequenceStartEvent", None, None, True, None, None, False)),
            ("+SEQ [] &s <!t>", {}, H("SequenceStartEvent", "s", "!t", False, None, None, True)),
            ("+MAP {}", {}, H("MappingStartEvent", None, None, True, None, None, True)),
            ("+MAP <!t>", {}, H("MappingStartEvent", None, "!t", False, None, None, False)),
            ("-SEQ", {}, H("SequenceEndEvent", None, None)),
            ("-MAP", {}, H("MappingEndEvent", None, None)),
        ]
        for line, options, expected in cases:
            with self.subTest(line=line, options=options):
                got = eventfmt.build_host_events(eventfmt.parse_event_text(line), fake_events, options)
                self.assertEqual(got, [expected])

    def test_build_host_events_gives_each_document_its_own_tags(self):
        tags = {"!e!": "tag:e/"}
        records = eventfmt.parse_event_text("+STR\n+DOC\n-DOC\n+DOC\n-DOC\n-STR\n")
        docs = [ev for ev in eventfmt.build_host_events(records, fake_events, {"tags": tags})
                if type(ev).__name__ == "DocumentStartEvent"]
        self.assertEqual([d.tags for d in docs], [tags, tags])
        docs[0].tags["!x!"] = "y"
        self.assertEqual(docs[1].tags, tags)
        self.assertEqual(tags, {"!e!": "tag:e/"})

    def test_helpers_do_not_import_the_host_package(self):
        code = ("import sys; import tests.support.eventfmt, tests.support.suite, "
                "tests.support.streams, tests.support.required; "
                "print(sorted(m for m in sys.modules if m == 'yaml' or m.startswith('yaml.')))")
        proc = subprocess.run([sys.executable, "-P", "-c", code], cwd=REPO_ROOT,
                              env=dict(os.environ, PYTHONPATH=REPO_ROOT),
                              capture_output=True, text=True, check=True)
        self.assertEqual(proc.stdout.strip(), "[]")


class _FakeParser:
    """get_event() hands out `events`, then raises `exc` (or ends with None)."""

    def __init__(self, events, exc):
        self._events, self._exc = list(events), exc

    def get_event(self):
        if self._events:
            return self._events.pop(0)
        if self._exc is not None:
            raise self._exc
        return None


class SuiteNotationTest(unittest.TestCase):
    """eventfmt over every test.event file of the suite."""

    def setUp(self):
        suite.require_suite(self)

    def test_test_event_files_round_trip(self):
        count = 0
        for case_id, path in suite.iter_cases():
            text = (path / "test.event").read_text(encoding="utf-8")
            with self.subTest(case=case_id):
                records = eventfmt.parse_event_text(text)
                self.assertEqual("".join(eventfmt.record_line(r) + "\n" for r in records), text)
                count += 1
        self.assertGreater(count, 0)

    def test_host_events_render_back_to_the_same_lines(self):
        # build_host_events and event_line are inverse on every suite stream;
        # the explicit options only add document markers.
        options = {"explicit_start": True, "explicit_end": True}
        for case_id, path in suite.iter_cases():
            lines = _expected_lines(path)
            records = eventfmt.parse_event_text("\n".join(lines))
            with self.subTest(case=case_id):
                host = eventfmt.build_host_events(records, fake_events)
                self.assertEqual([eventfmt.event_line(ev) for ev in host], lines)
                marked = [eventfmt.event_line(ev)
                          for ev in eventfmt.build_host_events(records, fake_events, options)]
                self.assertEqual(marked, [{"+DOC": "+DOC ---", "-DOC": "-DOC ..."}.get(l, l)
                                          for l in lines])


class SuiteHelpersTest(unittest.TestCase):
    """Locating the suite and the tools."""

    def setUp(self):
        scratch = tempfile.TemporaryDirectory()
        self.addCleanup(scratch.cleanup)
        self.root = Path(scratch.name)

    def touch(self, rel, mode=0o644):
        path = self.root / rel
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(b"")
        path.chmod(mode)
        return path

    def test_iter_cases_finds_case_folders_sorted(self):
        for rel in ["B1/in.yaml", "A0/01/in.yaml", "A0/00/in.yaml", "A0/===", "C2/test.event"]:
            self.touch(rel)
        self.assertEqual(list(suite.iter_cases(self.root)), [
            ("A0/00", self.root / "A0/00"), ("A0/01", self.root / "A0/01"), ("B1", self.root / "B1"),
        ])
        self.assertEqual(list(suite.iter_cases(self.root / "missing")), [])

    def test_suite_dir(self):
        self.assertEqual((suite.REPO_ROOT / "tests" / "support" / "suite.py").resolve(),
                         Path(suite.__file__).resolve())
        default = suite.REPO_ROOT.parent / "shared" / "yaml-test-suite" / "cases"
        env = {k: v for k, v in os.environ.items() if k != "YAML_TEST_SUITE_DIR"}
        try:
            with mock.patch.dict(os.environ, env, clear=True):
                self.assertEqual(importlib.reload(suite).SUITE_DIR, default)
            with mock.patch.dict(os.environ, {"YAML_TEST_SUITE_DIR": str(self.root)}):
                self.assertEqual(importlib.reload(suite).SUITE_DIR, self.root)
        finally:
            importlib.reload(suite)

    def test_require_suite_skips_or_fails_when_absent_or_empty(self):
        # Without the switch a missing suite is a skip naming what is
        # missing; with it (as under ctest) the same message fails the test.
        missing = self.root / "nowhere"
        empty = self.root / "empty"
        empty.mkdir()
        cases = [(missing, f"YAML test suite not found at {missing}"),
                 (empty, f"YAML test suite at {empty} holds no case")]
        for switch, raised in ((None, unittest.SkipTest), ("1", self.failureException)):
            env = {k: v for k, v in os.environ.items() if k != required.SWITCH}
            if switch:
                env[required.SWITCH] = switch
            for folder, message in cases:
                with self.subTest(switch=switch, folder=folder.name), \
                        mock.patch.dict(os.environ, env, clear=True), \
                        mock.patch.object(suite, "SUITE_DIR", folder):
                    with self.assertRaises(raised) as cm:
                        suite.require_suite(self)
                    self.assertIn(message, str(cm.exception))
        self.touch("case/in.yaml")
        with mock.patch.dict(os.environ, {required.SWITCH: "1"}), \
                mock.patch.object(suite, "SUITE_DIR", self.root):
            suite.require_suite(self)  # present: neither skip nor failure

    def test_switch_values(self):
        for value, on in ((None, False), ("", False), ("0", False), ("1", True), ("yes", True)):
            with self.subTest(value=value):
                env = {k: v for k, v in os.environ.items() if k != required.SWITCH}
                if value is not None:
                    env[required.SWITCH] = value
                with mock.patch.dict(os.environ, env, clear=True):
                    self.assertEqual(required.required(), on)

    def test_tool_path(self):
        tool = self.touch("tools/libyaml_events", 0o755)
        self.touch("tools/libyaml_emit", 0o644)  # not executable
        with mock.patch.dict(os.environ, {"YAML_TOOLS_DIR": str(self.root / "tools")}):
            self.assertEqual(suite.tool_path("libyaml_events"), tool)
            self.assertIsNone(suite.tool_path("libyaml_emit"))
            self.assertIsNone(suite.tool_path("nothing"))

        old = self.touch("build/tests/tools/libyaml_events", 0o755)
        new = self.touch("build-rel/tests/tools/libyaml_events", 0o755)
        os.utime(old, (1, 1))
        env = {k: v for k, v in os.environ.items() if k not in ("YAML_TOOLS_DIR", required.SWITCH)}
        with mock.patch.dict(os.environ, env, clear=True), \
                mock.patch.object(suite, "REPO_ROOT", self.root):
            self.assertEqual(suite.tool_path("libyaml_events"), new)
            self.assertIsNone(suite.tool_path("libyaml_emit"))
            with self.assertRaises(unittest.SkipTest) as cm:
                suite.require_tool(self, "libyaml_emit")
            self.assertIn("libyaml_emit not built", str(cm.exception))
            os.environ[required.SWITCH] = "1"
            with self.assertRaises(self.failureException) as cm:
                suite.require_tool(self, "libyaml_emit")
            self.assertIn("libyaml_emit not built", str(cm.exception))


if __name__ == "__main__":
    unittest.main()
