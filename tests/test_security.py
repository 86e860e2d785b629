"""Hostile input: unknown tags, alias bombs, deep nesting."""

import os
import subprocess
import sys
import tempfile
import textwrap
import unittest

from tests.support.project import OwnPackageTest

import yaml
from yaml.constructor import ConstructorError

T = "tag:yaml.org,2002:"
CALLED = []


def _mark_called(*args):
    CALLED.append(args)
    return "called"


def alias_bomb(levels, width=9):
    """Each level is a list of `width` aliases to the level below."""
    lines = ["l0: &l0 [%s]" % ", ".join(["lol"] * width)]
    for i in range(1, levels):
        lines.append("l%d: &l%d [%s]" % (i, i, ", ".join(["*l%d" % (i - 1)] * width)))
    return "\n".join(lines) + "\n"


def objects_reached(data):
    """The distinct lists, dicts and strs reachable from `data`, each once."""
    seen = {}
    stack = [data]
    while stack:
        item = stack.pop()
        if id(item) in seen:
            continue
        seen[id(item)] = item
        if isinstance(item, dict):
            stack.extend(item.keys())
            stack.extend(item.values())
        elif isinstance(item, list):
            stack.extend(item)
    return seen


# Documents that try to import or run something, each with the way to tell
# that it did: a call recorded in CALLED, or a file made by a shell command.
def attempts(marker):
    name = __name__ + "._mark_called"
    return (
        "!!python/object/apply:os.system ['touch %s']" % marker,
        "!!python/object/new:os.system ['touch %s']" % marker,
        "- !!python/object/apply:%s [x]" % name,
        "{a: !!python/object/new:%s [x]}" % name,
        "!!python/name:%s ''" % name,
        "!!python/name:os.system ''",
        "!!python/module:os ''",
        "- !!python/module:tests.test_security_never ''",
        "!!python/object:%s {a: 1}" % name,
        "!<tag:yaml.org,2002:python/object/new:%s> []" % name,
        "!!python/object/apply:subprocess.call [[touch, %s]]" % marker,
        "!foo {a: 1}", "{k: [1, {n: !<x> y}]}",
    )


class UnknownTags(OwnPackageTest):

    def setUp(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        self.marker = os.path.join(folder.name, "ran")
        del CALLED[:]

    def assert_nothing_ran(self):
        self.assertEqual(CALLED, [])
        self.assertFalse(os.path.exists(self.marker))
        self.assertNotIn("tests.test_security_never", sys.modules)

    def test_only_standard_tags_are_known(self):
        expected = {T + name for name in ("null", "bool", "int", "float", "binary",
                                           "timestamp", "omap", "pairs", "set", "str",
                                           "seq", "map", "merge", "value")}
        for cls in (yaml.SafeLoader, yaml.CSafeLoader):
            with self.subTest(cls=cls.__name__):
                self.assertEqual(set(cls.yaml_constructors) - {None}, expected)
                self.assertEqual(cls.yaml_multi_constructors, {})
        python = {T + "python/" + name for name in (
            "none", "bool", "str", "unicode", "bytes", "int", "long", "float",
            "complex", "list", "tuple", "dict")}
        for cls in (yaml.FullLoader, yaml.CFullLoader):
            with self.subTest(cls=cls.__name__):
                self.assertEqual(set(cls.yaml_constructors) - {None}, expected | python)
                self.assertEqual(cls.yaml_multi_constructors, {})

    def test_code_and_object_tags_are_refused(self):
        safe = (yaml.SafeLoader, yaml.FullLoader, yaml.CSafeLoader, yaml.CFullLoader)
        for text in attempts(self.marker):
            for loader in safe + (None,):
                with self.subTest(text=text, loader=loader):
                    with self.assertRaises(ConstructorError) as caught:
                        yaml.load(text, Loader=loader)
                    self.assertIn("could not determine a constructor", str(caught.exception))
                    self.assertIsNotNone(caught.exception.problem_mark)
            for function in (yaml.safe_load, yaml.full_load):
                with self.subTest(text=text, function=function.__name__):
                    self.assertRaises(ConstructorError, function, text)
        self.assert_nothing_ran()

    def test_base_loader_builds_them_as_plain_data(self):
        name = __name__ + "._mark_called"
        for loader in (yaml.BaseLoader, yaml.CBaseLoader):
            with self.subTest(loader=loader.__name__):
                got = yaml.load("!!python/object/apply:%s [x]" % name, Loader=loader)
                self.assertEqual(got, ["x"])
                for text in attempts(self.marker):
                    yaml.load(text, Loader=loader)
        self.assert_nothing_ran()

    def test_unsafe_loader_does_run_them(self):
        # The other side of the line: what the safe loaders refuse is what
        # UnsafeLoader does, so the refusals above are about the tags.
        name = __name__ + "._mark_called"
        self.assertEqual(yaml.unsafe_load("!!python/object/apply:%s [x]" % name), "called")
        self.assertIs(yaml.load("!!python/name:%s ''" % name, Loader=yaml.Loader),
                      _mark_called)
        self.assertEqual(CALLED, [("x",)])


class AliasBomb(OwnPackageTest):

    def test_shared_objects_keep_the_cost_linear(self):
        levels, width = 12, 9   # 9**12 strings if the aliases were expanded
        for loader in (yaml.SafeLoader, yaml.CSafeLoader, yaml.BaseLoader):
            with self.subTest(loader=loader.__name__):
                doc = yaml.load(alias_bomb(levels, width), Loader=loader)
                # One object per distinct node: the root mapping, its keys,
                # each level's list, and one "lol" per item of the lowest
                # level (equal strs are not merged).
                self.assertEqual(len(objects_reached(doc)), 1 + levels + levels + width)
                for i in range(1, levels):
                    level = doc["l%d" % i]
                    self.assertEqual(len(level), width)
                    for item in level:
                        self.assertIs(item, doc["l%d" % (i - 1)])

    def test_dumping_it_back_stays_small(self):
        text = alias_bomb(12)
        out = yaml.dump(yaml.load(text))
        self.assertLess(len(out), 3 * len(text))
        self.assertEqual(out.count("&id"), 11)
        reloaded = yaml.load(out)
        self.assertIs(reloaded["l11"][0], reloaded["l10"])


class DeepNesting(OwnPackageTest):

    def test_deep_input_raises_cleanly(self):
        # In a child process, so a crash shows as a failure, not as a dead run.
        script = textwrap.dedent("""
            import sys, yaml
            assert yaml.__file__ == sys.argv[1], (yaml.__file__, sys.argv[1])
            for opener, closer in (("[", "]"), ("{a: ", "}"), ("- ", "")):
                depth = 10 ** 5
                text = (opener * depth + "x" + closer * depth if opener != "- "
                        else "".join("  " * i + "- \\n" for i in range(3000)))
                try:
                    data = yaml.load(text)
                except (RecursionError, MemoryError, yaml.YAMLError) as exc:
                    print("raised", type(exc).__name__)
                else:
                    depth = 0
                    while isinstance(data, list) and data:
                        data, depth = data[0], depth + 1
                    print("loaded", depth)
            data = []
            for _ in range(10 ** 5):
                data = [data]
            try:
                yaml.dump(data)
            except (RecursionError, yaml.YAMLError) as exc:
                print("raised", type(exc).__name__)
            print("alive")
        """)
        # The child gets this process's path, so it imports the very package
        # under test (a staged build when one is on PYTHONPATH).
        result = subprocess.run([sys.executable, "-P", "-c", script, yaml.__file__],
                                capture_output=True, text=True, timeout=300,
                                env=dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path)))
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.splitlines()
        self.assertEqual(lines[-1], "alive")
        self.assertEqual(lines[0:2], ["raised RecursionError"] * 2, result.stdout)
        # 3000 block levels are within what the parser accepts: all built.
        self.assertEqual(lines[2], "loaded 3000", result.stdout)
        self.assertTrue(lines[3].startswith("raised"), result.stdout)


if __name__ == "__main__":
    unittest.main()
