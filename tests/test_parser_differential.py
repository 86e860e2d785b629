"""Every case of the YAML test suite: our event, token and node streams
against libyaml's own reading (the libyaml_events reference tool)."""

import unittest

from tests.support.project import own_modules

import yaml
import yaml._yaml as ext

own_modules()  # refuses a yaml or native module from outside the project

from tests.parser_helpers import ChunkedStream  # noqa: E402
from tests.support import eventfmt, suite  # noqa: E402

# libyaml's token names, by our token class.
TOKEN_NAMES = {
    "StreamStartToken": "STREAM-START", "StreamEndToken": "STREAM-END",
    "DocumentStartToken": "DOCUMENT-START", "DocumentEndToken": "DOCUMENT-END",
    "BlockSequenceStartToken": "BLOCK-SEQUENCE-START", "BlockMappingStartToken": "BLOCK-MAPPING-START",
    "BlockEndToken": "BLOCK-END", "FlowSequenceStartToken": "FLOW-SEQUENCE-START",
    "FlowSequenceEndToken": "FLOW-SEQUENCE-END", "FlowMappingStartToken": "FLOW-MAPPING-START",
    "FlowMappingEndToken": "FLOW-MAPPING-END", "BlockEntryToken": "BLOCK-ENTRY",
    "FlowEntryToken": "FLOW-ENTRY", "KeyToken": "KEY", "ValueToken": "VALUE", "AliasToken": "ALIAS",
    "AnchorToken": "ANCHOR", "TagToken": "TAG", "ScalarToken": "SCALAR",
}


def token_name(token):
    name = type(token).__name__
    if name == "DirectiveToken":
        return "VERSION-DIRECTIVE" if token.name == "YAML" else "TAG-DIRECTIVE"
    return TOKEN_NAMES[name]


def token_names(parser):
    names = []
    while True:
        try:
            token = parser.get_token()
        except yaml.error.YAMLError as exc:
            names.append(eventfmt.error_line(exc))
            return names
        if token is None:
            return names
        names.append("%s %d:%d" % (token_name(token), token.start_mark.line, token.start_mark.column))


class TagRecorder(yaml.CLoader):
    """Resolves every open tag to a marker naming the node kind."""

    def resolve(self, kind, value, implicit):
        return "?" + kind.__name__


class SuiteTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.cases = list(suite.iter_cases())

    def setUp(self):
        suite.require_suite(self)
        self.events_tool = suite.require_tool(self, "libyaml_events")

    def reference(self, path, *flags):
        proc = suite.run_tool(self.events_tool, *flags, path)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        return eventfmt.split_lines(proc.stdout.decode("utf-8", "surrogateescape"))

    def test_event_streams(self):
        for case_id, folder in self.cases:
            with self.subTest(case=case_id):
                path = folder / "in.yaml"
                data = path.read_bytes()
                expected = self.reference(path)
                inputs = {"bytes": lambda: data, "byte chunks": lambda: ChunkedStream(data, chunk=7)}
                try:
                    text = data.decode("utf-8")
                except UnicodeDecodeError:
                    text = None
                if text is not None and not text.startswith("\ufeff"):
                    inputs["str"] = lambda: text
                    inputs["str chunks"] = lambda: ChunkedStream(text, chunk=5)
                for kind, make in inputs.items():
                    got = eventfmt.stream_lines(yaml.CLoader(make()))
                    if kind.startswith("str") and expected and expected[-1].startswith("!ERROR reader"):
                        # Offsets of reader errors count bytes of the input libyaml saw.
                        got, want = got[:-1], expected[:-1]
                    else:
                        want = expected
                    self.assertEqual(got, want, "%s input" % kind)

    def test_raw_parse_counts(self):
        for case_id, folder in self.cases:
            with self.subTest(case=case_id):
                path = folder / "in.yaml"
                expected = self.reference(path)
                parser = yaml.CLoader(path.read_bytes())
                if expected and expected[-1].startswith("!ERROR"):
                    with self.assertRaises((yaml.error.YAMLError, MemoryError)) as cm:
                        parser.raw_parse()
                    self.assertEqual(eventfmt.error_line(cm.exception), expected[-1])
                else:
                    self.assertEqual(parser.raw_parse(), len(expected))

    def test_token_streams(self):
        for case_id, folder in self.cases:
            with self.subTest(case=case_id):
                path = folder / "in.yaml"
                expected = self.reference(path, "--tokens")
                data = path.read_bytes()
                # Token lines without their values: the names and positions.
                want = [" ".join(line.split(" ")[:2]) if not line.startswith("!ERROR") else line
                        for line in expected]
                self.assertEqual(token_names(yaml.CLoader(data)), want)
                parser = yaml.CLoader(data)
                if expected and expected[-1].startswith("!ERROR"):
                    with self.assertRaises(yaml.error.YAMLError):
                        parser.raw_scan()
                else:
                    self.assertEqual(parser.raw_scan(), len(expected))

    def test_composed_graphs(self):
        for case_id, folder in self.cases:
            expected = self.reference(folder / "in.yaml")
            if expected and expected[-1].startswith("!ERROR"):
                continue
            with self.subTest(case=case_id):
                records = [eventfmt.parse_line(line) for line in expected]
                parser = TagRecorder((folder / "in.yaml").read_bytes())
                try:
                    roots = []
                    while parser.check_node():
                        roots.append(parser.get_node())
                except yaml.composer.ComposerError as exc:
                    # libyaml's parser leaves alias checks to the composer.
                    self.assertIn(exc.problem, ("found undefined alias", "second occurrence"))
                    continue
                GraphChecker(self, records).check(roots)


class GraphChecker:
    """Walks the composed graph alongside the event records."""

    def __init__(self, test, records):
        self.test = test
        self.records = records
        self.pos = 0

    def next(self, kind):
        record = self.records[self.pos]
        self.pos += 1
        self.test.assertEqual(record.kind, kind, "at event %d" % (self.pos - 1))
        return record

    def check(self, roots):
        self.next("+STR")
        for root in roots:
            self.next("+DOC")
            self.anchors = {}
            self.node(root)
            self.next("-DOC")
        self.next("-STR")
        self.test.assertEqual(self.pos, len(self.records))

    def expect_tag(self, record, node, kind):
        if record.tag is None or record.tag == "!":
            self.test.assertEqual(node.tag, "?" + kind)
        else:
            self.test.assertEqual(node.tag, record.tag)

    def node(self, node):
        record = self.records[self.pos]
        if record.kind == "=ALI":
            self.pos += 1
            self.test.assertIs(node, self.anchors[record.alias])
            return
        if record.anchor is not None:
            self.anchors[record.anchor] = node
        if record.kind == "=VAL":
            self.pos += 1
            self.test.assertIs(type(node), ext.ScalarNode)
            self.test.assertEqual(node.value, record.value)
            self.test.assertEqual(eventfmt._STYLE_CHARS[node.style], record.style)
            self.expect_tag(record, node, "ScalarNode")
        elif record.kind == "+SEQ":
            self.pos += 1
            self.test.assertIs(type(node), ext.SequenceNode)
            self.test.assertIs(node.flow_style, record.flow)
            self.expect_tag(record, node, "SequenceNode")
            for item in node.value:
                self.node(item)
            self.next("-SEQ")
            self.test.assertIsInstance(node.end_mark, ext.Mark)
        elif record.kind == "+MAP":
            self.pos += 1
            self.test.assertIs(type(node), ext.MappingNode)
            self.test.assertIs(node.flow_style, record.flow)
            self.expect_tag(record, node, "MappingNode")
            for key, value in node.value:
                self.node(key)
                self.node(value)
            self.next("-MAP")
        else:
            self.test.fail("event %r begins no node" % (record,))


if __name__ == "__main__":
    unittest.main()
