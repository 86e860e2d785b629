"""`python3 -m yaml`: the command-line tool, run as a user runs it.

Most cases start the tool in a child interpreter with the same package on
its path and check exit status, standard output and the exact
`file:line:column: problem` lines on standard error. The event printer is
also compared with libyaml's own reading of every suite case; that sweep
calls the tool's entry point in-process, since a process per case would
only add start-up time.
"""

import io
import json
import os
import subprocess
import sys
import tempfile
import unittest

from tests.support import eventfmt, suite
from tests.support.project import REPO_ROOT, OwnPackageTest, inside_repo

EXAMPLE = os.path.join(REPO_ROOT, "examples", "invoice.yaml")


def child_env():
    """The environment of a child interpreter that imports the package under
    test: its parent folder first, by absolute path, since the child runs in
    a scratch folder where a relative entry would name something else."""
    import yaml
    # Not resolved: a staged package links its modules to the source tree,
    # whose folder holds no extension for this interpreter.
    parent = os.path.dirname(os.path.dirname(os.path.abspath(yaml.__file__)))
    entries = [parent] + [os.path.abspath(p) for p in
                          os.environ.get("PYTHONPATH", "").split(os.pathsep) if p]
    return dict(os.environ, PYTHONPATH=os.pathsep.join(entries))


def run_tool(*args, stdin=b""):
    """Runs `python -m yaml ARGS` from a scratch folder; (status, out, err)."""
    proc = subprocess.run([sys.executable, "-P", "-m", "yaml", *args], input=stdin,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          cwd=tempfile.gettempdir(), env=child_env(), timeout=120)
    return proc.returncode, proc.stdout.decode("utf-8"), proc.stderr.decode("utf-8")


class ToolTest(OwnPackageTest):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tmp = tempfile.TemporaryDirectory()

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()
        super().tearDownClass()

    def write(self, name, data):
        path = os.path.join(self.tmp.name, name)
        with open(path, "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode("utf-8"))
        return path


class ChildProcessTest(ToolTest):

    def test_child_runs_this_project_package(self):
        proc = subprocess.run(
            [sys.executable, "-P", "-c",
             "import yaml, yaml._yaml, yaml.cli; print(yaml.__file__); "
             "print(yaml._yaml.__file__); print(yaml.cli.__file__)"],
            stdout=subprocess.PIPE, cwd=tempfile.gettempdir(), env=child_env(), check=True)
        for path in proc.stdout.decode().split():
            self.assertTrue(inside_repo(path), path)

    def test_usage_errors_exit_with_2(self):
        for args in [(), ("frobnicate",), ("to-json", "a", "b")]:
            with self.subTest(args=args):
                status, out, err = run_tool(*args)
                self.assertEqual(status, 2)
                self.assertEqual(out, "")
                self.assertIn("usage: python3 -m yaml", err)


class ValidateTest(ToolTest):

    def test_valid_inputs_pass_silently(self):
        good = self.write("good.yaml", "a: [1, 2]\n---\n- &x b\n- *x\n")
        self.assertEqual(run_tool("validate", good, EXAMPLE), (0, "", ""))
        status, out, _ = run_tool("validate", "-v", good)
        self.assertEqual((status, out), (0, "%s: ok, 2 documents\n" % good))

    def test_each_error_is_reported_with_its_position(self):
        cases = [
            # name, content, message after "file:"
            ("scanner.yaml", "a: 1\nb: 'open\n", "3:1: found unexpected end of stream "
             "(while scanning a quoted scalar at line 2, column 4)"),
            ("parser.yaml", "- a\nb: c\n", "2:1: did not find expected '-' indicator "
             "(while parsing a block collection at line 1, column 1)"),
            ("key.yaml", "a: b: c\n", "1:5: mapping values are not allowed in this context"),
            ("alias.yaml", "a: *nowhere\n", "1:4: found undefined alias"),
            ("utf8.yaml", b"a: 1\nb: \xff\xfe\xfd\n", "2:4: unacceptable byte #xff: invalid leading UTF-8 octet"),
            ("tab.yaml", "a:\n\t- b\n", "2:1: found character that cannot start any token "
             "(while scanning for the next token at line 2, column 1)"),
        ]
        for name, content, message in cases:
            with self.subTest(name=name):
                path = self.write(name, content)
                status, out, err = run_tool("validate", path)
                self.assertEqual((status, out), (1, ""))
                self.assertEqual(err, "%s:%s\n" % (path, message))

    def test_one_bad_file_among_good_ones(self):
        good = self.write("fine.yaml", "x: 1\n")
        bad = self.write("broken.yaml", "[1, 2\n")
        missing = os.path.join(self.tmp.name, "absent.yaml")
        status, out, err = run_tool("validate", good, bad, missing, good)
        self.assertEqual(status, 1)
        lines = err.splitlines()
        self.assertEqual(len(lines), 2, err)
        self.assertTrue(lines[0].startswith(bad + ":2:1: "), lines[0])
        self.assertEqual(lines[1], missing + ": cannot read: No such file or directory")

    def test_load_option_refuses_what_cannot_be_built(self):
        cases = [("unknown.yaml", "a: !!python/object:os.system x\n", "1:4: "),
                 ("badint.yaml", "n: !!int twelve\n", "1:4: "),
                 ("unhashable.yaml", "? [1, 2]\n: x\n", "1:3: found unhashable key")]
        for name, content, where in cases:
            with self.subTest(name=name):
                path = self.write(name, content)
                self.assertEqual(run_tool("validate", path)[0], 0)  # well-formed YAML
                status, _, err = run_tool("validate", "--load", path)
                self.assertEqual(status, 1)
                self.assertTrue(err.startswith(path + ":" + where), err)

    def test_standard_input_when_no_file_is_named(self):
        self.assertEqual(run_tool("validate", stdin=b"a: 1\n"), (0, "", ""))
        status, _, err = run_tool("validate", "-", stdin=b"a: [\n")
        self.assertEqual(status, 1)
        self.assertTrue(err.startswith("<stdin>:2:1: "), err)


class JsonTest(ToolTest):

    def test_yaml_to_json_on_the_bundled_example(self):
        status, out, err = run_tool("to-json", EXAMPLE)
        self.assertEqual((status, err), (0, ""))
        doc = json.loads(out)
        self.assertEqual(doc["invoice"], 34843)
        self.assertEqual(doc["date"], "2001-01-23")
        self.assertEqual(doc["bill-to"]["address"]["postal"], 48046)
        self.assertIs(type(doc["bill-to"]["address"]["postal"]), int)
        self.assertEqual(doc["ship-to"], doc["bill-to"])
        self.assertEqual(doc["product"][1]["price"], 2392.0)
        self.assertEqual(doc["comments"], "Late afternoon is best. Backup contact is Nancy "
                                          "Billsmer @ 338-4338.\n")

    def test_one_json_text_per_document(self):
        path = self.write("docs.yaml", "a: yes\n---\n[1, 0x1f, 1_000, ~, 'é']\n--- !!binary aGk=\n")
        status, out, err = run_tool("to-json", path)
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(out.splitlines(),
                         ['{"a": true}', '[1, 31, 1000, null, "é"]', '"aGk="'])
        status, out, _ = run_tool("to-json", "--ascii", "--indent", "2", stdin="- é\n".encode())
        self.assertEqual((status, out), (0, '[\n  "\\u00e9"\n]\n'))

    def test_values_json_cannot_hold_are_refused(self):
        for content in [".nan\n", "[1, -.inf]\n", "{[1]: 2}\n"]:
            with self.subTest(content=content):
                status, out, err = run_tool("to-json", stdin=content.encode())
                self.assertEqual(status, 1)
                self.assertTrue(err.startswith("<stdin>"), err)

    def test_json_to_yaml_and_back(self):
        texts = '{"b": [1, 2.5, null, true], "a": "yes", "c": {"": "1e3"}}\n' \
                '  ["-", " padded ", "line\\nbreak", "nul\\u0000", 12345678901234567890]'
        path = self.write("in.json", texts)
        status, out, err = run_tool("from-json", path)
        self.assertEqual((status, err), (0, ""))
        self.assertTrue(out.startswith("---"), out)
        import yaml
        expected = []
        decoder = json.JSONDecoder()
        index = 0
        while index < len(texts):
            doc, index = decoder.raw_decode(texts, index)
            expected.append(doc)
            index = len(texts) - len(texts[index:].lstrip())
        self.assertEqual(list(yaml.load_all(out)), expected)
        status, flow, _ = run_tool("from-json", "--flow", "--sort-keys", stdin=b'{"b": [1], "a": 2}')
        self.assertEqual((status, flow), (0, "{a: 2, b: [1]}\n"))

    def test_json_syntax_error_position(self):
        status, out, err = run_tool("from-json", stdin=b'{"a": 1,\n "b" 2}')
        self.assertEqual((status, out), (1, ""))
        self.assertEqual(err, "<stdin>:2:6: Expecting ':' delimiter\n")


class EventsTest(ToolTest):

    def test_bundled_example_events(self):
        status, out, err = run_tool("events", EXAMPLE)
        self.assertEqual((status, err), (0, ""))
        lines = out.splitlines()
        self.assertEqual(lines[:4], ["+STR", "+DOC ---", "+MAP", "=VAL :invoice"])
        self.assertIn("+MAP &id001", lines)
        self.assertIn("=ALI *id001", lines)
        self.assertIn("=VAL |458 Walkman Dr.\\nSuite #292\\n", lines)
        self.assertEqual(lines[-2:], ["-DOC", "-STR"])

    def test_error_after_the_events_that_parsed(self):
        status, out, err = run_tool("events", stdin=b"- a\n- [b\n")
        self.assertEqual(status, 1)
        self.assertEqual(out.splitlines(), ["+STR", "+DOC", "+SEQ", "=VAL :a", "+SEQ []", "=VAL :b"])
        self.assertTrue(err.startswith("<stdin>:3:1: "), err)

    def test_every_suite_case_reads_as_libyaml_reads_it(self):
        suite.require_suite(self)
        tool = suite.require_tool(self, "libyaml_events")
        from yaml import cli
        compared = 0
        for case_id, folder in suite.iter_cases():
            path = folder / "in.yaml"
            with self.subTest(case=case_id):
                expected = suite.event_lines(tool, path)
                out, err = io.StringIO(), io.StringIO()
                status = cli.main(["events", os.fspath(path)], stdout=out, stderr=err)
                got = eventfmt.split_lines(out.getvalue())
                if expected and expected[-1].startswith("!ERROR"):
                    self.assertEqual((status, got), (1, expected[:-1]))
                    self.assertTrue(err.getvalue().startswith(os.fspath(path) + ":"))
                else:
                    self.assertEqual((status, got, err.getvalue()), (0, expected, ""))
                compared += 1
        self.assertGreater(compared, 250)


class NormalizeTest(ToolTest):

    def test_normalized_text_keeps_the_graph_and_is_stable(self):
        import yaml
        source = ("%TAG !e! tag:example.com,2000:\n--- !e!doc\n"
                  "base: &b {x: 1, 'y': \"two\"}\nuse: [*b, *b, !e!n 3]\n"
                  "text: |\n  kept\n  lines\n...\n--- plain\n")
        path = self.write("graph.yaml", source)
        status, once, err = run_tool("normalize", path)
        self.assertEqual((status, err), (0, ""))
        status, twice, _ = run_tool("normalise", stdin=once.encode())
        self.assertEqual((status, twice), (0, once))

        def shape(node, seen):
            if id(node) in seen:
                return ("alias", seen[id(node)])
            seen[id(node)] = len(seen)
            if isinstance(node.value, str):
                return (node.tag, node.value)
            if node.value and isinstance(node.value[0], tuple):
                return (node.tag, [(shape(k, seen), shape(v, seen)) for k, v in node.value])
            return (node.tag, [shape(item, seen) for item in node.value])

        before = [shape(n, {}) for n in yaml.compose_all(source)]
        after = [shape(n, {}) for n in yaml.compose_all(once)]
        self.assertEqual(after, before)
        self.assertIn("&id001", once)

    def test_emitter_options_reach_the_output(self):
        status, out, _ = run_tool("normalize", "--canonical", stdin=b"a: 1\n")
        self.assertEqual(status, 0)
        self.assertTrue(out.startswith("---\n!!map {"), out)
        status, out, _ = run_tool("normalize", "--indent", "4", "--explicit-start",
                                  stdin=b"a:\n  b: [c, {d: e}]\n  f:\n   g: h\n")
        self.assertEqual((status, out), (0, "---\na:\n    b: [c, {d: e}]\n    f:\n        g: h\n"))


class BrokenPipeTest(ToolTest):

    def test_reader_leaving_early_is_not_an_error_report(self):
        data = b"".join(b"- item %d\n" % i for i in range(200000))
        proc = subprocess.Popen([sys.executable, "-P", "-m", "yaml", "events"],
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, cwd=tempfile.gettempdir(),
                                env=child_env())
        proc.stdin.write(data)
        proc.stdin.close()
        first = proc.stdout.readline()
        proc.stdout.close()
        err = proc.stderr.read()
        proc.wait(timeout=120)
        proc.stderr.close()
        self.assertEqual(first, b"+STR\n")
        self.assertEqual(err, b"")


if __name__ == "__main__":
    unittest.main()
