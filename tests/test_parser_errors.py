"""Translation of libyaml's parser errors into the host's error classes."""

import ctypes
import json
import os
import subprocess
import sys
import unittest

from tests.support.project import own_modules

import yaml
import yaml._yaml as ext

own_modules()  # refuses a yaml or native module from outside the project

from tests.parser_helpers import ChunkedStream, GlobalsTest, plain, vtable_slot  # noqa: E402
from tests.support.suite import require_tool  # noqa: E402

U, B = "<unicode string>", "<byte string>"


def M(index, line, column, name=U):
    return ("Mark", name, index, line, column, None, None)


# (input, class name, positional arguments the class receives)
ERRORS = [
    ("a: b: c", "ScannerError", (None, None, "mapping values are not allowed in this context", M(4, 0, 4))),
    ('"a', "ScannerError", ("while scanning a quoted scalar", M(0, 0, 0), "found unexpected end of stream",
                            M(2, 0, 2))),
    ("--- !<x y", "ScannerError", ("while scanning a tag", M(4, 0, 4), "did not find the expected '>'",
                                   M(7, 0, 7))),
    ("[a", "ParserError", ("while parsing a flow sequence", M(0, 0, 0), "did not find expected ',' or ']'",
                           M(2, 1, 0))),
    ("- a\nb: c", "ParserError", ("while parsing a block collection", M(0, 0, 0),
                                  "did not find expected '-' indicator", M(4, 1, 0))),
    ("&a *b", "ParserError", (None, None, "did not find expected <document start>", M(3, 0, 3))),
    ("%YAML 2.0\n--- a", "ParserError", (None, None, "found incompatible YAML document", M(0, 0, 0))),
    (b"a\xff", "ReaderError", (B, 1, 255, "?", "invalid leading UTF-8 octet")),
    (b"\xc3", "ReaderError", (B, 0, -1, "?", "incomplete UTF-8 octet sequence")),
    (b"a\x01", "ReaderError", (B, 1, 1, "?", "control characters are not allowed")),
    (b"\xff\xfea\x00\x00\xd8", "ReaderError", (B, 4, -1, "?", "incomplete UTF-16 surrogate pair")),
]
ERROR_CLASSES = ("ReaderError", "ScannerError", "ParserError")

# Every entry point that reads from libyaml.
DRIVERS = {
    "raw_parse": lambda p: p.raw_parse(),
    "raw_scan": lambda p: p.raw_scan(),
    "get_event": lambda p: [p.get_event() for _ in range(100)],
    "peek_event": lambda p: [p.get_event() for _ in range(100) if p.peek_event() or True],
    "check_event": lambda p: [p.get_event() for _ in range(100) if p.check_event() or True],
    "get_token": lambda p: [p.get_token() for _ in range(100)],
    "peek_token": lambda p: [p.get_token() for _ in range(100) if p.peek_token() or True],
    "check_token": lambda p: [p.get_token() for _ in range(100) if p.check_token() or True],
    "check_node": lambda p: [p.get_node() for _ in range(100) if p.check_node()],
    "get_single_node": lambda p: p.get_single_node(),
}
# Scanner-only drivers meet scanner and reader errors, not parser ones.
TOKEN_DRIVERS = {"raw_scan", "get_token", "peek_token", "check_token"}


class TranslationTest(GlobalsTest):
    def test_table_through_every_driver(self):
        log = self.record(*ERROR_CLASSES)
        for source, cls_name, args in ERRORS:
            for driver_name, drive in DRIVERS.items():
                if cls_name == "ParserError" and driver_name in TOKEN_DRIVERS:
                    continue
                with self.subTest(source=source, driver=driver_name):
                    del log[:]
                    with self.assertRaises(getattr(yaml, "error").YAMLError) as cm:
                        drive(yaml.CLoader(source))
                    self.assertEqual([(name, plain(a)) for name, a in log], [(cls_name, args)])
                    self.assertEqual(type(cm.exception).__name__, cls_name)

    def test_error_text_and_attributes(self):
        with self.assertRaises(yaml.scanner.ScannerError) as cm:
            yaml.CLoader("a: b: c").raw_parse()
        exc = cm.exception
        self.assertEqual((exc.context, exc.context_mark, exc.problem), (None, None,
                                                                        "mapping values are not allowed in this context"))
        self.assertEqual(str(exc), 'mapping values are not allowed in this context\n'
                                   '  in "<unicode string>", line 1, column 5')

    def test_marks_carry_the_stream_name(self):
        log = self.record("ParserError")
        for stream, name in ((ChunkedStream(b"[a", name="doc.yaml"), "doc.yaml"),
                             (ChunkedStream(b"[a", name=17), 17),
                             (ChunkedStream(b"[a"), "<file>")):
            with self.subTest(name=name):
                del log[:]
                with self.assertRaises(yaml.parser.ParserError):
                    yaml.CLoader(stream).raw_parse()
                self.assertEqual(plain(log[0][1][1]), M(0, 0, 0, name))
                self.assertEqual(plain(log[0][1][3]), M(2, 1, 0, name))

    def test_error_classes_raising(self):
        for source, cls_name, _ in ERRORS[::3]:
            with self.subTest(cls=cls_name, source=source):
                error = ArithmeticError(cls_name)
                self.raising(cls_name, error)
                with self.assertRaises(ArithmeticError) as cm:
                    yaml.CLoader(source).raw_parse()
                self.assertIs(cm.exception, error)
                self.doCleanups()

    def test_missing_error_class(self):
        for source, cls_name, _ in ERRORS[::3]:
            with self.subTest(cls=cls_name):
                self.unbind(cls_name)
                with self.assertRaises(NameError) as cm:
                    yaml.CLoader(source).raw_parse()
                self.assertEqual(str(cm.exception), "name '%s' is not defined" % cls_name)
                self.doCleanups()

    def test_class_result_is_raised_as_is(self):
        # Whatever the class returns is raised: an exception instance as it
        # is, anything else as TypeError.
        instance = KeyError("mine")
        self.rebind("ParserError", lambda *args: instance)
        with self.assertRaises(KeyError) as cm:
            yaml.CLoader("[a").raw_parse()
        self.assertIs(cm.exception, instance)
        self.rebind("ParserError", lambda *args: 42)
        with self.assertRaises(TypeError):
            yaml.CLoader("[a").raw_parse()

    def test_parser_is_spent_after_an_error(self):
        parser = yaml.CLoader("[a")
        with self.assertRaises(yaml.parser.ParserError):
            while parser.get_event() is not None:
                pass
        self.assertIsNone(parser.get_event())
        self.assertEqual(parser.raw_parse(), 0)


class ReadErrorWinsTest(GlobalsTest):
    def test_read_exception_is_not_translated(self):
        for driver_name, drive in DRIVERS.items():
            for fail_at in (0, 2):
                with self.subTest(driver=driver_name, fail_at=fail_at):
                    log = self.record(*ERROR_CLASSES)
                    error = UnicodeError("from read")
                    stream = ChunkedStream(b"- a\n- b\n- c\n", chunk=3, fail_at=fail_at, exc=error)
                    with self.assertRaises(UnicodeError) as cm:
                        drive(yaml.CLoader(stream))
                    self.assertIs(cm.exception, error)
                    self.assertEqual(log, [])  # libyaml's own report was never built
                    self.assertEqual(len(stream.sizes), fail_at + 1)
                    self.doCleanups()


class ParserErrorSlotTest(unittest.TestCase):
    def setUp(self):
        self.parser_error = vtable_slot("_parser_error", ctypes.py_object, ctypes.py_object)

    def test_no_error(self):
        parser = yaml.CLoader("a")
        with self.assertRaises(ValueError) as cm:
            self.parser_error(parser)
        self.assertEqual(str(cm.exception), "no parser error")

    def test_returns_the_exception_without_raising_and_changes_nothing(self):
        parser = yaml.CLoader("[a")
        with self.assertRaises(yaml.parser.ParserError):
            parser.raw_parse()
        first = self.parser_error(parser)
        second = self.parser_error(parser)
        self.assertIsInstance(first, yaml.parser.ParserError)
        self.assertIsNot(first, second)
        self.assertEqual(first.problem, second.problem)

    def test_memory_error_is_the_class(self):
        # libyaml's error kind lives in the parser record just after the
        # object header and the table pointer.
        parser = yaml.CLoader("a")
        offset = object.__basicsize__ + ctypes.sizeof(ctypes.c_void_p)
        kind = ctypes.c_int.from_address(id(parser) + offset)
        self.assertEqual(kind.value, 0)
        kind.value = 1  # YAML_MEMORY_ERROR
        try:
            self.assertIs(self.parser_error(parser), MemoryError)
        finally:
            kind.value = 0
        self.assertEqual(parser.raw_parse(), 5)


# Child process for AllocationFailureTest: parses each input once per libyaml
# allocation, with that allocation failing, and prints what every run raised
# and what the next get_event on the same parser returned.
_SWEEP_CHILD = r"""
import ctypes, json, os, sys
from tests.support.project import own_modules
own_modules()
import yaml, yaml._yaml
lib = ctypes.CDLL(os.environ["YAML_FAILALLOC"])
lib.failalloc_calls.restype = ctypes.c_long
lib.failalloc_arm.argtypes = [ctypes.c_long]
def run(text):
    try:
        parser = yaml.CLoader(text)
    except MemoryError as exc:
        return ["%s%r" % (type(exc).__name__, exc.args), "None"]
    try:
        while parser.get_event() is not None:
            pass
        outcome = ["clean"]
    except BaseException as exc:
        outcome = ["%s%r" % (type(exc).__name__, exc.args)]
    # After a reported error libyaml yields nothing more.
    try:
        outcome.append(repr(parser.get_event()))
    except BaseException as exc:
        outcome.append("%s%r" % (type(exc).__name__, exc.args))
    return outcome
results = {}
for text in json.loads(sys.argv[1]):
    lib.failalloc_ready()
    lib.failalloc_arm(0)
    run(text)
    count = lib.failalloc_calls()
    if count == 0:
        sys.exit(77)  # the allocator is not ours (a sanitizer replaced it)
    results[text] = []
    for n in range(1, count + 1):
        lib.failalloc_arm(n)
        results[text].append(run(text))
        lib.failalloc_disarm()
print(json.dumps(results))
"""


class AllocationFailureTest(unittest.TestCase):
    """Every failed libyaml allocation is a MemoryError without arguments,
    also where libyaml fails without naming the error kind (tag handles)."""

    INPUTS = ["!<tag:example.com,2000:x> a\n", "!local a\n", "- !!str a\n- !e b\n", "a: [b, {c: d}]\n"]

    def test_every_allocation_failure_is_a_memory_error(self):
        library = require_tool(self, "libfailalloc.so")
        if "libasan" in os.environ.get("LD_PRELOAD", ""):
            self.skipTest("the sanitizer runtime owns the allocator in this run")
        env = dict(os.environ, LD_PRELOAD=str(library), YAML_FAILALLOC=str(library),
                   PYTHONPATH=os.pathsep.join(sys.path))
        proc = subprocess.run([sys.executable, "-P", "-c", _SWEEP_CHILD, json.dumps(self.INPUTS)],
                              env=env, capture_output=True, text=True, timeout=300)
        if proc.returncode == 77:
            self.skipTest("the allocator cannot be interposed in this process (sanitizer runtime)")
        self.assertEqual(proc.returncode, 0, proc.stderr)
        results = json.loads(proc.stdout)
        for text in self.INPUTS:
            with self.subTest(text=text):
                runs = results[text]
                self.assertGreater(len(runs), 5)
                for n, outcome in enumerate(runs, 1):
                    self.assertEqual(outcome, ["MemoryError()", "None"], "allocation %d" % n)


if __name__ == "__main__":
    unittest.main()
