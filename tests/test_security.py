"""Hostile input: unknown tags, alias bombs, deep nesting."""

import os
import subprocess
import sys
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


class CountingLoader(yaml.Loader):
    """Counts the objects actually built (not the memo hits)."""

    def __init__(self, stream):
        super().__init__(stream)
        self.builds = 0

    def _constructor_for(self, node):
        self.builds += 1
        return super()._constructor_for(node)


class UnknownTags(OwnPackageTest):

    def test_only_standard_tags_are_known(self):
        expected = {T + name for name in ("null", "bool", "int", "float", "binary",
                                           "timestamp", "omap", "pairs", "set", "str",
                                           "seq", "map", "merge", "value")}
        self.assertEqual(set(yaml.Loader.yaml_constructors) - {None}, expected)
        self.assertEqual(yaml.Loader.yaml_multi_constructors, {})

    def test_code_and_object_tags_are_refused(self):
        name = __name__ + "._mark_called"
        for text in ("!!python/object/apply:%s [x]" % name,
                     "!!python/name:%s ''" % name,
                     "!!python/object:%s {a: 1}" % name,
                     "!<tag:yaml.org,2002:python/object/new:%s> []" % name,
                     "- !!python/module:os ''", "!foo {a: 1}",
                     "{k: [1, {n: !<x> y}]}"):
            for loader in (yaml.Loader, yaml.SafeLoader, None):
                with self.subTest(text=text, loader=loader):
                    with self.assertRaises(ConstructorError) as caught:
                        yaml.load(text, Loader=loader)
                    self.assertIn("could not determine a constructor", str(caught.exception))
                    self.assertIsNotNone(caught.exception.problem_mark)
        self.assertEqual(CALLED, [])

    def test_base_loader_builds_them_as_plain_data(self):
        name = __name__ + "._mark_called"
        got = yaml.load("!!python/object/apply:%s [x]" % name, Loader=yaml.BaseLoader)
        self.assertEqual(got, ["x"])
        self.assertEqual(CALLED, [])


class AliasBomb(OwnPackageTest):

    def test_shared_objects_keep_the_cost_linear(self):
        levels, width = 12, 9   # 9**12 strings if the aliases were expanded
        loader = CountingLoader(alias_bomb(levels, width))
        try:
            doc = loader.get_single_data()
        finally:
            loader.dispose()
        # One build per distinct node: the root mapping, its keys, each
        # level's list, and the nine "lol" scalars of the lowest level.
        self.assertEqual(loader.builds, 1 + levels + levels + width)
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
                    yaml.load(text)
                except (RecursionError, MemoryError, yaml.YAMLError) as exc:
                    print("raised", type(exc).__name__)
                else:
                    print("loaded")
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
        self.assertTrue(lines[3].startswith("raised"), result.stdout)


if __name__ == "__main__":
    unittest.main()
