"""Nodes to Python objects: the standard types, shared and recursive
objects, refusals with marks, and the registration API."""

import datetime
import math
import unittest

from tests.support.project import OwnPackageTest
from tests.support.tables import keep_table

import yaml
from yaml.constructor import ConstructorError

UTC = datetime.timezone.utc


def zone(hours, minutes=0):
    return datetime.timezone(datetime.timedelta(hours=hours, minutes=minutes))


class Scalars(OwnPackageTest):

    def test_values(self):
        D = datetime.datetime
        for text, expected in (
                ("~", None), ("null", None), ("", None), ("!!null ''", None),
                ("yes", True), ("Off", False), ("!!bool TRUE", True),
                ("0", 0), ("-17", -17), ("1_000", 1000), ("0b1010", 10), ("-0b11", -3),
                ("0x1F", 31), ("0o17", "0o17"), ("09", "09"), ("017", 15), ("-017", -15), ("0_17", 15),
                ("190:20:30", 685230), ("-1:30", -90), ("!!int '42'", 42),
                ("1.5", 1.5), ("1.0e+3", 1000.0), ("1e3", "1e3"), ("1.0e3", "1.0e3"),
                ("-2.5e-3", -0.0025), ("1_0.5", 10.5), ("1.", 1.0), (".5", 0.5), ("-.5", "-.5"),
                ("190:20:30.15", 685230.15), (".inf", math.inf), ("-.inf", -math.inf),
                ("!!float 1", 1.0),
                ("abc", "abc"), ("'yes'", "yes"), ("!!str 12", "12"), ("=", "="),
                ("<<", "<<"), ("y", "y"),
                ("2002-12-14", datetime.date(2002, 12, 14)),
                ("2001-12-15T02:59:43.1Z", D(2001, 12, 15, 2, 59, 43, 100000, tzinfo=UTC)),
                ("2001-12-14t21:59:43.10-05:00", D(2001, 12, 14, 21, 59, 43, 100000, tzinfo=zone(-5))),
                ("2001-12-14 21:59:43.10 -5", D(2001, 12, 14, 21, 59, 43, 100000, tzinfo=zone(-5))),
                ("2001-12-14 21:59:43 +05:30", D(2001, 12, 14, 21, 59, 43, tzinfo=zone(5, 30))),
                ("2001-12-15 2:59:43.1234567", D(2001, 12, 15, 2, 59, 43, 123456)),
                ("!!binary aGVsbG8=", b"hello"), ("!!binary |\n  aGVs\n  bG8=\n", b"hello")):
            with self.subTest(text=text):
                got = yaml.load(text)
                self.assertEqual(got, expected)
                self.assertIs(type(got), type(expected))
                if isinstance(expected, datetime.datetime):
                    self.assertEqual(got.utcoffset(), expected.utcoffset())

    def test_nan(self):
        for text in (".nan", ".NaN", "!!float .NAN"):
            self.assertTrue(math.isnan(yaml.load(text)))

    def test_bad_values_are_refused_with_marks(self):
        # The problem mark is the offending node: the scalar, or the item of
        # an omap or pairs.
        for text, problem, column in (
                ("- !!int abc", "invalid value 'abc'", 2),
                ("- !!int 1.5", "invalid value '1.5'", 2),
                ("- !!float x", "invalid value 'x'", 2),
                ("- !!bool maybe", "invalid value 'maybe'", 2),
                ("- !!bool y", "invalid value 'y'", 2),
                ("- !!timestamp 2001-13-01", "month must be in 1..12", 2),
                ("- !!timestamp 2001-02-30 1:00:00", "day is out of range", 2),
                ("- !!timestamp yesterday", "invalid value 'yesterday'", 2),
                ("- !!binary 'é'", "invalid base64", 2),
                ("- !!binary abc", "invalid base64", 2),
                ("- !!int [1]", "expected a scalar node, but found sequence", 2),
                ("- !!str {a: 1}", "expected a scalar node, but found mapping", 2),
                ("- !!seq x", "expected a sequence node, but found scalar", 2),
                ("- !!map [x]", "expected a mapping node, but found sequence", 2),
                ("- !!omap {a: 1}", "expected a sequence, but found mapping", 2),
                ("- !!omap [a]", "expected a mapping of length 1, but found scalar", 10),
                ("- !!pairs [{a: 1, b: 2}]", "mapping of length 2", 11)):
            with self.subTest(text=text):
                with self.assertRaises(ConstructorError) as caught:
                    yaml.load(text)
                err = caught.exception
                self.assertIn(problem, str(err))
                self.assertEqual((err.problem_mark.line, err.problem_mark.column), (0, column))


class Collections(OwnPackageTest):

    def test_standard_collections(self):
        self.assertEqual(yaml.load("[a, [b], {c: d}]"), ["a", ["b"], {"c": "d"}])
        got = yaml.load("!!set {a, b, 1}")
        self.assertEqual(got, {"a", "b", 1})
        self.assertIs(type(got), set)
        got = yaml.load("!!omap [{b: 1}, {a: 2}, {c: 3}]")
        self.assertEqual(got, [("b", 1), ("a", 2), ("c", 3)])
        self.assertEqual(yaml.load("!!pairs [{a: 1}, {a: 2}, {[x]: 3}]"),
                         [("a", 1), ("a", 2), (["x"], 3)])

    def test_merge_keys(self):
        text = """
        - &CENTER {x: 1, y: 2}
        - &LEFT {x: 0, y: 2}
        - &BIG {r: 10}
        - &SMALL {r: 1}
        - x: 1
          y: 2
          r: 10
        - <<: *CENTER
          r: 10
        - <<: [*CENTER, *BIG]
        - <<: [*BIG, *LEFT, *SMALL]
          x: 1
        """
        docs = yaml.load(text.replace("\n        ", "\n"))
        for index in (5, 6, 7):
            with self.subTest(index=index):
                self.assertEqual(docs[index], docs[4])
        # Earlier merged mappings win; the mapping's own keys win over all.
        self.assertEqual(yaml.load("{<<: [{a: 1}, {a: 2, b: 2}], b: 3}"), {"a": 1, "b": 3})
        self.assertEqual(docs[0], {"x": 1, "y": 2})   # sources left alone

    def test_merge_of_a_non_mapping_is_refused(self):
        for text in ("{<<: 1}", "{<<: [1]}", "{<<: [[a]]}", "{<<: [{a: 1}, x]}"):
            with self.subTest(text=text), self.assertRaises(ConstructorError) as caught:
                yaml.load(text)
            self.assertIn("expected a mapping or list of mappings for merging",
                          str(caught.exception))

    def test_unhashable_keys_are_refused_with_marks(self):
        # The mark is the key's own; an alias key marks the node it names.
        for text, column in (("{[a]: 1}", 1), ("x: {{a: 1}: 2}", 4), ("&a {*a : 1}", 0),
                             ("!!set {[a]}", 7)):
            with self.subTest(text=text), self.assertRaises(ConstructorError) as caught:
                yaml.load(text)
            self.assertIn("found unhashable key", str(caught.exception))
            self.assertEqual(caught.exception.problem_mark.column, column)

    def test_unknown_tags_are_refused_with_marks(self):
        for text in ("- !foo x", "- !!python/object:os.system [ls]",
                     "- !<tag:example.com,2000:x> {a: 1}", "- !!python/name:os.system ''",
                     "- !!unknown [1]"):
            with self.subTest(text=text), self.assertRaises(ConstructorError) as caught:
                yaml.load(text)
            self.assertIn("could not determine a constructor for the tag", str(caught.exception))
            self.assertEqual(caught.exception.problem_mark.column, 2)

    def test_base_loader_builds_structure_only(self):
        got = yaml.load("a: [1, yes, ~, !foo {b: 2.5}, !!int 3]", Loader=yaml.BaseLoader)
        self.assertEqual(got, {"a": ["1", "yes", "~", {"b": "2.5"}, "3"]})


class SharedAndRecursive(OwnPackageTest):

    def test_aliases_share_objects(self):
        doc = yaml.load("a: &x [1, {b: &y [2]}]\nb: *x\nc: *y\nd: [*x, *y]\n")
        self.assertIs(doc["a"], doc["b"])
        self.assertIs(doc["c"], doc["a"][1]["b"])
        self.assertIs(doc["d"][0], doc["a"])
        self.assertIs(doc["d"][1], doc["c"])

    def test_recursive_structures(self):
        seq = yaml.load("&s [1, *s, [*s]]")
        self.assertIs(seq[1], seq)
        self.assertIs(seq[2][0], seq)
        mapping = yaml.load("&m {self: *m, list: [*m]}")
        self.assertIs(mapping["self"], mapping)
        self.assertIs(mapping["list"][0], mapping)
        omap = yaml.load("&o !!omap [{a: *o}]")
        self.assertIs(omap[0][1], omap)
        mixed = yaml.load("&a {k: &b [*a, *b]}")
        self.assertIs(mixed["k"][0], mixed)
        self.assertIs(mixed["k"][1], mixed["k"])

    def test_documents_do_not_share(self):
        first, second = yaml.load_all("&a [x]\n--- &a [x]\n")
        self.assertIsNot(first, second)
        self.assertEqual(first, second)

    def test_nesting_deeper_than_the_interpreter_stack(self):
        depth = 5000
        doc = yaml.load("[" * depth + "]" * depth)
        for _ in range(depth - 1):
            self.assertEqual(len(doc), 1)
            doc = doc[0]
        self.assertEqual(doc, [])
        doc = yaml.load("{a: " * depth + "1" + "}" * depth)
        for _ in range(depth):
            doc = doc["a"]
        self.assertEqual(doc, 1)


class Registration(OwnPackageTest):

    def setUp(self):
        class Own(yaml.SafeLoader):
            pass
        self.Own = Own

    def test_constructor_on_one_class_only(self):
        yaml.add_constructor("!point", lambda loader, node: tuple(loader.construct_sequence(node)),
                             Loader=self.Own)
        self.assertEqual(yaml.load("!point [1, 2]", Loader=self.Own), (1, 2))
        for other in (yaml.Loader, yaml.SafeLoader, yaml.BaseLoader):
            with self.subTest(cls=other.__name__):
                self.assertNotIn("!point", other.yaml_constructors)
        with self.assertRaises(ConstructorError):
            yaml.load("!point [1, 2]")

    def test_default_classes_are_the_python_loaders(self):
        # Without a Loader the registration lands on Loader, FullLoader and
        # UnsafeLoader, each a class of its own, and never on SafeLoader.
        changed = (yaml.Loader, yaml.FullLoader, yaml.UnsafeLoader)
        for cls in changed:
            keep_table(self, cls, "yaml_constructors")
        yaml.add_constructor("!answer", lambda loader, node: 42)
        for cls in changed:
            with self.subTest(cls=cls.__name__):
                self.assertEqual(yaml.load("!answer x", Loader=cls), 42)
        for cls in (yaml.SafeLoader, yaml.CSafeLoader, yaml.CLoader):
            with self.subTest(cls=cls.__name__), self.assertRaises(ConstructorError):
                yaml.load("!answer x", Loader=cls)
        with self.assertRaises(ConstructorError):
            yaml.safe_load("!answer x")

    def test_multi_constructor(self):
        seen = []

        def build(loader, suffix, node):
            seen.append(suffix)
            return {suffix: loader.construct_mapping(node)}
        yaml.add_multi_constructor("!shape/", build, Loader=self.Own)
        got = yaml.load("- !shape/circle {r: 1}\n- !shape/box {w: 2}\n", Loader=self.Own)
        self.assertEqual(got, [{"circle": {"r": 1}}, {"box": {"w": 2}}])
        self.assertEqual(seen, ["circle", "box"])

    def test_two_step_generator_for_recursive_objects(self):
        class Box:
            pass

        def build(loader, node):
            box = Box()
            yield box
            box.__dict__.update(loader.construct_mapping(node))
        self.Own.add_constructor("!box", build)
        box = yaml.load("&b !box {me: *b, n: 1}", Loader=self.Own)
        self.assertIs(box.me, box)
        self.assertEqual(box.n, 1)

    def test_plain_function_reached_again_is_refused(self):
        self.Own.add_constructor("!wrap", lambda loader, node: [loader.construct_mapping(node)])
        with self.assertRaises(ConstructorError) as caught:
            yaml.load("&w !wrap {me: *w}", Loader=self.Own)
        self.assertIn("found unconstructable recursive node", str(caught.exception))

    def test_generator_that_yields_nothing(self):
        def empty(loader, node):
            return
            yield
        self.Own.add_constructor("!empty", empty)
        with self.assertRaises(ConstructorError) as caught:
            list(yaml.load_all("- !empty x", Loader=self.Own))
        self.assertIn("yielded no object", str(caught.exception))

    def test_constructor_that_raises(self):
        def broken(loader, node):
            raise ValueError("no")
        self.Own.add_constructor("!broken", broken)
        loader = self.Own("[!broken x, ok]")
        with self.assertRaises(ValueError):
            loader.get_single_data()
        # The memo of the failed document is gone.
        self.assertEqual(loader.constructed_objects, {})


if __name__ == "__main__":
    unittest.main()
