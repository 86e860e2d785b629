"""Registries that change after use, by the registration methods or by a
program editing the tables directly: every change counts at the next call.
Also overridden hooks, bad values under explicit tags, the C-named twins
agreeing with the plain loaders, classes made on the fly being freed, and
the collector held off only while a document is built and no other thread
can see it. (A native fast path for the stock classes must pass all of
these too.)"""

import gc
import io
import re
import sys
import threading
import unittest

from tests.support.project import OwnPackageTest
from tests.support.tables import keep_table

import yaml
from yaml.constructor import ConstructorError


class LaterRegistration(OwnPackageTest):
    """Each class is used once before its table changes, so a memo or plan
    built by that first use has to be dropped."""

    def test_implicit_resolver_added_after_use(self):
        class L(yaml.Loader):
            pass

        class D(yaml.Dumper):
            pass
        # First use builds the memo for "abc" (first character 'a', no row)
        # and for "on" (a bool row).
        self.assertEqual(yaml.load("[abc, on, '5%']", Loader=L), ["abc", True, "5%"])
        self.assertEqual(yaml.dump(["abc", "on"], Dumper=D), "- abc\n- 'on'\n")
        yaml.add_implicit_resolver("!word", re.compile(r"abc|on"), list("ao"),
                                   Loader=L, Dumper=D)
        L.add_constructor("!word", lambda loader, node: ("word", node.value))
        self.assertEqual(yaml.load("[abc, on]", Loader=L),
                         [("word", "abc"), True])   # bool's row came first
        # The dumper now has to quote "abc" to keep it a str.
        self.assertEqual(yaml.dump(["abc"], Dumper=D), "- 'abc'\n")
        # The stock classes never saw the row.
        self.assertEqual(yaml.load("abc"), "abc")
        self.assertEqual(yaml.dump("abc"), "abc\n")

    def test_resolver_added_on_a_base_reaches_a_sharing_subclass(self):
        class Base(yaml.Loader):
            pass
        Base.add_implicit_resolver("!pct", r"[0-9]+%", list("0123456789"))

        class Child(Base):   # shares Base's table until it adds a row
            pass
        self.assertEqual(yaml.load("5$", Loader=Child), "5$")
        Base.add_implicit_resolver("!usd", r"[0-9]+\$", list("0123456789"))
        Base.add_constructor("!usd", lambda loader, node: ("usd", node.value))
        self.assertEqual(yaml.load("5$", Loader=Child), ("usd", "5$"))

    def test_constructors_registered_after_use(self):
        class L(yaml.Loader):
            pass
        text = "{a: 1, b: [2.5, yes, ~, x]}"
        self.assertEqual(yaml.load(text, Loader=L),
                         {"a": 1, "b": [2.5, True, None, "x"]})
        for tag, value in (("int", ("int", "1")), ("float", ("float", "2.5")),
                           ("bool", ("bool", "yes")), ("null", ("null", "~")),
                           ("str", ("str", "x"))):
            with self.subTest(tag=tag):
                class M(L):
                    pass
                yaml.load(text, Loader=M)   # the plan for M, made before
                M.add_constructor("tag:yaml.org,2002:" + tag,
                                  lambda loader, node, t=tag: (t, node.value))
                data = yaml.load(text, Loader=M)
                found = [item for pair in data.items() for item in pair]
                found += found.pop()   # the list under "b"
                self.assertIn(value, found)
        self.assertEqual(yaml.load(text, Loader=L),
                         {"a": 1, "b": [2.5, True, None, "x"]})

    def test_multi_constructor_added_after_use_takes_unknown_tags(self):
        class L(yaml.BaseLoader):
            pass
        self.assertEqual(yaml.load("!x [a]", Loader=L), ["a"])
        L.add_multi_constructor("!", lambda loader, suffix, node: ("multi", suffix))
        self.assertEqual(yaml.load("!x [a]", Loader=L), ("multi", "x"))

    def test_collections_registered_after_use(self):
        class L(yaml.Loader):
            pass
        self.assertEqual(yaml.load("[{a: 1}]", Loader=L), [{"a": 1}])
        L.add_constructor("tag:yaml.org,2002:seq",
                          lambda loader, node: tuple(loader.construct_sequence(node)))
        L.add_constructor("tag:yaml.org,2002:map",
                          lambda loader, node: sorted(loader.construct_mapping(node)))
        self.assertEqual(yaml.load("[{b: 1, a: 2}]", Loader=L), (["a", "b"],))

    def test_representers_registered_after_use(self):
        class D(yaml.Dumper):
            pass
        data = ["s", 3, True, None]
        self.assertEqual(yaml.dump(data, Dumper=D), "- s\n- 3\n- true\n- null\n")
        for data_type, value in ((str, "s"), (int, 3), (bool, True),
                                 (type(None), None)):
            with self.subTest(type=data_type.__name__):
                class E(D):
                    pass
                yaml.dump(data, Dumper=E)
                E.add_representer(data_type, lambda dumper, item: dumper.represent_scalar(
                    "!mine", "mine"))
                self.assertIn("!mine", yaml.dump(data, Dumper=E))
                self.assertEqual(yaml.dump(data, Dumper=E).count("!mine"), 1)
        self.assertEqual(yaml.dump(data, Dumper=D), "- s\n- 3\n- true\n- null\n")


class ClassesMadeOnTheFly(OwnPackageTest):

    def test_used_classes_are_freed(self):
        import weakref

        def use():
            L = type("L", (yaml.Loader,), {})
            D = type("D", (yaml.Dumper,), {})
            self.assertEqual(yaml.load("[a, 1]", Loader=L), ["a", 1])
            self.assertEqual(yaml.dump(["a", 1], Dumper=D), "- a\n- 1\n")
            return weakref.ref(L), weakref.ref(D)
        refs = use()
        gc.collect()
        self.assertEqual([ref() for ref in refs], [None, None])


class Overrides(OwnPackageTest):
    """Methods the inlined work stands for, overridden on a subclass."""

    def test_overridden_construct_scalar_is_called(self):
        class L(yaml.Loader):
            def construct_scalar(self, node):
                return super().construct_scalar(node).upper()
        self.assertEqual(yaml.load("[abc, {k: v}]", Loader=L), ["ABC", {"K": "V"}])

    def test_overridden_construct_mapping_is_called(self):
        class L(yaml.Loader):
            def construct_mapping(self, node, deep=False):
                mapping = super().construct_mapping(node, deep)
                mapping["seen"] = True
                return mapping
        self.assertEqual(yaml.load("{a: {b: 1}}", Loader=L),
                         {"a": {"b": 1, "seen": True}, "seen": True})

    def test_overridden_ignore_aliases_shares_strings(self):
        class D(yaml.Dumper):
            def ignore_aliases(self, data):
                return data is None
        text = "shared text"
        out = yaml.dump([text, text], Dumper=D)
        self.assertEqual(out, "- &id001 shared text\n- *id001\n")

    def test_overridden_representer_lookup_is_called(self):
        class D(yaml.Dumper):
            def _representer_for(self, data):
                if isinstance(data, str):
                    return lambda dumper, text: dumper.represent_scalar("!s", text)
                return super()._representer_for(data)
        self.assertEqual(yaml.dump(["a", 1], Dumper=D), "- !s a\n- 1\n")

    def test_default_style_changed_by_a_representer_reaches_later_values(self):
        class D(yaml.Dumper):
            pass

        class Switch:
            pass

        def switch(dumper, data):
            dumper.default_style = '"'
            return dumper.represent_scalar("tag:yaml.org,2002:str", "on")
        D.add_representer(Switch, switch)
        self.assertEqual(yaml.dump(["a", Switch(), "b", None], Dumper=D),
                         '- a\n- "on"\n- "b"\n- ! "null"\n')

    def test_overridden_represent_scalar_is_called(self):
        class D(yaml.Dumper):
            def represent_scalar(self, tag, value, style=None):
                return super().represent_scalar(tag, value, style="'")
        out = yaml.dump(["a", 1], Dumper=D)
        self.assertTrue(out.startswith("- 'a'\n- "), out)
        self.assertTrue(out.endswith(" '1'\n"), out)


class SubclassesAndBadValues(OwnPackageTest):

    def test_subclasses_of_builtins_dump_as_before(self):
        class S(str):
            pass

        class I(int):
            pass

        class M(dict):
            pass
        for data in (S("x"), I(1), M(a=1)):
            with self.subTest(type=type(data).__name__):
                with self.assertRaises(yaml.representer.RepresenterError):
                    yaml.safe_dump(data)
        D = type("D", (yaml.SafeDumper,), {})
        D.add_multi_representer(str, lambda d, s: d.represent_scalar("!s", str(s)))
        D.add_multi_representer(int, lambda d, i: d.represent_scalar("!i", str(i)))
        self.assertEqual(yaml.dump([S("x"), I(1), "y", 2, True], Dumper=D),
                         "- !s x\n- !i 1\n- y\n- 2\n- true\n")

    def test_explicit_tags_still_refuse_bad_values(self):
        for text, what in (("!!int 1.5", "an integer"), ("!!int ''", "an integer"),
                           ("!!int '٣'", "an integer"),    # a non-ASCII digit
                           ("!!float abc", "a float"), ("!!float '١.٥'", "a float"),
                           ("!!bool maybe", "a boolean"), ("!!bool y", "a boolean"),
                           ("!!int 0x", "an integer"), ("!!float .", "a float"),
                           ("!!int '1" + "0" * 5000 + "'", "an integer")):
            with self.subTest(text=text):
                with self.assertRaises(ConstructorError) as caught:
                    yaml.load("- " + text)
                self.assertIn("while constructing " + what, str(caught.exception))
                self.assertEqual(caught.exception.problem_mark.column, 2)

    def test_plain_and_c_named_loaders_agree(self):
        class Sub(yaml.SafeLoader):
            def construct_scalar(self, node):
                return super().construct_scalar(node)
        text = ("[0, 7, 010, 0x1f, 1_0, -3, +4, 12:30, 1.5, -0.0, +2., 1.0e+3, 1e3,"
                " .inf, -.nan, yes, No, OFF, y, ~, null, '', !!int 3, !!float 2,"
                " !!bool on, !!null '', !!str 5, '1.5', <<, =, 2001-12-14,"
                " !!binary aGk=, !!set {a}, !!omap [b: 1], {<<: {m: 1}, n: 2}]")
        want = yaml.load(text)
        for loader in (yaml.CSafeLoader, Sub, yaml.FullLoader, yaml.CFullLoader):
            got = yaml.load(text, Loader=loader)
            self.assertEqual(len(got), len(want))
            for item, expected in zip(got, want):
                with self.subTest(loader=loader.__name__, value=expected):
                    self.assertIs(type(item), type(expected))
                    self.assertEqual(repr(item), repr(expected))

    def test_unhashable_key_is_refused_with_its_mark(self):
        with self.assertRaises(ConstructorError) as caught:
            yaml.load("a: 1\n[x]: 2\n")
        self.assertIn("found unhashable key", str(caught.exception))
        self.assertEqual(caught.exception.problem_mark.line, 1)


class DirectTableEdits(OwnPackageTest):
    """Programs change the tables themselves, without the registration
    methods; each change counts at the next call after a first use."""

    def test_filtering_the_stock_implicit_resolvers_in_place(self):
        bool_tag = "tag:yaml.org,2002:bool"
        tables = (yaml.resolver.Resolver.yaml_implicit_resolvers,)
        saved = {key: list(rows) for key, rows in tables[0].items()}

        def restore():
            for key, rows in saved.items():
                tables[0][key][:] = rows
        self.addCleanup(restore)
        for loader in (yaml.SafeLoader, yaml.CSafeLoader):
            self.assertIs(yaml.load("on", Loader=loader), True)
        self.assertEqual(yaml.safe_dump("on"), "'on'\n")
        for rows in tables[0].values():
            rows[:] = [row for row in rows if row[0] != bool_tag]
        for loader in (yaml.SafeLoader, yaml.CSafeLoader, yaml.Loader):
            with self.subTest(loader=loader.__name__):
                self.assertEqual(yaml.load("on", Loader=loader), "on")
        self.assertEqual(yaml.safe_dump("on"), "on\n")

    def test_replacing_and_appending_to_a_resolver_table(self):
        class L(yaml.SafeLoader):
            pass
        self.assertIs(yaml.load("yes", Loader=L), True)
        L.yaml_implicit_resolvers = {}
        self.assertEqual(yaml.load("[yes, 1, ~]", Loader=L), ["yes", "1", "~"])
        L.yaml_implicit_resolvers.setdefault("1", []).append(
            ("tag:yaml.org,2002:int", re.compile(r"^1$")))
        self.assertEqual(yaml.load("[1, 2]", Loader=L), [1, "2"])
        self.assertIs(yaml.load("yes"), True)   # the stock class kept its own

    def test_new_constructor_dict_then_an_item(self):
        class L(yaml.SafeLoader):
            pass
        self.assertEqual(yaml.load("!x a", Loader=yaml.BaseLoader), "a")
        with self.assertRaises(ConstructorError):
            yaml.load("!x a", Loader=L)
        L.yaml_constructors = dict(L.yaml_constructors)
        L.yaml_constructors["!x"] = lambda loader, node: ("x", node.value)
        self.assertEqual(yaml.load("!x a", Loader=L), ("x", "a"))
        L.yaml_constructors.pop("tag:yaml.org,2002:int")
        with self.assertRaises(ConstructorError):
            yaml.load("1", Loader=L)
        self.assertEqual(yaml.load("1"), 1)

    def test_assigning_multi_constructors_after_use(self):
        class L(yaml.SafeLoader):
            pass
        with self.assertRaises(ConstructorError):
            yaml.load("!m/a b", Loader=L)
        L.yaml_multi_constructors = {"!m/": lambda loader, suffix, node: (suffix, node.value)}
        self.assertEqual(yaml.load("!m/a b", Loader=L), ("a", "b"))
        L.yaml_multi_constructors = {}
        with self.assertRaises(ConstructorError):
            yaml.load("!m/a b", Loader=L)

    def test_setting_an_item_in_the_stock_representer_table(self):
        class Money(float):
            pass
        table = yaml.representer.SafeRepresenter.yaml_representers
        self.addCleanup(table.pop, Money, None)
        self.addCleanup(table.__setitem__, int, table[int])
        self.assertEqual(yaml.safe_dump([1]), "- 1\n")
        with self.assertRaises(yaml.representer.RepresenterError):
            yaml.safe_dump(Money(2))
        table[Money] = lambda dumper, data: dumper.represent_scalar("!money", "%.2f" % data)
        table[int] = lambda dumper, data: dumper.represent_scalar("!n", str(data))
        for dumper in (yaml.SafeDumper, yaml.CSafeDumper):
            with self.subTest(dumper=dumper.__name__):
                self.assertEqual(yaml.dump([Money(2), 1], Dumper=dumper),
                                 "- !money 2.00\n- !n 1\n")


class Unhashable:
    """A callable that cannot be hashed, as some programs register."""

    __hash__ = None

    def __init__(self, result):
        self.result = result

    def __eq__(self, other):
        return self is other

    def __call__(self, *args):
        return self.result(*args)


class UnhashableCallables(OwnPackageTest):

    def test_unhashable_constructor_and_representer(self):
        class L(yaml.SafeLoader):
            pass

        class D(yaml.SafeDumper):
            pass

        class Point:
            pass
        L.add_constructor("!p", Unhashable(lambda loader, node: "point"))
        L.add_multi_constructor("!q/", Unhashable(lambda loader, suffix, node: suffix))
        D.add_representer(Point, Unhashable(
            lambda dumper, data: dumper.represent_scalar("!p", "")))
        D.add_multi_representer(Point, Unhashable(
            lambda dumper, data: dumper.represent_scalar("!never", "")))
        # Documents that never use the tags, then ones that do.
        self.assertEqual(yaml.load("[a, 1, {b: c}]", Loader=L), ["a", 1, {"b": "c"}])
        self.assertEqual(yaml.dump([1, "a"], Dumper=D), "- 1\n- a\n")
        self.assertEqual(yaml.load("[!p x, !q/z y]", Loader=L), ["point", "z"])
        self.assertEqual(yaml.dump([Point()], Dumper=D), "- !p\n")


class TablesAndClassesFreed(OwnPackageTest):

    def test_loading_keeps_no_reference_to_a_table(self):
        class L(yaml.SafeLoader):
            pass
        L.add_implicit_resolver("!pct", r"^[0-9]+%$", "0123456789")

        class D(yaml.SafeDumper):
            pass
        D.add_implicit_resolver("!pct", r"^[0-9]+%$", "0123456789")
        tables = (L.yaml_implicit_resolvers, L.yaml_constructors,
                  D.yaml_implicit_resolvers, D.yaml_representers)
        before = [sys.getrefcount(table) for table in tables]
        for _ in range(3):
            with self.assertRaises(ConstructorError):
                yaml.load("[5%, on, x, 1]", Loader=L)
            self.assertEqual(yaml.dump(["5%", "on"], Dumper=D), "- '5%'\n- 'on'\n")
        self.assertEqual([sys.getrefcount(table) for table in tables], before)

    def test_classes_made_and_used_in_a_loop_are_freed(self):
        import weakref
        refs = []
        for i in range(200):
            L = type("L%d" % i, (yaml.SafeLoader,), {})
            L.add_implicit_resolver("!n%d" % i, r"^n$", "n")
            L.add_constructor("!n%d" % i, lambda loader, node: "n")
            self.assertEqual(yaml.load("[n, 1]", Loader=L), ["n", 1])
            refs.append(weakref.ref(L))
        del L
        gc.collect()
        self.assertEqual([ref for ref in refs if ref() is not None], [])


class Collector(OwnPackageTest):

    def setUp(self):
        self.addCleanup(gc.enable if gc.isenabled() else gc.disable)

    def test_collector_on_between_documents_and_after_errors(self):
        seen = []

        class L(yaml.Loader):
            pass
        L.add_constructor("!probe", lambda loader, node: seen.append(gc.isenabled()))
        gc.enable()
        # Paused only while no other thread runs (the test runner may have
        # left some behind).
        during = threading.active_count() != 1
        for document in yaml.load_all("--- !probe\n--- !probe\n", Loader=L):
            seen.append(("between", gc.isenabled()))
        self.assertEqual(seen, [during, ("between", True), during, ("between", True)])
        for call in (lambda: yaml.load("[a, !!int x]"),
                     lambda: yaml.load("[a, b"),
                     lambda: yaml.safe_dump(object())):
            with self.assertRaises(yaml.YAMLError):
                call()
            self.assertTrue(gc.isenabled())

        def documents():
            yield [1]
            seen.append(("feeder", gc.isenabled()))
            yield [2]
        self.assertEqual(yaml.dump_all(documents()), "- 1\n---\n- 2\n")
        self.assertEqual(seen[-1], ("feeder", True))

    def test_file_streams_never_pause_the_collector(self):
        # A read or write may block; other threads must keep collecting.
        seen = []

        class Probe(io.StringIO):
            def read(self, size=-1):
                seen.append(("read", gc.isenabled()))
                return super().read(size)

            def write(self, text):
                seen.append(("write", gc.isenabled()))
                return super().write(text)

        gc.enable()
        self.assertEqual(yaml.load(Probe("[1, 2]")), [1, 2])
        self.assertEqual(list(yaml.load_all(Probe("a\n---\nb\n"))), ["a", "b"])
        self.assertEqual(yaml.compose(Probe("x")).value, "x")
        out = Probe()
        yaml.dump_all([[1], {"a": 2}], out)
        self.assertEqual(out.getvalue(), "- 1\n---\na: 2\n")
        self.assertTrue(seen)
        self.assertEqual({kind for kind, _ in seen}, {"read", "write"})
        self.assertTrue(all(enabled for _, enabled in seen), seen)

    def test_a_switch_made_by_another_thread_during_a_load_stays(self):
        # Another thread switches the collector off while this one loads:
        # the load must not switch it back on when it ends.
        class L(yaml.SafeLoader):
            pass
        for load in (lambda: yaml.load("[!probe x, [1]]", Loader=L),
                     lambda: list(yaml.load_all("!probe x\n--- [1]", Loader=L)),
                     lambda: yaml.load("!probe x", Loader=yaml.CSafeLoader)):
            with self.subTest(load=load):
                self.switched_during(load, L)
                self.assertFalse(gc.isenabled())

    def switched_during(self, load, loader_class):
        loading, switched = threading.Event(), threading.Event()

        def other():
            loading.wait(10)
            gc.disable()
            switched.set()

        def probe(loader, node):
            loading.set()
            switched.wait(10)
            return node.value
        for cls in (loader_class, yaml.CSafeLoader):
            keep_table(self, cls, "yaml_constructors")
            cls.add_constructor("!probe", probe)
        gc.enable()
        thread = threading.Thread(target=other)
        thread.start()
        try:
            load()
        finally:
            loading.set()
            thread.join()

    def test_collector_left_off_when_the_caller_had_it_off(self):
        gc.disable()
        self.assertEqual(yaml.load("[1]"), [1])
        self.assertEqual(list(yaml.compose_all("a\n---\nb\n"))[1].value, "b")
        self.assertEqual(yaml.dump([1]), "- 1\n")
        self.assertFalse(gc.isenabled())


if __name__ == "__main__":
    unittest.main()
