"""CEmitter.open / serialize / close: node graphs to YAML documents."""

import io
import unittest

import yaml
import yaml._yaml as _yaml
from yaml.nodes import MappingNode, ScalarNode, SequenceNode
from yaml.resolver import BaseResolver
from yaml.serializer import SerializerError

from tests.support.project import assert_own_package
STR = "tag:yaml.org,2002:str"
SEQ = "tag:yaml.org,2002:seq"
MAP = "tag:yaml.org,2002:map"



class ImportedFromRepository(unittest.TestCase):
    def test_package_and_extension_are_ours(self):
        package, extension = assert_own_package(self)
        self.assertIs(package, yaml)
        self.assertIs(extension, _yaml)


class Dumper(_yaml.CEmitter, BaseResolver):
    pass


class LoggingDumper(Dumper):
    """Records every resolver call with its arguments."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.calls = []

    def descend_resolver(self, parent, index):
        self.calls.append(("descend", parent, index))

    def ascend_resolver(self):
        self.calls.append(("ascend",))

    def resolve(self, kind, value, implicit):
        self.calls.append(("resolve", kind, value, implicit))
        return super().resolve(kind, value, implicit)


def S(value, tag=STR, style=None):
    return ScalarNode(tag, value, style=style)


def dump(*nodes, cls=Dumper, **options):
    out = io.StringIO()
    emitter = cls(out, **options)
    emitter.open()
    for node in nodes:
        emitter.serialize(node)
    emitter.close()
    return out.getvalue()


class Anchors(unittest.TestCase):
    def test_names_follow_second_encounters(self):
        a, b = S("a"), S("b")
        root = MappingNode(MAP, [(S("k1"), a), (S("k2"), b), (S("k3"), b), (S("k4"), a)])
        self.assertEqual(dump(root), "k1: &id002 a\nk2: &id001 b\nk3: *id001\nk4: *id002\n")

    def test_shared_value_of_two_keys(self):
        shared = S("v")
        root = MappingNode(MAP, [(S("x"), shared), (S("y"), shared)])
        self.assertEqual(dump(root), "x: &id001 v\ny: *id001\n")

    def test_self_containing_sequence(self):
        seq = SequenceNode(SEQ, [])
        seq.value.append(seq)
        self.assertEqual(dump(seq), "&id001\n- *id001\n")

    def test_each_document_restarts_at_id001(self):
        a, b = S("a"), S("b")
        first = SequenceNode(SEQ, [a, a])
        second = SequenceNode(SEQ, [b, b, a, a])
        self.assertEqual(dump(first, second),
                         "- &id001 a\n- *id001\n---\n- &id001 b\n- *id001\n- &id002 a\n- *id002\n")

    def test_counter_grows_past_three_digits(self):
        items = [S(str(i)) for i in range(1000)]
        text = dump(SequenceNode(SEQ, items + items))
        self.assertIn("- &id999 998\n", text)
        self.assertIn("- &id1000 999\n", text)
        self.assertTrue(text.endswith("- *id1000\n"))

    def test_mapping_key_shared_with_value(self):
        k = S("k")
        self.assertEqual(dump(MappingNode(MAP, [(k, k)])), "&id001 k: *id001\n")


class States(unittest.TestCase):
    def test_state_table(self):
        node = S("x")
        cases = [
            ("serialize before open", [], "serialize", "serializer is not opened"),
            ("close before open", [], "close", "serializer is not opened"),
            ("open twice", ["open"], "open", "serializer is already opened"),
            ("open after close", ["open", "close"], "open", "serializer is closed"),
            ("serialize after close", ["open", "close"], "serialize", "serializer is closed"),
        ]
        for label, before, action, message in cases:
            with self.subTest(label):
                emitter = Dumper(io.StringIO())
                for step in before:
                    getattr(emitter, step)()
                call = getattr(emitter, action)
                with self.assertRaises(SerializerError) as cm:
                    call(node) if action == "serialize" else call()
                self.assertEqual(str(cm.exception), message)

    def test_close_twice_is_harmless_and_init_resets(self):
        out = io.StringIO()
        emitter = Dumper(out)
        emitter.open()
        emitter.close()
        self.assertIsNone(emitter.close())
        emitter.__init__(out)
        with self.assertRaises(SerializerError) as cm:
            emitter.close()
        self.assertEqual(str(cm.exception), "serializer is not opened")
        emitter.open()
        emitter.serialize(S("again"))
        emitter.close()
        self.assertEqual(out.getvalue(), "again\n")

    def test_failed_open_stays_not_opened(self):
        class BadEncoding:
            def __eq__(self, other):
                raise KeyError("eq")

            __hash__ = object.__hash__

        emitter = Dumper(io.StringIO(), encoding=BadEncoding())
        with self.assertRaises(KeyError):
            emitter.open()
        with self.assertRaises(SerializerError) as cm:
            emitter.serialize(S("x"))
        self.assertEqual(str(cm.exception), "serializer is not opened")

    def test_failed_close_and_serialize_stay_opened(self):
        class Stream:
            def write(self, data):
                raise OSError("full")

        emitter = Dumper(Stream())
        emitter.open()
        with self.assertRaises(OSError):
            emitter.serialize(S("x"))
        with self.assertRaises(SerializerError) as cm:
            emitter.open()
        self.assertEqual(str(cm.exception), "serializer is already opened")

        emitter = Dumper(Stream(), encoding="utf-16-le")  # the BOM is written at close
        emitter.open()
        with self.assertRaises(OSError):
            emitter.close()
        with self.assertRaises(SerializerError) as cm:
            emitter.open()
        self.assertEqual(str(cm.exception), "serializer is already opened")


class ResolverCalls(unittest.TestCase):
    def test_call_log(self):
        x, y = S("x"), S("y")
        seq = SequenceNode(SEQ, [x, y, x])
        key = S("k")
        root = MappingNode(MAP, [(key, seq)])
        emitter = LoggingDumper(io.StringIO())
        emitter.open()
        emitter.serialize(root)
        tf, ft = (True, False), (False, True)
        self.assertEqual(emitter.calls, [
            ("descend", None, None),
            ("resolve", MappingNode, root.value, True),
            ("descend", root, None),
            ("resolve", ScalarNode, "k", tf), ("resolve", ScalarNode, "k", ft),
            ("ascend",),
            ("descend", root, key),
            ("resolve", SequenceNode, seq.value, True),
            ("descend", seq, 0),
            ("resolve", ScalarNode, "x", tf), ("resolve", ScalarNode, "x", ft),
            ("ascend",),
            ("descend", seq, 1),
            ("resolve", ScalarNode, "y", tf), ("resolve", ScalarNode, "y", ft),
            ("ascend",),
            # the third item is an alias: no resolver call
            ("ascend",),
            ("ascend",),
        ])
        index_types = {type(c[2]) for c in emitter.calls if c[0] == "descend" and c[1] is seq}
        self.assertEqual(index_types, {int})

    def test_constant_tuples_are_shared(self):
        emitter = LoggingDumper(io.StringIO())
        emitter.open()
        emitter.serialize(SequenceNode(SEQ, [S("a"), S("b")]))
        flags = [c[3] for c in emitter.calls if c[0] == "resolve" and c[1] is ScalarNode]
        self.assertIs(flags[0], flags[2])
        self.assertIs(flags[1], flags[3])

    def test_implicit_flags_follow_resolve(self):
        class Picky(Dumper):
            answers = {}

            def resolve(self, kind, value, implicit):
                return self.answers.get((kind, implicit), "other")

        cases = [
            ("plain and quoted", {(ScalarNode, (True, False)): "!t", (ScalarNode, (False, True)): "!t"},
             S("x", "!t"), "x\n"),
            ("plain only", {(ScalarNode, (True, False)): "!t"}, S("x", "!t"), "x\n"),
            ("quoted only, quoted style", {(ScalarNode, (False, True)): "!t"},
             S("x", "!t", style="'"), "'x'\n"),
            ("quoted only, plain style", {(ScalarNode, (False, True)): "!t"},
             S("x", "!t"), "'x'\n"),
            ("neither", {}, S("x", "!t"), "!t x\n"),
            ("sequence implicit", {(SequenceNode, True): "!s"}, SequenceNode("!s", []), "[]\n"),
            ("sequence tagged", {}, SequenceNode("!s", []), "!s []\n"),
            ("mapping tagged", {}, MappingNode("!m", []), "!m {}\n"),
            ("mapping implicit", {(MappingNode, True): "!m"}, MappingNode("!m", []), "{}\n"),
        ]
        for label, answers, node, text in cases:
            with self.subTest(label):
                Picky.answers = answers
                self.assertEqual(dump(node, cls=Picky), text)

    def test_equality_is_python_eq(self):
        class AlwaysEqual:
            def __eq__(self, other):
                return True

        class NeverEqual(str):
            def __eq__(self, other):
                return False

            __hash__ = str.__hash__

        class Raises:
            def __eq__(self, other):
                raise ArithmeticError("eq")

        class BadTruth:
            def __bool__(self):
                raise LookupError("truth")

        class TruthyResult:
            def __eq__(self, other):
                return BadTruth()

        def with_result(result):
            return type("R", (Dumper,), {"resolve": lambda self, k, v, i: result})

        self.assertEqual(dump(S("x", "!t"), cls=with_result(AlwaysEqual())), "x\n")
        tag = NeverEqual("!t")
        # The very same object, yet == says no: the tag is written.
        self.assertEqual(dump(S("x", "!t"), cls=with_result(tag)), "!t x\n")
        for label, result, exc in [("eq raises", Raises(), ArithmeticError),
                                   ("truth raises", TruthyResult(), LookupError)]:
            with self.subTest(label):
                with self.assertRaises(exc):
                    dump(S("x"), cls=with_result(result))

    def test_resolver_methods_raising(self):
        for name in ("descend_resolver", "ascend_resolver", "resolve"):
            with self.subTest(name):
                error = ValueError(name)

                def fail(self, *args, error=error):
                    raise error

                cls = type("F", (Dumper,), {name: fail})
                emitter = cls(io.StringIO())
                emitter.open()
                with self.assertRaises(ValueError) as cm:
                    emitter.serialize(SequenceNode(SEQ, [S("a")]))
                self.assertIs(cm.exception, error)

    def test_scalar_subclass_writes_nothing_but_is_resolved_around(self):
        class Odd(ScalarNode):
            pass

        odd = Odd(STR, "odd")
        seq = SequenceNode(SEQ, [odd, S("y")])
        stream = io.StringIO()
        emitter = LoggingDumper(stream)
        emitter.open()
        emitter.serialize(seq)
        emitter.close()
        self.assertEqual(stream.getvalue(), "- y\n")
        self.assertIn(("descend", seq, 0), emitter.calls)
        i = emitter.calls.index(("descend", seq, 0))
        self.assertEqual(emitter.calls[i + 1], ("ascend",))

    def test_globals_looked_up_at_use(self):
        saved = _yaml.ScalarNode
        try:
            _yaml.ScalarNode = type("Elsewhere", (), {})  # scalars are then "other" nodes
            out = io.StringIO()
            emitter = LoggingDumper(out)
            emitter.open()
            emitter.serialize(SequenceNode(SEQ, [S("a")]))
            emitter.close()
            kinds = [c[1] for c in emitter.calls if c[0] == "resolve"]
            self.assertEqual(kinds, [SequenceNode])
            self.assertEqual(out.getvalue(), "[]\n")
        finally:
            _yaml.ScalarNode = saved


class Unpacking(unittest.TestCase):
    def test_mapping_item_messages(self):
        k, v = S("k"), S("v")
        many = "too many values to unpack (expected 2)"
        cases = [
            ("3-tuple", (k, v, v), many),
            ("1-tuple", (k,), "need more than 1 value to unpack"),
            ("empty tuple", (), "need more than 0 values to unpack"),
            ("3-list", [k, v, v], many),
            ("1-list", [k], "need more than 1 value to unpack"),
            ("iterator of 1", iter([k]), "need more than 1 value to unpack"),
            ("iterator of 0", iter([]), "need more than 0 values to unpack"),
            ("iterator of 3", iter([k, v, v]), many),
        ]
        for label, item, message in cases:
            with self.subTest(label):
                emitter = Dumper(io.StringIO())
                emitter.open()
                with self.assertRaises(ValueError) as cm:
                    emitter.serialize(MappingNode(MAP, [item]))
                self.assertEqual(str(cm.exception), message)

    def test_pairs_of_any_iterable(self):
        k, v = S("k"), S("v")
        for label, item in [("tuple", (k, v)), ("list", [k, v]), ("iterator", iter([k, v])),
                            ("generator", (n for n in (k, v)))]:
            with self.subTest(label):
                # Iterators are consumed by the first pass; only exact tuples
                # and lists survive for the second.
                node = MappingNode(MAP, [item])
                if label in ("tuple", "list"):
                    self.assertEqual(dump(node), "k: v\n")
                else:
                    with self.assertRaises(ValueError):
                        dump(node)

    def test_non_iterable_item(self):
        emitter = Dumper(io.StringIO())
        emitter.open()
        with self.assertRaises(TypeError):
            emitter.serialize(MappingNode(MAP, [5]))


class NodeFields(unittest.TestCase):
    def test_conversion_messages(self):
        cases = [
            ("tag int", S("x", tag=5), TypeError, "tag must be a string"),
            ("value None", ScalarNode(STR, None), TypeError, "value must be a string"),
            ("value int", ScalarNode(STR, 3), TypeError, "value must be a string"),
            ("collection tag", SequenceNode(3.5, []), TypeError, "tag must be a string"),
            ("bad utf-8 value", ScalarNode(STR, b"\xff"), MemoryError, ""),
        ]
        for label, node, exc, message in cases:
            with self.subTest(label):
                emitter = Dumper(io.StringIO())
                emitter.open()
                with self.assertRaises(exc) as cm:
                    emitter.serialize(node)
                self.assertEqual(str(cm.exception), message)

    def test_none_tag_and_bytes(self):
        self.assertEqual(dump(ScalarNode(None, b"raw"), cls=type(
            "N", (Dumper,), {"resolve": lambda s, k, v, i: None})), "raw\n")

    def test_styles(self):
        cases = [(None, "x\n"), ("", "x\n"), ("'", "'x'\n"), ('"', '"x"\n'),
                 ("|", "|-\n  x\n"), (">", ">-\n  x\n")]
        for style, text in cases:
            with self.subTest(style=style):
                self.assertEqual(dump(S("x", style=style)), text)
        self.assertEqual(dump(SequenceNode(SEQ, [S("a")], flow_style=True)), "[a]\n")
        self.assertEqual(dump(MappingNode(MAP, [(S("a"), S("b"))], flow_style=1)), "{a: b}\n")

    def test_attribute_reads_in_order(self):
        log = []

        class Logged:
            def __init__(self, cls, **attrs):
                self.__dict__["_cls"] = cls
                self.__dict__["_attrs"] = attrs

            def __getattribute__(self, name):
                d = object.__getattribute__(self, "__dict__")
                if name == "__class__":
                    log.append(name)
                    return d["_cls"]
                if name == "__dict__":
                    return d
                log.append(name)
                value = d["_attrs"][name]
                if isinstance(value, BaseException):
                    raise value
                return value

            def __hash__(self):
                return id(self)

            def __eq__(self, other):
                return self is other

        scalar = Logged(ScalarNode, tag=STR, value="v", style=None)
        dump(scalar)
        self.assertEqual(log, ["__class__", "__class__", "tag", "value", "value", "value", "style"])
        del log[:]
        seq = Logged(SequenceNode, tag=SEQ, value=[], flow_style=None)
        dump(seq)
        self.assertEqual(log, ["__class__", "value", "__class__", "tag", "value", "flow_style",
                               "value"])
        for label, attrs in [("tag raises", dict(tag=KeyError("t"))),
                             ("style raises", dict(tag=STR, value="v", style=KeyError("s")))]:
            with self.subTest(label):
                emitter = Dumper(io.StringIO())
                emitter.open()
                with self.assertRaises(KeyError):
                    emitter.serialize(Logged(ScalarNode, **attrs))


class Directives(unittest.TestCase):
    def test_version_tags_and_explicit_markers(self):
        cases = [
            ("version", dict(version=(1, 1)), "%YAML 1.1\n--- x\n"),
            ("tags", dict(tags={"!e!": "tag:e,1:"}), "%TAG !e! tag:e,1:\n--- x\n"),
            ("explicit start", dict(explicit_start=True), "--- x\n"),
            ("explicit end", dict(explicit_end=True), "x\n...\n"),
        ]
        for label, options, text in cases:
            with self.subTest(label):
                self.assertEqual(dump(S("x"), **options), text)

    def test_directive_errors(self):
        cases = [
            ("129 tags", dict(tags={"!t%d!" % i: "p" for i in range(129)}), ValueError,
             "too many tags"),
            ("handle", dict(tags={None: "p"}), TypeError, "tag handle must be a string"),
            ("prefix", dict(tags={"!a!": 1}), TypeError, "tag prefix must be a string"),
            ("version", dict(version=("1", 1)), TypeError, "an integer is required"),
        ]
        for label, options, exc, message in cases:
            with self.subTest(label):
                out = io.StringIO()
                emitter = Dumper(out, **options)
                emitter.open()
                with self.assertRaises(exc) as cm:
                    emitter.serialize(S("x"))
                self.assertEqual(str(cm.exception), message)
        emitter = Dumper(io.StringIO(), tags={"!t%d!" % i: "p%d" % i for i in range(128)})
        emitter.open()
        emitter.serialize(S("x"))


class Robustness(unittest.TestCase):
    def deep_chain(self, depth):
        root = node = SequenceNode(SEQ, [])
        for _ in range(depth):
            child = SequenceNode(SEQ, [])
            node.value.append(child)
            node = child
        return root

    def test_deep_graph_anchoring_pass(self):
        emitter = Dumper(io.StringIO())
        emitter.open()
        with self.assertRaises(RecursionError):
            emitter.serialize(self.deep_chain(100000))

    def test_deep_graph_writing_pass(self):
        # The first pass sees every node one level down; the resolver then
        # chains them, so only the second pass goes deep.
        nodes = [SequenceNode(SEQ, []) for _ in range(100000)]
        root = SequenceNode(SEQ, list(nodes))

        class Rewire(Dumper):
            def descend_resolver(self, parent, index):
                if parent is None:
                    root.value = [nodes[0]]
                    for a, b in zip(nodes, nodes[1:]):
                        a.value = [b]

        emitter = Rewire(io.StringIO())
        emitter.open()
        with self.assertRaises(RecursionError):
            emitter.serialize(root)

    def test_graph_changed_between_passes(self):
        a, b = S("a"), S("b")

        def rewiring(new_value):
            class Rewire(Dumper):
                def descend_resolver(self, parent, index):
                    if parent is None:
                        root.value = new_value

            return Rewire

        root = SequenceNode(SEQ, [a])
        emitter = rewiring([a, a])(io.StringIO())
        emitter.open()
        with self.assertRaises(SerializerError) as cm:
            emitter.serialize(root)
        self.assertIn("without an anchor name", str(cm.exception))

        root = SequenceNode(SEQ, [a])
        emitter = rewiring([b])(io.StringIO())
        emitter.open()
        with self.assertRaises(KeyError) as cm:
            emitter.serialize(root)
        self.assertIs(cm.exception.args[0], b)

    def test_reentry_from_resolver_and_node_properties(self):
        for label, call in [("serialize", lambda e: e.serialize(S("x"))),
                            ("emit", lambda e: e.emit(None)), ("open", lambda e: e.open()),
                            ("close", lambda e: e.close()),
                            ("__init__", lambda e: e.__init__(io.StringIO()))]:
            with self.subTest(label):
                class Reenter(Dumper):
                    def ascend_resolver(self, call=call):
                        call(self)

                emitter = Reenter(io.StringIO())
                emitter.open()
                with self.assertRaises(RuntimeError) as cm:
                    emitter.serialize(S("x"))
                self.assertIn("already running", str(cm.exception))

        holder = {}

        class Hashing:
            def __hash__(self):
                holder["emitter"].close()
                return 1

        emitter = Dumper(io.StringIO())
        holder["emitter"] = emitter
        emitter.open()
        with self.assertRaises(RuntimeError):
            emitter.serialize(Hashing())

    def test_failed_document_keeps_what_it_reached(self):
        # Failure in the writing pass leaves the per-document dicts; the same
        # emitter still reports itself opened.
        a = S("a")

        class FailLate(Dumper):
            def ascend_resolver(self):
                raise LookupError("late")

        emitter = FailLate(io.StringIO())
        emitter.open()
        with self.assertRaises(LookupError):
            emitter.serialize(SequenceNode(SEQ, [a, a]))
        with self.assertRaises(SerializerError):
            emitter.open()


if __name__ == "__main__":
    unittest.main()
