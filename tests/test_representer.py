"""Python data to YAML and back: load(dump(x)) == x for every supported
type, shared and recursive objects, Unicode and strings that must be
quoted; refusals and the registration API."""

import datetime
import math
import random
import unittest

from tests.support.project import OwnPackageTest

import yaml
from yaml.representer import RepresenterError

# Strings that come back as something else unless the dumper quotes them.
TRICKY_STRINGS = [
    "", " ", "yes", "No", "ON", "off", "true", "False", "y", "n", "1e3", "1E3", "1.5",
    "-1", "+1", "0x1F", "0o17", "017", "0b11", "1_000", "12:30", "1:20.5", ".inf",
    "-.inf", ".nan", "null", "Null", "~", "2001-12-14", "2001-12-14 21:59:43.10 -5",
    "=", "<<", "-", "- a", "--- x", "...", "? x", ": x", "a: b", "#c", "a #c", "&a",
    "*a", "!tag", "%YAML", "@x", "`x", "[a]", "{a: b}", "'", '"', "|", ">", ",",
    " lead", "trail ", "\tx", "x\t", "a\nb", "a\n", "\n", "\nx", "a\n\nb",
    "a\r\nb", "a\0b", "\0", "\x07\x1b", "\x85", "\u2028x", "\ufeffbom", "\x7f",
    "é", "日本語", "\U0001F600", "مرحبا", "a" * 300, "a " * 100, "x" + "\n" * 3,
]


def random_data(rng, depth=0):
    """Nested data over every type the safe dumper supports."""
    leaves = [
        lambda: None, lambda: rng.random() < 0.5,
        lambda: rng.randint(-10 ** 20, 10 ** 20), lambda: rng.randint(-3, 3),
        lambda: rng.choice([0.0, -0.0, 1e300, -2.5e-300, math.inf, -math.inf,
                            0.1, 1e16, 123456.789, 5e-324]),
        lambda: rng.uniform(-1e6, 1e6),
        lambda: rng.choice(TRICKY_STRINGS),
        lambda: "".join(chr(rng.choice([rng.randint(32, 126), rng.randint(0xA0, 0xD7FF),
                                        rng.randint(0xE000, 0xFFFD),
                                        rng.randint(0x10000, 0x10FFFF)]))
                        for _ in range(rng.randint(0, 8))),
        lambda: bytes(rng.randrange(256) for _ in range(rng.randint(0, 40))),
        lambda: datetime.date(rng.randint(1, 9999), rng.randint(1, 12), rng.randint(1, 28)),
        lambda: datetime.datetime(rng.randint(1, 9999), rng.randint(1, 12),
                                  rng.randint(1, 28), rng.randint(0, 23), rng.randint(0, 59),
                                  rng.randint(0, 59), rng.choice([0, rng.randint(0, 999999)])),
        lambda: datetime.datetime(2020, 2, 29, 23, 59, 59, 1, tzinfo=datetime.timezone(
            datetime.timedelta(minutes=rng.randint(-23 * 60, 23 * 60)))),
    ]
    if depth > 3 or rng.random() < 0.4:
        return rng.choice(leaves)()
    kind = rng.randrange(3)
    n = rng.randint(0, 5)
    if kind == 0:
        return [random_data(rng, depth + 1) for _ in range(n)]
    if kind == 1:
        keys = [rng.choice(leaves[:11])() for _ in range(n)]
        return {k: random_data(rng, depth + 1) for k in keys}
    return {rng.choice(leaves[2:])() for _ in range(n)}


def same(a, b):
    """Equality that also holds for NaN."""
    if isinstance(a, float) and isinstance(b, float) and math.isnan(a):
        return math.isnan(b)
    if isinstance(a, list) and isinstance(b, list):
        return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    if isinstance(a, dict) and isinstance(b, dict):
        return a.keys() == b.keys() and all(same(a[k], b[k]) for k in a)
    return type(a) is type(b) and a == b


class RoundTrip(OwnPackageTest):

    def test_tricky_strings(self):
        for text in TRICKY_STRINGS:
            for options in ({}, {"allow_unicode": True}, {"default_flow_style": True},
                            {"width": 10}, {"canonical": True}):
                with self.subTest(text=text, options=options):
                    out = yaml.safe_dump({text: [text]}, **options)
                    self.assertEqual(yaml.load(out), {text: [text]}, out)

    def test_generated_data(self):
        rng = random.Random(20240229)
        for i in range(300):
            data = random_data(rng)
            options = rng.choice([{}, {"allow_unicode": True}, {"default_flow_style": None},
                                  {"default_flow_style": True}, {"sort_keys": False},
                                  {"indent": 4, "width": 20}, {"default_style": '"'},
                                  {"canonical": True}, {"explicit_start": True}])
            with self.subTest(i=i, options=options):
                out = yaml.safe_dump(data, **options)
                back = yaml.load(out)
                self.assertTrue(same(back, data), "%r\n%s\n%r" % (data, out, back))

    def test_scalar_types_survive(self):
        for value in (None, True, False, 0, -1, 2 ** 100, 1.0, -0.5, 1e16, 1e-7, math.inf,
                      -math.inf, "s", b"", b"\x00\xff" * 50,
                      datetime.date(2001, 1, 2), datetime.datetime(2001, 1, 2, 3, 4, 5),
                      datetime.datetime(2001, 1, 2, 3, 4, 5, 6, tzinfo=datetime.timezone.utc),
                      set(), {1, "a", None}, [], {}):
            with self.subTest(value=value):
                back = yaml.load(yaml.safe_dump(value))
                self.assertEqual(back, value)
                self.assertIs(type(back), type(value))
        self.assertTrue(math.isnan(yaml.load(yaml.safe_dump(math.nan))))
        self.assertEqual(math.copysign(1, yaml.load(yaml.safe_dump(-0.0))), -1)
        self.assertEqual(yaml.load(yaml.safe_dump((1, (2, 3)))), [1, [2, 3]])

    def test_floats_are_written_as_floats(self):
        # An exponent gets a ".0" before it where repr has no dot: "1e+16"
        # would read back as a str.
        for value, text in ((1e16, "1.0e+16\n"), (1.0, "1.0\n"), (math.inf, ".inf\n"),
                            (-math.inf, "-.inf\n"), (math.nan, ".nan\n"), (1e-05, "1.0e-05\n"),
                            (-2.5e-300, "-2.5e-300\n"), (1.5e300, "1.5e+300\n")):
            with self.subTest(value=value):
                self.assertEqual(yaml.safe_dump(value), text)
                self.assertEqual(yaml.safe_dump([value]), "- " + text)

    def test_shared_objects_get_anchors(self):
        inner = [1, 2]
        mapping = {"k": "v"}
        data = {"a": inner, "b": inner, "c": [mapping, mapping], "d": "same", "e": "same"}
        text = yaml.safe_dump(data)
        self.assertEqual(text.count("&id"), 2, text)
        self.assertNotIn("&id003", text)   # equal strings are not anchored
        back = yaml.load(text)
        self.assertIs(back["a"], back["b"])
        self.assertIs(back["c"][0], back["c"][1])
        self.assertEqual(back, data)

    def test_nesting_deeper_than_the_interpreter_stack(self):
        depth = 3000
        data = []
        for i in range(depth):
            data = [data, {"k": ({i}, (i,))}]
        back = yaml.load(yaml.safe_dump(data))
        for i in reversed(range(depth)):
            self.assertEqual(back[1], {"k": [{i}, [i]]})
            back = back[0]
        self.assertEqual(back, [])

    def test_recursive_objects(self):
        seq = []
        seq.append(seq)
        back = yaml.load(yaml.safe_dump(seq))
        self.assertIs(back[0], back)
        mapping = {"list": []}
        mapping["list"].append(mapping)
        mapping["self"] = mapping
        back = yaml.load(yaml.safe_dump(mapping))
        self.assertIs(back["self"], back)
        self.assertIs(back["list"][0], back)
        # Through a tuple, which is never anchored itself.
        holder = []
        holder.append((holder,))
        back = yaml.load(yaml.safe_dump(holder))
        self.assertIs(back[0][0], back)


class Options(OwnPackageTest):

    def test_sort_keys_and_flow_style(self):
        data = {"b": 1, "a": [1, 2], "c": {"x": None}}
        self.assertEqual(yaml.safe_dump(data), "a:\n- 1\n- 2\nb: 1\nc:\n  x: null\n")
        self.assertEqual(yaml.safe_dump(data, sort_keys=False),
                         "b: 1\na:\n- 1\n- 2\nc:\n  x: null\n")
        self.assertEqual(yaml.safe_dump(data, default_flow_style=True),
                         "{a: [1, 2], b: 1, c: {x: null}}\n")
        # None: flow only for collections of plain scalars.
        self.assertEqual(yaml.safe_dump(data, default_flow_style=None),
                         "a: [1, 2]\nb: 1\nc: {x: null}\n")
        # Keys that cannot be ordered keep their own order.
        self.assertEqual(yaml.safe_dump({2: "a", "1": "b"}), "2: a\n'1': b\n")

    def test_default_style(self):
        for style in ('"', "'"):
            with self.subTest(style=style):
                text = yaml.safe_dump(["a", 1, None], default_style=style)
                self.assertTrue(text.startswith("- %sa%s\n" % (style, style)), text)
                self.assertEqual(yaml.load(text), ["a", 1, None])


class Refusals(OwnPackageTest):

    def test_unsupported_objects(self):
        class Thing:
            pass

        class MyInt(int):
            pass
        for value in (Thing(), object(), 1j, MyInt(3), frozenset([1]), bytearray(b"x"),
                      print, datetime.time(1, 2), {"k": [Thing()]},
                      datetime.datetime(2001, 1, 1, tzinfo=datetime.timezone(
                          datetime.timedelta(seconds=30)))):
            with self.subTest(value=type(value).__name__):
                with self.assertRaises(RepresenterError) as caught:
                    yaml.safe_dump(value)
                self.assertIn("cannot represent", str(caught.exception))

    def test_base_dumper_writes_structure_only(self):
        self.assertEqual(yaml.dump({"a": ["x", ("y",)]}, Dumper=yaml.BaseDumper),
                         "a:\n- x\n- - y\n")
        with self.assertRaises(RepresenterError):
            yaml.dump(1, Dumper=yaml.BaseDumper)

    def test_failed_document_leaves_no_memo(self):
        class Thing:
            pass
        out = []

        class Stream:
            def write(self, chunk):
                out.append(chunk)
        dumper = yaml.SafeDumper(Stream())
        dumper.open()
        shared = [1]
        with self.assertRaises(RepresenterError):
            dumper.represent([shared, Thing()])
        self.assertEqual(dumper.represented_objects, {})
        dumper.represent([shared, shared])
        dumper.close()
        self.assertEqual(yaml.load("".join(out)), [[1], [1]])


class Registration(OwnPackageTest):

    def setUp(self):
        class Own(yaml.SafeDumper):
            pass
        self.Own = Own

    def test_representer_on_one_class_only(self):
        class Point:
            def __init__(self, x, y):
                self.x, self.y = x, y
        yaml.add_representer(Point, lambda d, p: d.represent_sequence("!point", [p.x, p.y]),
                             Dumper=self.Own)
        self.assertEqual(yaml.dump(Point(1, 2), Dumper=self.Own), "!point\n- 1\n- 2\n")
        with self.assertRaises(RepresenterError):
            yaml.safe_dump(Point(1, 2))
        self.assertNotIn(Point, yaml.SafeDumper.yaml_representers)

    def test_multi_representer_covers_subclasses(self):
        class Base:
            pass

        class Child(Base):
            pass
        yaml.add_multi_representer(Base, lambda d, o: d.represent_scalar("!obj", type(o).__name__),
                                   Dumper=self.Own)
        self.assertEqual(yaml.dump([Base(), Child()], Dumper=self.Own),
                         "- !obj Base\n- !obj Child\n")

    def test_shared_user_objects_and_recursion(self):
        class Node:
            def __init__(self):
                self.next = self
        self.Own.add_representer(Node, lambda d, n: d.represent_mapping("!node", {"next": n.next}))
        text = yaml.dump(Node(), Dumper=self.Own)
        self.assertEqual(text, "&id001 !node\nnext: *id001\n")

    def test_representer_that_recurses_without_a_node(self):
        class Loop:
            pass
        loop = Loop()
        self.Own.add_representer(Loop, lambda d, o: d.represent_data(o))
        with self.assertRaises(RepresenterError) as caught:
            yaml.dump(loop, Dumper=self.Own)
        self.assertIn("recursive", str(caught.exception))

    def test_representer_that_builds_children_first(self):
        # A representer that represents a child before making its own node
        # must not have that child's node taken for its own.
        class Pair:
            def __init__(self, item):
                self.item = item

        def represent(dumper, pair):
            child = dumper.represent_data(pair.item)
            node = dumper.represent_sequence("!pair", [])
            node.value.append(child)
            return node
        self.Own.add_representer(Pair, represent)
        inner = [1]
        pair = Pair(inner)
        text = yaml.dump([pair, inner, pair], Dumper=self.Own)
        # inner is met a second time first, so it is id001.
        self.assertEqual(text, "- &id002 !pair\n  - &id001\n    - 1\n- *id001\n- *id002\n")


if __name__ == "__main__":
    unittest.main()
