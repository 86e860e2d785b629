"""Node composer: documents, anchors and aliases, resolver calls, failures."""

import ctypes
import os
import subprocess
import sys
import textwrap
import unittest

from tests.support.project import own_modules

import yaml
import yaml._yaml as ext

own_modules()  # refuses a yaml or native module from outside the project

from tests.parser_helpers import (ChunkedStream, GlobalsTest, GlobalTagLoader,  # noqa: E402
                                  RecordingLoader, mark_fields, plain, vtable_slot)

U = "<unicode string>"
STR = "tag:yaml.org,2002:str"
SEQ = "tag:yaml.org,2002:seq"
MAP = "tag:yaml.org,2002:map"


def M(index, line, column):
    return ("Mark", U, index, line, column, None, None)


class DocumentFlowTest(unittest.TestCase):
    def test_empty_stream(self):
        parser = yaml.CLoader("")
        self.assertIs(parser.check_node(), False)
        self.assertIsNone(parser.get_node())
        self.assertIs(parser.check_node(), False)
        self.assertIsNone(yaml.CLoader("").get_single_node())
        self.assertIsNone(yaml.CLoader("# only a comment\n").get_single_node())

    def test_documents_one_by_one(self):
        parser = yaml.CLoader("a\n--- b\n--- [c]\n")
        roots = []
        while parser.check_node():
            roots.append(parser.get_node())
        self.assertEqual([(type(n), n.tag) for n in roots],
                         [(ext.ScalarNode, STR), (ext.ScalarNode, STR), (ext.SequenceNode, SEQ)])
        self.assertEqual([roots[0].value, roots[1].value], ["a", "b"])
        for _ in range(2):
            self.assertIs(parser.check_node(), False)
            self.assertIsNone(parser.get_node())

    def test_single_document(self):
        root = yaml.CLoader("- a\n- b: c\n").get_single_node()
        self.assertIs(type(root), ext.SequenceNode)
        self.assertEqual(len(root.value), 2)
        self.assertEqual(root.value[1].value[0][1].value, "c")

    def test_second_document_under_get_single_node(self):
        log = []
        real = ext.ComposerError

        def record(*args):
            log.append(args)
            return real(*args)

        ext.ComposerError = record
        try:
            with self.assertRaises(real):
                yaml.CLoader("a\n--- b\n").get_single_node()
        finally:
            ext.ComposerError = real
        self.assertEqual(plain(log), [("expected a single document in the stream", M(0, 0, 0),
                                       "but found another document", M(2, 1, 0))])

    def test_argument_errors(self):
        parser = yaml.CLoader("")
        table = [
            (lambda: parser.check_node(1), "check_node() takes exactly 0 positional arguments (1 given)"),
            (lambda: parser.get_node(1, 2), "get_node() takes exactly 0 positional arguments (2 given)"),
            (lambda: parser.get_single_node(None),
             "get_single_node() takes exactly 0 positional arguments (1 given)"),
            (lambda: parser.check_node(k=1), "check_node() got an unexpected keyword argument 'k'"),
            (lambda: parser.get_node(k=1), "get_node() got an unexpected keyword argument 'k'"),
            (lambda: parser.get_single_node(k=1), "get_single_node() got an unexpected keyword argument 'k'"),
        ]
        for call, message in table:
            with self.subTest(message=message):
                with self.assertRaises(TypeError) as cm:
                    call()
                self.assertEqual(str(cm.exception), message)
        self.assertIs(parser.check_node(), False)


class NodeArgumentsTest(GlobalsTest):
    def test_constructor_orders_and_end_marks(self):
        log = self.record("ScalarNode", "SequenceNode", "MappingNode")
        root = GlobalTagLoader("- 'a'\n- {k: \"v\"}\n").get_single_node()
        self.assertEqual([(name, plain(args)) for name, args in log], [
            ("SequenceNode", (SEQ, [root.value[0], root.value[1]], M(0, 0, 0), None, False)),
            ("ScalarNode", (STR, "a", M(2, 0, 2), M(5, 0, 5), "'")),
            ("MappingNode", (MAP, [root.value[1].value[0]], M(8, 1, 2), None, True)),
            ("ScalarNode", (STR, "k", M(9, 1, 3), M(10, 1, 4), "")),
            ("ScalarNode", (STR, "v", M(12, 1, 6), M(15, 1, 9), '"')),
        ])
        # The nodes hold the very lists passed to them.
        self.assertIs(log[0][1][1], root.value)
        self.assertIs(log[2][1][1], root.value[1].value)
        self.assertEqual(mark_fields(root.value[1].end_mark), (U, 16, 1, 10, None, None))
        self.assertEqual(mark_fields(root.end_mark), (U, 17, 2, 0, None, None))

    def test_styles(self):
        table = [("a", ""), ("'a'", "'"), ('"a"', '"'), ("|\n a\n", "|"), (">\n a\n", ">")]
        for source, style in table:
            with self.subTest(source=source):
                self.assertEqual(yaml.CLoader(source).get_single_node().style, style)
        for source, flow in (("[a]", True), ("- a", False), ("{a: b}", True), ("a: b", False)):
            with self.subTest(source=source):
                self.assertIs(yaml.CLoader(source).get_single_node().flow_style, flow)

    def test_value_keeps_nul(self):
        self.assertEqual(yaml.CLoader('"a\\0b"').get_single_node().value, "a\0b")


class ResolverTest(unittest.TestCase):
    def test_call_order_from_the_text(self):
        parser = RecordingLoader("- a\n- {k: v}\n")
        root = parser.get_single_node()
        seq, mapping = root, root.value[1]
        key = mapping.value[0][0]
        hooks = [c for c in parser.calls if c[0] != "resolve"]
        self.assertEqual(hooks, [
            ("descend", None, None),
            ("descend", seq, 0), ("ascend",),
            ("descend", seq, 1),
            ("descend", mapping, None), ("ascend",),
            ("descend", mapping, key), ("ascend",),
            ("ascend",),
            ("ascend",),
        ])
        self.assertIs(hooks[6][2], key)  # the key node itself, not an equal one
        self.assertIs(type(hooks[1][2]), int)

    def test_resolve_arguments(self):
        table = [
            ("a", [(ext.ScalarNode, "a", (True, False))], STR),
            ("'a'", [(ext.ScalarNode, "a", (False, True))], STR),
            ("! a", [(ext.ScalarNode, "a", (True, False))], STR),
            ("! 'a'", [(ext.ScalarNode, "a", (True, False))], STR),
            ("!t a", [], "!t"),
            ("!!str a", [], STR),
            ("[]", [(ext.SequenceNode, None, True)], SEQ),
            ("! []", [(ext.SequenceNode, None, False)], SEQ),
            ("!t []", [], "!t"),
            ("{}", [(ext.MappingNode, None, True)], MAP),
            ("! {}", [(ext.MappingNode, None, False)], MAP),
        ]
        for source, calls, tag in table:
            with self.subTest(source=source):
                parser = RecordingLoader(source)
                root = parser.get_single_node()
                got = [c[1:] for c in parser.calls if c[0] == "resolve"]
                self.assertEqual(got, calls)
                for call in got:
                    self.assertIs(call[0], calls[0][0])
                    implicit = call[2] if isinstance(call[2], tuple) else (call[2],)
                    self.assertTrue(all(type(flag) is bool for flag in implicit))
                self.assertEqual(root.tag, tag)

    def test_resolve_result_is_the_tag_whatever_it_is(self):
        marker = object()

        class Loader(yaml.CLoader):
            def resolve(self, kind, value, implicit):
                return marker

        root = Loader("[a]").get_single_node()
        self.assertIs(root.tag, marker)
        self.assertIs(root.value[0].tag, marker)

    def test_resolver_methods_are_looked_up_at_each_call(self):
        parser = RecordingLoader("[a, b]")
        seen = []

        def descend(parent, index):
            seen.append(index)
            if index == 0:
                parser.descend_resolver = lambda p, i: seen.append(("instance", i))

        parser.descend_resolver = descend
        parser.get_single_node()
        self.assertEqual(seen, [None, 0, ("instance", 1)])

    def test_end_mark_is_set_after_the_children(self):
        states = []

        class Loader(yaml.CLoader):
            def descend_resolver(self, parent, index):
                if parent is not None:
                    states.append(parent.end_mark)

        root = Loader("[a, [b]]").get_single_node()
        self.assertEqual(states, [None, None, None])
        self.assertIsInstance(root.end_mark, ext.Mark)


class AnchorTest(GlobalsTest):
    def test_alias_gives_the_very_node(self):
        root = yaml.CLoader("- &a x\n- *a\n- [*a]\n").get_single_node()
        first = root.value[0]
        self.assertIs(root.value[1], first)
        self.assertIs(root.value[2].value[0], first)

    def test_self_reference_makes_a_cycle(self):
        root = yaml.CLoader("&s [a, *s]").get_single_node()
        self.assertIs(root.value[1], root)
        root = yaml.CLoader("&m {k: *m}").get_single_node()
        self.assertIs(root.value[0][1], root)

    def test_alias_gets_no_resolver_calls(self):
        parser = RecordingLoader("[&a x, *a]")
        parser.get_single_node()
        self.assertEqual(sum(1 for c in parser.calls if c[0] == "descend"), 2)
        self.assertEqual(sum(1 for c in parser.calls if c[0] == "ascend"), 2)

    def test_undefined_alias(self):
        log = self.record("ComposerError")
        table = [("*x", M(0, 0, 0)), ("&x a\n--- *x\n", M(9, 1, 4)), ("[a, *y]", M(4, 0, 4))]
        for source, mark in table:
            with self.subTest(source=source):
                del log[:]
                parser = yaml.CLoader(source)
                with self.assertRaises(yaml.composer.ComposerError):
                    while parser.check_node():
                        parser.get_node()
                self.assertEqual(plain(log), [("ComposerError", (None, None, "found undefined alias", mark))])

    def test_undefined_alias_stays_pending(self):
        compose_node = vtable_slot("_compose_node", ctypes.py_object, ctypes.py_object,
                                   ctypes.py_object, ctypes.py_object)
        parser = yaml.CLoader("[*x, a]")
        parser.check_node()
        with self.assertRaises(yaml.composer.ComposerError):
            parser.get_node()
        # Asking again meets the same alias, not the scalar after it.
        for _ in range(2):
            with self.assertRaises(yaml.composer.ComposerError) as cm:
                compose_node(parser, None, None)
            self.assertEqual(cm.exception.problem, "found undefined alias")

    def test_duplicate_anchor(self):
        log = self.record("ComposerError")
        parser = yaml.CLoader("- &a x\n- &a y\n")
        with self.assertRaises(yaml.composer.ComposerError):
            parser.get_single_node()
        self.assertEqual(plain(log), [("ComposerError", ("found duplicate anchor; first occurrence", M(2, 0, 2),
                                                         "second occurrence", M(9, 1, 2)))])

    def test_same_anchor_in_two_documents(self):
        parser = yaml.CLoader("&a x\n--- &a [*a]\n")
        parser.check_node()
        first = parser.get_node()
        second = parser.get_node()
        self.assertEqual(first.value, "x")
        self.assertIs(second.value[0], second)

    def test_repeated_keys_all_stay(self):
        root = yaml.CLoader("{a: 1, a: 2, a: 1}").get_single_node()
        self.assertEqual([(k.value, v.value) for k, v in root.value], [("a", "1"), ("a", "2"), ("a", "1")])


class FailureTest(GlobalsTest):
    def test_host_callbacks_raising(self):
        cases = [
            ("resolve", "a"), ("descend_resolver", "a"), ("ascend_resolver", "a"),
            ("ScalarNode", "a"), ("SequenceNode", "[a]"), ("MappingNode", "{a: b}"),
            ("ComposerError", "*x"),
        ]
        for name, source in cases:
            with self.subTest(name=name):
                error = LookupError(name)

                def boom(*args):
                    raise error

                if name in ("resolve", "descend_resolver", "ascend_resolver"):
                    parser = yaml.CLoader(source)
                    setattr(parser, name, boom)
                else:
                    self.rebind(name, boom)
                    parser = GlobalTagLoader(source)
                with self.assertRaises(LookupError) as cm:
                    parser.get_single_node()
                self.assertIs(cm.exception, error)
                self.doCleanups()

    def test_end_mark_assignment_failing(self):
        class Frozen(ext.SequenceNode):
            def __setattr__(self, name, value):
                if name == "end_mark" and hasattr(self, "end_mark"):
                    raise AttributeError("frozen")
                super().__setattr__(name, value)

        self.rebind("SequenceNode", Frozen)
        with self.assertRaisesRegex(AttributeError, "frozen"):
            GlobalTagLoader("[a]").get_single_node()

    def test_read_raising_while_composing(self):
        for fail_at in (0, 3):
            with self.subTest(fail_at=fail_at):
                error = OSError("disk")
                stream = ChunkedStream(b"- a\n- b\n- c\n", chunk=2, fail_at=fail_at, exc=error)
                with self.assertRaises(OSError) as cm:
                    yaml.CLoader(stream).get_single_node()
                self.assertIs(cm.exception, error)

    def test_syntax_error_while_composing(self):
        with self.assertRaises(yaml.parser.ParserError):
            yaml.CLoader("[a, b").get_single_node()
        with self.assertRaises(yaml.scanner.ScannerError):
            yaml.CLoader("a: b: c").get_single_node()

    def test_out_of_order_event(self):
        # get_node without check_node: the stream start is taken for a
        # document start, and the document start then begins no node.
        parser = RecordingLoader("a")
        with self.assertRaises(UnboundLocalError) as cm:
            parser.get_node()
        self.assertEqual(str(cm.exception), "local variable 'node' referenced before assignment")
        self.assertEqual(parser.calls, [("descend", None, None), ("ascend",)])

    def test_reentry_from_callbacks(self):
        seen = []

        class Loader(yaml.CLoader):
            def descend_resolver(self, parent, index):
                for method in (self.get_node, self.check_node, self.get_single_node,
                               self.get_event, self.peek_token, self.raw_parse):
                    try:
                        method()
                    except RuntimeError as exc:
                        seen.append(str(exc))

        root = Loader("[a]").get_single_node()
        self.assertEqual(len(root.value), 1)
        self.assertEqual(len(seen), 12)
        self.assertTrue(all("already running" in text for text in seen), seen)

    def test_reentry_from_a_node_class(self):
        real = ext.ScalarNode
        parsers = []

        def scalar(*args):
            parsers[0].check_node()
            return real(*args)

        self.rebind("ScalarNode", scalar)
        parsers.append(GlobalTagLoader("a"))
        with self.assertRaises(RuntimeError):
            parsers[0].get_single_node()


class DepthTest(unittest.TestCase):
    def test_deep_nesting_ends_in_recursion_error(self):
        for depth in (10 ** 5, 10 ** 6):
            with self.subTest(depth=depth):
                parser = yaml.CLoader("[" * depth + "]" * depth)
                with self.assertRaises(RecursionError):
                    parser.get_single_node()

    def test_deep_mappings_too(self):
        depth = 10 ** 5
        with self.assertRaises(RecursionError):
            yaml.CLoader("{a: " * depth + "}" * depth).get_single_node()

    def test_nesting_below_the_limit_composes(self):
        depth = 9000
        node = yaml.CLoader("[" * depth + "]" * depth).get_single_node()
        for _ in range(depth - 1):
            node = node.value[0]
        self.assertEqual(node.value, [])

    def test_limit_is_safe_in_a_thread_with_a_small_stack(self):
        # A 4 MiB thread stack (half the usual default) takes the deepest
        # nesting the composer admits; run apart so a crash shows as a failure.
        # Under AddressSanitizer every frame carries red zones, several times
        # its plain size, so the sanitizer run gives the thread 8 times more.
        stack_mib = 32 if "libasan" in os.environ.get("LD_PRELOAD", "") else 4
        script = textwrap.dedent("""
            import sys, threading
            from tests.support.project import own_modules
            own_modules()
            import yaml, yaml._yaml
            threading.stack_size(STACK_MIB * 1024 * 1024)
            out = []
            def run():
                for depth in (9999, 10 ** 5):
                    try:
                        yaml.CLoader("[" * depth + "]" * depth).get_single_node()
                        out.append("ok")
                    except RecursionError:
                        out.append("RecursionError")
            t = threading.Thread(target=run)
            t.start()
            t.join()
            print(" ".join(out))
        """).replace("STACK_MIB", str(stack_mib))
        proc = subprocess.run([sys.executable, "-P", "-c", script], capture_output=True, text=True,
                              env=dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path)))
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertEqual(proc.stdout.split(), ["ok", "RecursionError"])


if __name__ == "__main__":
    unittest.main()
