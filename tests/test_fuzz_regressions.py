"""Inputs and objects that once crashed the module or broke its data, each
reduced to its smallest form from a finding of tools/fuzz.py."""

import os
import subprocess
import sys
import textwrap
import unittest

from tests.support.project import OwnPackageTest


def run_apart(script):
    """Runs `script` in a fresh interpreter that imports this project's
    package, so a crash shows as a failed test, not as a dead test run."""
    return subprocess.run([sys.executable, "-P", "-c", textwrap.dedent(script)],
                          capture_output=True, text=True, timeout=300,
                          env=dict(os.environ, PYTHONPATH=os.pathsep.join(p for p in sys.path if p)))


class SmallStackTest(OwnPackageTest):
    # Nesting below the depth counter's limit overflowed the C stack of a
    # thread with a small stack (and of a sanitizer build, whose frames are
    # larger): the composer and both serializer passes now also watch the
    # stack itself and stop with RecursionError.
    SCRIPT = """
        import io, sys, threading
        import yaml, yaml._yaml
        from tests.support.project import inside_repo
        assert inside_repo(yaml._yaml.__file__), yaml._yaml.__file__
        from yaml.nodes import SequenceNode, MappingNode, ScalarNode
        threading.stack_size(%d)
        depth = 9999
        out = []

        def compose():
            yaml.Loader("[" * depth + "]" * depth).get_single_node()

        def compose_mappings():
            yaml.Loader("{a: " * depth + "b" + "}" * depth).get_single_node()

        # Built and freed by the main thread: freeing a graph this deep
        # takes more stack than a small thread has (3.13), module or not.
        root = node = SequenceNode("tag:yaml.org,2002:seq", [])
        for _ in range(depth):
            child = MappingNode("tag:yaml.org,2002:map", [])
            node.value.append(child)
            node = SequenceNode("tag:yaml.org,2002:seq", [])
            child.value.append((ScalarNode("tag:yaml.org,2002:str", "k"), node))

        def serialize():
            dumper = yaml.Dumper(io.StringIO())
            dumper.open()
            dumper.serialize(root)

        def run():
            for job in (compose, compose_mappings, serialize):
                try:
                    job()
                    out.append("ok")
                except RecursionError as exc:
                    out.append("RecursionError")
            # The guard leaves nothing behind: shallow work still succeeds.
            node = yaml.Loader("[[a]]").get_single_node()
            out.append(node.value[0].value[0].value)

        thread = threading.Thread(target=run)
        thread.start()
        thread.join()
        print(" ".join(out))
    """

    def test_deep_nesting_in_a_small_stack_raises(self):
        for stack in (256 * 1024, 1024 * 1024):
            with self.subTest(stack=stack):
                proc = run_apart(self.SCRIPT % stack)
                self.assertEqual(proc.returncode, 0, proc.stderr[-3000:])
                self.assertEqual(proc.stdout.split(),
                                 ["RecursionError", "RecursionError", "RecursionError", "a"])

    def test_the_message_names_the_stack(self):
        proc = run_apart("""
            import threading, yaml, yaml._yaml
            from tests.support.project import inside_repo
            assert inside_repo(yaml._yaml.__file__)
            threading.stack_size(512 * 1024)
            def run():
                try:
                    yaml.Loader("[" * 9999 + "]" * 9999).get_single_node()
                except RecursionError as exc:
                    print(exc)
            t = threading.Thread(target=run)
            t.start()
            t.join()
        """)
        self.assertEqual(proc.returncode, 0, proc.stderr[-3000:])
        self.assertRegex(proc.stdout.strip(), r"^nesting too deep for the C stack \(\d+ levels\)$")


if __name__ == "__main__":
    unittest.main()
