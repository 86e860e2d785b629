"""CEmitter.emit against libyaml itself, over the YAML test suite.

Every case's event notation is turned into host events and emitted through
CEmitter.emit; the libyaml_emit tool emits the same notation with libyaml
alone. The bytes must agree under each option set, and both must refuse the
same streams with the same problem.
"""

import unittest

import yaml
import yaml._yaml as _yaml
import yaml.events
from yaml.emitter import EmitterError

from tests.support import suite
from tests.support.eventfmt import build_host_events, parse_event_text

from tests.support.project import assert_own_package



class ImportedFromRepository(unittest.TestCase):
    def test_package_and_extension_are_ours(self):
        package, extension = assert_own_package(self)
        self.assertIs(package, yaml)
        self.assertIs(extension, _yaml)


TAGS = {"!e!": "tag:example.com,2000:app/", "!y!": "tag:yaml.org,2002:"}

# name: (CEmitter options, host event options, tool arguments)
OPTION_SETS = {
    "default": ({}, {}, []),
    "canonical": ({"canonical": True}, {}, ["--canonical"]),
    "indent 4": ({"indent": 4}, {}, ["--indent", "4"]),
    "width 40": ({"width": 40}, {}, ["--width", "40"]),
    "allow_unicode": ({"allow_unicode": True}, {}, ["--unicode"]),
    "break cr": ({"line_break": "\r"}, {}, ["--break", "cr"]),
    "break ln": ({"line_break": "\n"}, {}, ["--break", "ln"]),
    "break crln": ({"line_break": "\r\n"}, {}, ["--break", "crln"]),
    "explicit start and end": ({}, {"explicit_start": True, "explicit_end": True},
                               ["--explicit-start", "--explicit-end"]),
    "version and tags": ({}, {"version": (1, 1), "tags": TAGS},
                         ["--version", "1.1"] + [a for h, p in TAGS.items() for a in ("--tag", h, p)]),
    "utf-16-le": ({}, {"encoding": "utf-16-le"}, ["--encoding", "utf-16-le"]),
    "utf-16-be": ({}, {"encoding": "utf-16-be"}, ["--encoding", "utf-16-be"]),
}


class ByteStream:
    """No `encoding` attribute: bytes unless the stream start says text."""

    def __init__(self):
        self.chunks = []

    def write(self, data):
        self.chunks.append(data)

    def data(self):
        return b"".join(c.encode("utf-8") if isinstance(c, str) else c for c in self.chunks)


def emit_case(records, emitter_options, event_options):
    """(bytes written, problem or None) for CEmitter.emit over the records."""
    events = build_host_events(records, yaml.events, event_options)
    stream = ByteStream()
    emitter = _yaml.CEmitter(stream, **emitter_options)
    try:
        for event in events:
            emitter.emit(event)
    except EmitterError as exc:
        return stream.data(), str(exc)
    except MemoryError as exc:
        # An initialiser refused the event text (libyaml's UTF-8 check).
        return stream.data(), "initialiser refused: %r" % (exc,)
    return stream.data(), None


class Differential(unittest.TestCase):
    def test_suite_against_libyaml(self):
        suite.require_suite(self)
        tool = suite.require_tool(self, "libyaml_emit")
        cases = list(suite.iter_cases())
        self.assertGreater(len(cases), 0, "no cases in %s" % suite.SUITE_DIR)
        compared = refused = truncated = 0
        for case_id, folder in cases:
            event_file = folder / "test.event"
            if not event_file.is_file():
                continue
            records = parse_event_text(event_file.read_text(encoding="utf-8"))
            # Failing cases list the events up to the error only: nothing
            # ends the stream, so libyaml keeps the tail in its buffer, which
            # the tool flushes and the extension (with no flush call) cannot.
            complete = bool(records) and records[-1].kind == "-STR"
            for name, (emitter_options, event_options, args) in OPTION_SETS.items():
                with self.subTest(case=case_id, options=name):
                    proc = suite.run_tool(tool, *args, event_file)
                    self.assertIn(proc.returncode, (0, 2), proc.stderr.decode(errors="replace"))
                    ours, problem = emit_case(records, emitter_options, event_options)
                    if proc.returncode == 2:
                        theirs = proc.stderr.decode("utf-8").strip()
                        self.assertTrue(theirs.startswith("!ERROR "), theirs)
                        theirs = theirs[len("!ERROR "):]
                        if theirs.startswith("libyaml cannot build"):
                            self.assertIsNotNone(problem)
                            self.assertTrue(problem.startswith("initialiser refused"), problem)
                        else:
                            self.assertEqual(problem, theirs)
                        refused += 1
                        continue
                    self.assertIsNone(problem)
                    if complete:
                        self.assertEqual(ours, proc.stdout)
                        compared += 1
                    else:
                        self.assertTrue(proc.stdout.startswith(ours),
                                        "%r is not a prefix of %r" % (ours, proc.stdout))
                        truncated += 1
        print("\n  differential: %d outputs equal, %d refusals equal, %d truncated streams "
              "compared as prefixes" % (compared, refused, truncated))
        self.assertGreater(compared, 0)


if __name__ == "__main__":
    unittest.main()
