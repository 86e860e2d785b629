"""Round trips through the parser and the emitter over the YAML test suite.

parse -> emit -> parse must give the same events (marks aside), except for
the few rewrites libyaml's emitter makes on purpose; compose -> serialize ->
compose must give an isomorphic graph.  Both are judged by
tests/support/roundtrip.py, as in the fuzzer.  Only cases libyaml accepts
take part.
"""

import collections
import io
import unittest

import yaml
import yaml._yaml as _yaml
import yaml.composer
import yaml.error
from yaml.events import DocumentEndEvent, DocumentStartEvent, ScalarEvent
from yaml.nodes import ScalarNode, SequenceNode

from tests.support import suite
from tests.support.graphs import isomorphism_problem
from tests.support.project import assert_own_package
from tests.support.roundtrip import (documents_problem, events_problem, read_documents,
                                     read_events, rewrite_reason, vanished_first_document)


class ImportedFromRepository(unittest.TestCase):
    def test_package_and_extension_are_ours(self):
        assert_own_package(self)


class Loader(_yaml.CParser, yaml.resolver.BaseResolver):
    pass


class Dumper(_yaml.CEmitter, yaml.resolver.BaseResolver):
    pass


def parse_events(data):
    return read_events(Loader, data)


def compose_all(data):
    return read_documents(Loader, data)


def accepted_cases(testcase):
    """(case_id, bytes) of every suite case that libyaml parses."""
    suite.require_suite(testcase)
    cases = []
    for case_id, folder in suite.iter_cases():
        data = (folder / "in.yaml").read_bytes()
        try:
            parse_events(data)
        except yaml.error.YAMLError:
            continue
        cases.append((case_id, data))
    testcase.assertGreater(len(cases), 0)
    return cases


class EventRoundTrip(unittest.TestCase):
    def test_parse_emit_parse(self):
        rewrites = collections.Counter()
        cases = accepted_cases(self)
        for case_id, data in cases:
            with self.subTest(case=case_id):
                first = parse_events(data)
                out = io.StringIO()
                emitter = _yaml.CEmitter(out)
                for event in first:
                    emitter.emit(event)
                second = parse_events(out.getvalue())
                problem = events_problem(first, second, rewrites)
                self.assertIsNone(problem, "in:\n%s" % out.getvalue())
        print("\n  event round trip: %d cases" % len(cases))
        for reason, count in sorted(rewrites.items()):
            print("    %4d x %s" % (count, reason))


class GraphRoundTrip(unittest.TestCase):
    def test_compose_serialize_compose(self):
        composed = refused = vanished = 0
        for case_id, data in accepted_cases(self):
            try:
                first = compose_all(data)
            except yaml.composer.ComposerError:
                # Events libyaml accepts that the composer refuses (a
                # redefined anchor): no graph to write.
                refused += 1
                continue
            with self.subTest(case=case_id):
                out = io.StringIO()
                dumper = Dumper(out)
                dumper.open()
                for node in first:
                    dumper.serialize(node)
                dumper.close()
                second = compose_all(out.getvalue())
                vanished += vanished_first_document(first, second)
                self.assertIsNone(documents_problem(first, second), out.getvalue())
                composed += 1
        print("\n  graph round trip: %d cases, %d refused by the composer, %d empty first "
              "documents written as nothing" % (composed, refused, vanished))
        self.assertGreater(composed, 0)

    def test_isomorphism_check_sees_lost_sharing(self):
        shared = ScalarNode("t", "v")
        together = SequenceNode("s", [shared, shared])
        apart = SequenceNode("s", [ScalarNode("t", "v"), ScalarNode("t", "v")])
        self.assertIsNone(isomorphism_problem(together, together))
        self.assertEqual(isomorphism_problem(together, apart), "root[0]: sharing differs")
        self.assertEqual(isomorphism_problem(apart, together), "root[0]: sharing differs")


def scalar(value="v", style=None, tag=None, implicit=(True, False), anchor=None):
    return ScalarEvent(anchor, tag, implicit, value, style=style)


class ComparisonRules(unittest.TestCase):
    """The rules shared with the fuzzer: libyaml's own rewrites pass, and
    every other change is reported."""

    def test_rewrites_libyaml_makes_on_purpose(self):
        cases = [
            ("plain quoted", scalar(), scalar(style="'")),
            ("plain double-quoted", scalar(style=""), scalar(style='"')),
            ("plain quoted with '!'", scalar(implicit=(True, False)), scalar(style="'", tag="!")),
            ("literal quoted", scalar(style="|"), scalar(style='"')),
            ("single to double", scalar(style="'"), scalar(style='"')),
            ("'!' left out", scalar(tag="!", implicit=(True, True), style=""), scalar(style="")),
            ("end made explicit", DocumentEndEvent(explicit=False), DocumentEndEvent(explicit=True)),
            ("start made explicit", DocumentStartEvent(explicit=False, version=(1, 1)),
             DocumentStartEvent(explicit=True, version=(1, 1))),
        ]
        for label, before, after in cases:
            with self.subTest(label):
                self.assertIsNotNone(rewrite_reason(before, after))
                self.assertIsNone(events_problem([before], [after]))

    def test_other_changes_are_reported(self):
        cases = [
            ("value", scalar("a"), scalar("b")),
            ("anchor", scalar(anchor="x"), scalar(anchor="y")),
            ("tag on a quoted scalar", scalar(style="'", tag="!a"), scalar(style="'", tag="!b")),
            ("'!' added to a scalar that resolves the same", scalar(implicit=(True, True)),
             scalar(style="'", tag="!", implicit=(True, True))),
            ("double to single", scalar(style='"'), scalar(style="'")),
            ("quoted to plain", scalar(style="'"), scalar(style="")),
            ("end made implicit", DocumentEndEvent(explicit=True), DocumentEndEvent(explicit=False)),
            ("start made implicit", DocumentStartEvent(explicit=True), DocumentStartEvent(explicit=False)),
            ("version lost", DocumentStartEvent(explicit=True, version=(1, 1)),
             DocumentStartEvent(explicit=True)),
            ("tags changed", DocumentStartEvent(explicit=True, tags={"!e!": "tag:e:"}),
             DocumentStartEvent(explicit=True, tags={"!e!": "tag:f:"})),
            ("kind", scalar(), DocumentEndEvent()),
        ]
        for label, before, after in cases:
            with self.subTest(label):
                self.assertIsNone(rewrite_reason(before, after))
                self.assertIsNotNone(events_problem([before], [after]))
        self.assertIsNotNone(events_problem([scalar()], [scalar(), scalar()]))

    def test_documents(self):
        empty = ScalarNode("tag:yaml.org,2002:null", "", style="")
        doc = SequenceNode("s", [ScalarNode("t", "v")])
        same = SequenceNode("s", [ScalarNode("t", "v")])
        other = SequenceNode("s", [ScalarNode("t", "w")])
        self.assertIsNone(documents_problem([doc], [same]))
        self.assertIsNone(documents_problem([empty, doc], [same]))
        self.assertTrue(vanished_first_document([empty, doc], [same]))
        self.assertEqual(documents_problem([doc, doc], [same]), "2 documents became 1")
        self.assertEqual(documents_problem([doc], [other]),
                         "document 0: root[0]: value 'v' became 'w'")


if __name__ == "__main__":
    unittest.main()
