"""Every suite case that carries JSON: load_all gives the same documents.

Where YAML 1.1 typing reads a case otherwise than JSON does, the table
below says why and turns the JSON documents into what YAML 1.1 means, so
those cases are still compared in full. Cases libyaml 0.2.5 itself rejects
or reads into other events are the ones pinned by test_support_tools.
"""

import base64
import datetime
import json
import math
import unittest

from tests.support import suite
from tests.support.project import OwnPackageTest
from tests.test_support_tools import KNOWN_MISPARSED, KNOWN_REJECTED

import yaml


def _zone(hours):
    return datetime.timezone(datetime.timedelta(hours=hours))


def _log_time(text):
    # "2001-11-23 15:01:42 -5": a YAML 1.1 timestamp with a zone in hours.
    stamp = datetime.datetime.strptime(text[:19], "%Y-%m-%d %H:%M:%S")
    return stamp.replace(tzinfo=_zone(int(text[20:])))


def _retime(doc):
    return {k: (_log_time(v) if k in ("Time", "Date") else v)
            for k, v in doc.items()}


def _base60(text):
    total = 0
    for part in text.split(":"):
        total = total * 60 + int(part)
    return total


# case id -> (why YAML 1.1 differs from JSON, JSON documents -> YAML 1.1 ones)
YAML11_DIFFERENCES = {
    "2XXW": ("!!set is a Python set, not a mapping to nulls",
             lambda docs: [set(d) for d in docs]),
    "565N": ("!!binary is bytes, not the base64 text",
             lambda docs: [{k: (base64.b64decode(v) if k != "description" else v)
                            for k, v in d.items()} for d in docs]),
    "J7PZ": ("!!omap is a list of (key, value) tuples, not of one-entry mappings",
             lambda docs: [[(k, v) for m in d for k, v in m.items()] for d in docs]),
    "RZT7": ("plain timestamps are datetimes",
             lambda docs: [_retime(d) for d in docs]),
    "U9NS": ("plain 20:03:20 is a base-60 integer",
             lambda docs: [dict(d, time=_base60(d["time"])) for d in docs]),
    "UGM3": ("plain 2001-01-23 is a date",
             lambda docs: [dict(d, date=datetime.date.fromisoformat(d["date"]))
                           for d in docs]),
    "S4JQ": ("the parser reports '! 12' with the same implicit flags as a "
             "plain 12, so it resolves like one",
             lambda docs: [[d[0], d[1], int(d[2])] for d in docs]),
}

# Cases the composer refuses by its own rules.
COMPOSER_REFUSED = {
    "3GZX": "an anchor name defined twice in one document",
}


class SuiteLoader(yaml.SafeLoader):
    """The safe loader, plus application tags built as plain structure."""

    def construct_by_kind(self, node):
        if isinstance(node, yaml.ScalarNode):
            return self.construct_scalar(node)
        if isinstance(node, yaml.SequenceNode):
            return self.construct_yaml_seq(node)
        return self.construct_yaml_map(node)


SuiteLoader.add_constructor(None, SuiteLoader.construct_by_kind)


def json_documents(text):
    decoder = json.JSONDecoder()
    docs, i = [], 0
    while True:
        while i < len(text) and text[i].isspace():
            i += 1
        if i == len(text):
            return docs
        doc, i = decoder.raw_decode(text, i)
        docs.append(doc)


def same(a, b):
    """Equal as data: numbers by value (1 == 1.0, NaN == NaN), but a bool
    only equals a bool."""
    if isinstance(a, bool) or isinstance(b, bool):
        return type(a) is type(b) and a == b
    if isinstance(a, (int, float)) and isinstance(b, (int, float)):
        return a == b or (isinstance(a, float) and isinstance(b, float)
                          and math.isnan(a) and math.isnan(b))
    if isinstance(a, dict) and isinstance(b, dict):
        return a.keys() == b.keys() and all(same(a[k], b[k]) for k in a)
    if isinstance(a, list) and isinstance(b, list):
        return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    return type(a) is type(b) and a == b


def json_cases():
    for case_id, path in suite.iter_cases():
        if (path / "error").exists() or not (path / "in.json").exists():
            continue
        yield case_id, path


class JsonEquivalence(OwnPackageTest):

    def setUp(self):
        suite.require_suite(self)

    def test_documents_equal_json(self):
        compared = 0
        for case_id, path in json_cases():
            if case_id in KNOWN_MISPARSED or case_id in KNOWN_REJECTED:
                continue
            if case_id in COMPOSER_REFUSED:
                continue
            with self.subTest(case=case_id):
                expected = json_documents((path / "in.json").read_text(encoding="utf-8"))
                if case_id in YAML11_DIFFERENCES:
                    expected = YAML11_DIFFERENCES[case_id][1](expected)
                got = list(yaml.load_all((path / "in.yaml").read_bytes(),
                                         Loader=SuiteLoader))
                self.assertTrue(same(got, expected), "%r\n!=\n%r" % (got, expected))
                compared += 1
        self.assertGreater(compared, 150)

    def test_tables_name_cases_of_the_suite(self):
        ids = {case_id for case_id, _ in json_cases()}
        for case_id in list(YAML11_DIFFERENCES) + list(COMPOSER_REFUSED):
            with self.subTest(case=case_id):
                self.assertIn(case_id, ids)

    def test_yaml11_differences_are_real(self):
        # Each listed case must read otherwise than its JSON: a row that no
        # longer differs belongs out of the table.
        for case_id, path in json_cases():
            if case_id not in YAML11_DIFFERENCES:
                continue
            with self.subTest(case=case_id):
                expected = json_documents((path / "in.json").read_text(encoding="utf-8"))
                got = list(yaml.load_all((path / "in.yaml").read_bytes(),
                                         Loader=SuiteLoader))
                self.assertFalse(same(got, expected))

    def test_composer_refusals(self):
        for case_id, path in json_cases():
            if case_id in COMPOSER_REFUSED:
                with self.subTest(case=case_id), self.assertRaises(yaml.composer.ComposerError):
                    list(yaml.load_all((path / "in.yaml").read_bytes()))

    def test_default_loader_refuses_application_tags(self):
        # The same suite without SuiteLoader: tags like !foo are refused.
        refused = 0
        for case_id, path in json_cases():
            if case_id in KNOWN_MISPARSED or case_id in KNOWN_REJECTED or case_id in COMPOSER_REFUSED:
                continue
            try:
                list(yaml.load_all((path / "in.yaml").read_bytes()))
            except yaml.ConstructorError as exc:
                self.assertIn("could not determine a constructor", str(exc))
                refused += 1
        self.assertGreater(refused, 0)


class Comparison(unittest.TestCase):
    """The comparison itself must catch what matters."""

    def test_same(self):
        for a, b, expected in (
                (1, 1.0, True), (float("nan"), float("nan"), True),
                (True, 1, False), ([1], [1, 2], False), ({"a": 1}, {"a": 2}, False),
                ({"a": None}, {"b": None}, False), ("1", 1, False),
                ([{"a": [1.5]}], [{"a": [1.5]}], True)):
            with self.subTest(a=a, b=b):
                self.assertIs(same(a, b), expected)

    def test_json_documents_reads_several(self):
        self.assertEqual(json_documents('{"a": 1}\n[2]\n"x" 3\n'),
                         [{"a": 1}, [2], "x", 3])
        self.assertEqual(json_documents(" \n"), [])


if __name__ == "__main__":
    unittest.main()
