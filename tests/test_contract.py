"""The public API section by section: modules and names, functions and
their defaults, loader and dumper classes, constructors, representers,
resolvers, errors and marks, tokens/events/nodes, YAMLObject, and the
deliberate differences."""

import collections
import datetime
import inspect
import io
import os
import subprocess
import sys
import textwrap
import unittest

from tests.support.project import OwnPackageTest, REPO_ROOT
from tests.support.tables import keep_table

import yaml
import yaml._yaml as ext
from yaml.constructor import ConstructorError
from yaml.nodes import MappingNode, ScalarNode, SequenceNode

T = "tag:yaml.org,2002:"
PLAIN_LOADERS = ("BaseLoader", "FullLoader", "SafeLoader", "Loader", "UnsafeLoader")
C_LOADERS = tuple("C" + name for name in PLAIN_LOADERS)
DUMPERS = ("BaseDumper", "SafeDumper", "Dumper", "CBaseDumper", "CSafeDumper", "CDumper")


class Modules(OwnPackageTest):

    NAMES = {
        "error": ["Mark", "YAMLError", "MarkedYAMLError"],
        "reader": ["Reader", "ReaderError"],
        "scanner": ["Scanner", "ScannerError"],
        "parser": ["Parser", "ParserError"],
        "composer": ["Composer", "ComposerError"],
        "constructor": ["BaseConstructor", "SafeConstructor", "FullConstructor",
                        "UnsafeConstructor", "Constructor", "ConstructorError"],
        "emitter": ["Emitter", "EmitterError"],
        "serializer": ["Serializer", "SerializerError"],
        "representer": ["BaseRepresenter", "SafeRepresenter", "Representer",
                        "RepresenterError"],
        "resolver": ["BaseResolver", "Resolver"],
        "loader": list(PLAIN_LOADERS),
        "dumper": ["BaseDumper", "SafeDumper", "Dumper"],
        "cyaml": ["CParser", "CEmitter"] + list(C_LOADERS) + ["CBaseDumper", "CSafeDumper",
                                                              "CDumper"],
    }

    def test_every_module_holds_its_names(self):
        for module, names in self.NAMES.items():
            for name in names:
                with self.subTest(module=module, name=name):
                    self.assertTrue(inspect.isclass(getattr(getattr(yaml, module), name)))

    def test_package_attributes(self):
        for module in ("error", "tokens", "events", "nodes", "loader", "dumper", "cyaml"):
            exported = getattr(getattr(yaml, module), "__all__", None) or [
                n for n in vars(getattr(yaml, module)) if inspect.isclass(
                    getattr(getattr(yaml, module), n)) and not n.startswith("_")]
            for name in exported:
                with self.subTest(module=module, name=name):
                    self.assertIs(getattr(yaml, name), getattr(getattr(yaml, module), name))
        for name in ("ScalarNode", "MappingNode", "ScalarToken", "ScalarEvent", "YAMLError",
                     "MarkedYAMLError", "Mark", "SafeLoader", "CSafeLoader", "YAMLObject",
                     "YAMLObjectMetaclass", "__version__"):
            with self.subTest(name=name):
                self.assertTrue(hasattr(yaml, name))
        self.assertIs(yaml.__with_libyaml__, True)
        self.assertIs(yaml.Constructor, yaml.UnsafeConstructor)
        self.assertIs(yaml.cyaml.CParser, ext.CParser)

    def test_plain_and_c_named_classes_are_distinct(self):
        for plain in PLAIN_LOADERS + ("BaseDumper", "SafeDumper", "Dumper"):
            with self.subTest(cls=plain):
                self.assertIsNot(getattr(yaml, plain), getattr(yaml, "C" + plain))
        self.assertIsNot(yaml.Loader, yaml.UnsafeLoader)

    def test_stage_modules_import_in_any_order_in_a_fresh_interpreter(self):
        orders = (
            ["from yaml.reader import Reader", "from yaml.emitter import Emitter"],
            ["from yaml.emitter import Emitter", "from yaml.reader import Reader"],
            ["import yaml.serializer", "from yaml.scanner import Scanner",
             "from yaml.composer import Composer", "from yaml.parser import Parser",
             "from yaml.reader import Reader"],
            ["import yaml._yaml", "from yaml.cyaml import CSafeLoader",
             "from yaml.reader import Reader"],
            ["from yaml.constructor import SafeConstructor", "from yaml.loader import SafeLoader",
             "from yaml.dumper import SafeDumper", "from yaml.emitter import Emitter"],
        )
        for order in orders:
            with self.subTest(order=order):
                script = "\n".join(order + [
                    "import sys, yaml",
                    "from yaml.reader import Reader",
                    "from yaml.emitter import Emitter",
                    "assert yaml.__file__ == sys.argv[1], yaml.__file__",
                    "assert Reader.__bases__ == (yaml._yaml.CParser,)",
                    "assert Emitter.__bases__ == (yaml._yaml.CEmitter,)",
                    "print(yaml.safe_load('[1, a]'), yaml.safe_dump({'k': 1}), end='')",
                ])
                result = subprocess.run(
                    [sys.executable, "-P", "-W", "ignore", "-c", script, yaml.__file__],
                    capture_output=True, text=True, timeout=60, cwd=REPO_ROOT,
                    env=dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path)))
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(result.stdout, "[1, 'a'] k: 1\n")


class Functions(OwnPackageTest):

    SIGNATURES = {
        "scan": "(stream, Loader=Loader)",
        "parse": "(stream, Loader=Loader)",
        "compose": "(stream, Loader=Loader)",
        "compose_all": "(stream, Loader=Loader)",
        "load": "(stream, Loader=None)",
        "load_all": "(stream, Loader=None)",
        "safe_load": "(stream)", "safe_load_all": "(stream)",
        "full_load": "(stream)", "full_load_all": "(stream)",
        "unsafe_load": "(stream)", "unsafe_load_all": "(stream)",
        "emit": "(events, stream=None, Dumper=Dumper, canonical=None, indent=None, "
                "width=None, allow_unicode=None, line_break=None)",
        "serialize_all": "(nodes, stream=None, Dumper=Dumper, canonical=None, indent=None, "
                         "width=None, allow_unicode=None, line_break=None, encoding=None, "
                         "explicit_start=None, explicit_end=None, version=None, tags=None)",
        "serialize": "(node, stream=None, Dumper=Dumper, **kwds)",
        "dump_all": "(documents, stream=None, Dumper=Dumper, default_style=None, "
                    "default_flow_style=False, canonical=None, indent=None, width=None, "
                    "allow_unicode=None, line_break=None, encoding=None, explicit_start=None, "
                    "explicit_end=None, version=None, tags=None, sort_keys=True)",
        "dump": "(data, stream=None, Dumper=Dumper, **kwds)",
        "safe_dump_all": "(documents, stream=None, **kwds)",
        "safe_dump": "(data, stream=None, **kwds)",
        "add_implicit_resolver": "(tag, regexp, first=None, Loader=None, Dumper=Dumper)",
        "add_path_resolver": "(tag, path, kind=None, Loader=None, Dumper=Dumper)",
        "add_constructor": "(tag, constructor, Loader=None)",
        "add_multi_constructor": "(tag_prefix, multi_constructor, Loader=None)",
        "add_representer": "(data_type, representer, Dumper=Dumper)",
        "add_multi_representer": "(data_type, multi_representer, Dumper=Dumper)",
        "warnings": "(settings=None)",
    }

    def test_signatures_and_defaults(self):
        classes = {yaml.Loader: "Loader", yaml.Dumper: "Dumper"}
        for name, expected in self.SIGNATURES.items():
            with self.subTest(function=name):
                params = []
                for p in inspect.signature(getattr(yaml, name)).parameters.values():
                    text = ("**" if p.kind is p.VAR_KEYWORD else "") + p.name
                    if p.default is not p.empty:
                        text += "=" + classes.get(p.default, repr(p.default))
                    params.append(text)
                self.assertEqual("(%s)" % ", ".join(params), expected)

    def test_load_family_uses_its_loader(self):
        text = "!!python/tuple [1, !!python/complex 1+2j]"
        for function, expected in ((yaml.full_load, (1, 1 + 2j)),
                                   (yaml.unsafe_load, (1, 1 + 2j))):
            with self.subTest(function=function.__name__):
                self.assertEqual(function(text), expected)
        for function in (yaml.safe_load, yaml.load):
            with self.subTest(function=function.__name__):
                self.assertRaises(ConstructorError, function, text)
        for function in (yaml.safe_load_all, yaml.full_load_all, yaml.unsafe_load_all):
            with self.subTest(function=function.__name__):
                self.assertEqual(list(function("1\n--- 2\n")), [1, 2])
        self.assertEqual(yaml.warnings(), {})
        self.assertEqual(yaml.warnings({"YAMLLoadWarning": False}), {})

    def test_single_document_rules(self):
        self.assertIsNone(yaml.load(""))
        with self.assertRaises(yaml.composer.ComposerError) as caught:
            yaml.load("a\n--- b\n")
        self.assertEqual((caught.exception.context, caught.exception.problem),
                         ("expected a single document in the stream", "but found another document"))

    def test_every_loader_is_disposed_also_after_an_error(self):
        disposed = []

        class Counting(yaml.SafeLoader):
            def dispose(self):
                disposed.append(True)
                super().dispose()
        calls = (lambda: yaml.load("a", Counting), lambda: yaml.load("[a", Counting),
                 lambda: list(yaml.load_all("a\n---\n[", Counting)),
                 lambda: list(yaml.scan("a: [", Counting)),
                 lambda: list(yaml.parse("a", Counting)),
                 lambda: yaml.compose("a", Counting),
                 lambda: list(yaml.compose_all("a\n--- b", Counting)),
                 lambda: yaml.load("!!int x", Counting))
        for number, call in enumerate(calls, 1):
            try:
                call()
            except yaml.YAMLError:
                pass
            self.assertEqual(len(disposed), number)

    def test_registration_defaults(self):
        classes = (yaml.Loader, yaml.FullLoader, yaml.UnsafeLoader, yaml.SafeLoader,
                   yaml.Dumper, yaml.SafeDumper)
        saved = {cls: {name: dict(cls.__dict__[name]) for name in (
            "yaml_constructors", "yaml_multi_constructors", "yaml_implicit_resolvers",
            "yaml_path_resolvers", "yaml_representers", "yaml_multi_representers")
            if name in cls.__dict__} for cls in classes}

        def restore():
            for cls, tables in saved.items():
                for name in ("yaml_constructors", "yaml_multi_constructors",
                             "yaml_implicit_resolvers", "yaml_path_resolvers",
                             "yaml_representers", "yaml_multi_representers"):
                    if name in tables:
                        setattr(cls, name, tables[name])
                    elif name in cls.__dict__:
                        delattr(cls, name)
        self.addCleanup(restore)

        class Thing:
            pass
        yaml.add_constructor("!c", lambda loader, node: "c")
        yaml.add_multi_constructor("!m/", lambda loader, suffix, node: suffix)
        yaml.add_implicit_resolver("!r", r"^r+$", "r")
        yaml.add_path_resolver("!p", ["p"], str)
        yaml.add_constructor("!r", lambda loader, node: ("r", node.value))
        yaml.add_constructor("!p", lambda loader, node: ("p", node.value))
        yaml.add_representer(Thing, lambda dumper, data: dumper.represent_scalar("!t", "t"))
        for cls in (yaml.Loader, yaml.FullLoader, yaml.UnsafeLoader):
            with self.subTest(cls=cls.__name__):
                self.assertEqual(yaml.load("[!c x, !m/y z, rr, {p: q}]", Loader=cls),
                                 ["c", "y", ("r", "rr"), {"p": "q"}])
                self.assertEqual(yaml.load("{p: q}", Loader=cls), {"p": ("p", "q")})
                self.assertEqual(yaml.compose("[rr, {p: q}]", Loader=cls).value[0].tag, "!r")
                self.assertEqual(yaml.compose("{p: q}", Loader=cls).value[0][1].tag, "!p")
        self.assertEqual(yaml.compose("rr", Loader=yaml.SafeLoader).tag, T + "str")
        with self.assertRaises(ConstructorError):
            yaml.safe_load("!c x")
        self.assertEqual(yaml.dump([Thing(), "rr"]), "- !t t\n- 'rr'\n")
        self.assertRaises(yaml.representer.RepresenterError, yaml.safe_dump, Thing())
        self.assertEqual(yaml.safe_dump("rr"), "rr\n")

    def test_outputs(self):
        data = {"a": "é"}
        self.assertEqual(yaml.dump(data), 'a: "\\xE9"\n')
        self.assertEqual(yaml.dump(data, encoding="utf-8", allow_unicode=True), "a: é\n".encode())
        out = io.StringIO()
        self.assertIsNone(yaml.safe_dump(data, out, allow_unicode=True))
        self.assertEqual(out.getvalue(), "a: é\n")
        self.assertEqual(yaml.safe_dump_all([1, 2]), "1\n--- 2\n")
        self.assertEqual(yaml.serialize(yaml.compose("- a"), encoding="utf-16-le"),
                         "\ufeff- a\n".encode("utf-16-le"))
        self.assertEqual(yaml.emit(yaml.parse("{a: 1}"), indent=4), "{a: 1}\n")


class LoaderAndDumperClasses(OwnPackageTest):

    def test_a_dumper_with_its_own_parameter_order(self):
        # (A composed loader is one of the programs in test_programs.)
        from yaml.resolver import Resolver
        from yaml.emitter import Emitter
        from yaml.serializer import Serializer
        from yaml.representer import SafeRepresenter

        class D(Emitter, Serializer, SafeRepresenter, Resolver):
            def __init__(self, stream, explicit_start=None, sort_keys=True, **kwds):
                Emitter.__init__(self, stream, indent=kwds.get("indent"))
                Serializer.__init__(self, explicit_start=explicit_start)
                SafeRepresenter.__init__(self, sort_keys=sort_keys)
                Resolver.__init__(self)
        self.assertEqual(yaml.dump({"b": 1, "a": [2]}, Dumper=D, explicit_start=True,
                                   sort_keys=False, indent=4),
                         "---\nb: 1\na:\n- 2\n")

    def test_loader_attributes(self):
        folder = self.enterContext_tmp()
        path = os.path.join(folder, "in.yaml")
        with open(path, "w") as f:
            f.write("a: 1\n")
        for cls in PLAIN_LOADERS + C_LOADERS:
            for source, name, stream in (("a", "<unicode string>", False),
                                         (b"a", "<byte string>", False),
                                         (io.StringIO("a"), "<file>", True),
                                         ("file", path, True)):
                with self.subTest(cls=cls, name=name):
                    if source == "file":
                        source = open(path)
                        self.addCleanup(source.close)
                    loader = getattr(yaml, cls)(source)
                    self.assertEqual(loader.name, name)
                    self.assertIs(loader.stream, source if stream else None)
                    loader.dispose()

    def enterContext_tmp(self):
        import tempfile
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        return folder.name

    def test_dumper_signature_and_attributes(self):
        expected = ("(self, stream, default_style=None, default_flow_style=False, canonical=None,"
                    " indent=None, width=None, allow_unicode=None, line_break=None,"
                    " encoding=None, explicit_start=None, explicit_end=None, version=None,"
                    " tags=None, sort_keys=True)")
        for cls in DUMPERS:
            dumper_class = getattr(yaml, cls)
            with self.subTest(cls=cls):
                self.assertEqual(str(inspect.signature(dumper_class.__init__)), expected)
                for options, attributes in (
                        ({}, {"canonical": None, "best_indent": 2, "best_width": 80,
                              "allow_unicode": None, "best_line_break": "\n",
                              "use_encoding": None, "use_explicit_start": None,
                              "use_explicit_end": None, "use_version": None, "use_tags": None,
                              "default_style": None, "default_flow_style": False,
                              "sort_keys": True}),
                        ({"canonical": True, "indent": 4, "width": 40, "allow_unicode": True,
                          "line_break": "\r\n", "encoding": "utf-8", "explicit_start": True,
                          "explicit_end": True, "version": (1, 1), "tags": {"!e!": "x:"},
                          "default_style": "'", "default_flow_style": None, "sort_keys": False},
                         {"canonical": True, "best_indent": 4, "best_width": 40,
                          "allow_unicode": True, "best_line_break": "\r\n",
                          "use_encoding": "utf-8", "use_explicit_start": True,
                          "use_explicit_end": True, "use_version": (1, 1),
                          "use_tags": {"!e!": "x:"}, "default_style": "'",
                          "default_flow_style": None, "sort_keys": False}),
                        ({"indent": 1, "width": 3, "line_break": "x"},
                         {"best_indent": 2, "best_width": 80, "best_line_break": "\n"})):
                    dumper = dumper_class(io.BytesIO(), **options)
                    for name, value in attributes.items():
                        self.assertEqual(getattr(dumper, name), value, name)
                    dumper.dispose()

    def test_options_reach_the_text_through_every_dumper(self):
        for cls in ("SafeDumper", "Dumper", "CSafeDumper", "CDumper"):
            with self.subTest(cls=cls):
                text = yaml.dump({"b": [1], "a": {"c": 2}}, Dumper=getattr(yaml, cls),
                                 explicit_start=True, sort_keys=False, indent=4,
                                 default_flow_style=None)
                self.assertEqual(text, "---\nb: [1]\na: {c: 2}\n")
                self.assertEqual(yaml.dump({"k": {"j": 1}}, Dumper=getattr(yaml, cls),
                                           indent=4), "k:\n    j: 1\n")

    def test_registration_on_an_instance_changes_its_class(self):
        class L(yaml.SafeLoader):
            def __init__(self, stream):
                super().__init__(stream)
                self.add_constructor("!here", lambda loader, node: "here")
        self.assertEqual(yaml.load("!here x", Loader=L), "here")
        self.assertIn("!here", L.yaml_constructors)
        self.assertNotIn("!here", yaml.SafeLoader.yaml_constructors)

    def test_functions_pass_dumper_options_by_keyword(self):
        seen = {}

        class Reordered(yaml.SafeDumper):
            def __init__(self, stream, sort_keys=True, default_flow_style=False, **kwds):
                seen.update(kwds, sort_keys=sort_keys, default_flow_style=default_flow_style)
                super().__init__(stream, sort_keys=sort_keys,
                                 default_flow_style=default_flow_style, **kwds)
        self.assertEqual(yaml.dump({"b": 1, "a": 2}, Dumper=Reordered, sort_keys=False,
                                   width=50), "b: 1\na: 2\n")
        self.assertEqual((seen["sort_keys"], seen["width"], seen["default_flow_style"]),
                         (False, 50, False))


class Constructors(OwnPackageTest):

    def test_lookup_order(self):
        # (registrations, tag) -> which one builds the node
        def exact(loader, node):
            return "exact"

        def multi(name):
            return lambda loader, suffix, node: (name, suffix)
        for setup, tag, expected in (
                ({"exact": True, "multi": ["!a"]}, "!a", "exact"),
                ({"multi": ["!", "!a"]}, "!ab", ("!", "ab")),
                ({"multi": ["!a", "!"]}, "!ab", ("!a", "b")),
                ({"multi": [""]}, "!ab", ("", "!ab")),
                ({"multi": [None]}, "!ab", (None, "!ab")),
                ({"multi": [None], "fallback": True}, "!ab", (None, "!ab")),
                ({"fallback": True}, "!ab", "fallback")):
            with self.subTest(setup=setup, tag=tag):
                L = type("L", (yaml.BaseLoader,), {})
                if setup.get("exact"):
                    L.add_constructor(tag, exact)
                for prefix in setup.get("multi", ()):
                    L.add_multi_constructor(prefix, multi(prefix))
                if setup.get("fallback"):
                    L.add_constructor(None, lambda loader, node: "fallback")
                self.assertEqual(yaml.load("%s x" % tag, Loader=L), expected)
        # Nothing registered: by the node's kind.
        self.assertEqual(yaml.load("[!a x, !b [y], !c {z: 1}]", Loader=yaml.BaseLoader),
                         ["x", ["y"], {"z": "1"}])

    def test_messages(self):
        loader = yaml.SafeLoader("")
        self.addCleanup(loader.dispose)
        scalar, seq = ScalarNode(T + "str", "x"), SequenceNode(T + "seq", [])
        mapping = MappingNode(T + "map", [(SequenceNode(T + "seq", []), scalar)])
        for call, context, problem in (
                (lambda: loader.construct_scalar(seq), None,
                 "expected a scalar node, but found sequence"),
                (lambda: loader.construct_sequence(scalar), None,
                 "expected a sequence node, but found scalar"),
                (lambda: loader.construct_mapping(seq), None,
                 "expected a mapping node, but found sequence"),
                (lambda: loader.construct_pairs(scalar), None,
                 "expected a mapping node, but found scalar"),
                (lambda: loader.construct_mapping(mapping), "while constructing a mapping",
                 "found unhashable key"),
                (lambda: loader.construct_undefined(ScalarNode("!x", "")), None,
                 "could not determine a constructor for the tag '!x'")):
            with self.subTest(problem=problem):
                with self.assertRaises(ConstructorError) as caught:
                    call()
                self.assertEqual((caught.exception.context, caught.exception.problem),
                                 (context, problem))
        with self.assertRaises(ConstructorError) as caught:
            yaml.load("&a !!python/tuple [*a]", Loader=yaml.FullLoader)
        self.assertEqual(caught.exception.problem, "found unconstructable recursive node")

    def test_deep_and_two_step_construction(self):
        seen = []

        class L(yaml.SafeLoader):
            def construct_mapping(self, node, deep=False):
                mapping = super().construct_mapping(node, deep=deep)
                seen.append((deep, {k: list(v) if isinstance(v, list) else v
                                    for k, v in mapping.items()}))
                return mapping
        L.add_constructor("!deep", lambda loader, node: loader.construct_mapping(node, deep=True))
        L.add_constructor("!shallow", lambda loader, node: loader.construct_mapping(node))
        yaml.load("- !shallow {a: [1]}\n- !deep {a: [1]}\n", Loader=L)
        # Shallow: the list exists but is filled only later; deep: complete.
        self.assertEqual(seen, [(False, {"a": []}), (True, {"a": [1]})])
        self.assertEqual(yaml.load("!shallow {a: [1]}", Loader=L), {"a": [1]})

    def test_pairs_and_mapping_hooks(self):
        loader = yaml.SafeLoader("")
        self.addCleanup(loader.dispose)
        node = yaml.compose("{b: 1, a: 2, b: 3}")
        self.assertEqual(loader.construct_pairs(node), [("b", 1), ("a", 2), ("b", 3)])
        self.assertEqual(loader.construct_mapping(node), {"b": 3, "a": 2})
        self.assertEqual(yaml.SafeConstructor.bool_values["on"], True)
        self.assertTrue(yaml.SafeConstructor.timestamp_regexp.match("2001-12-14"))

    def test_timestamps(self):
        D, tz = datetime.datetime, datetime.timezone
        for text, expected in (
                ("2001-12-14", datetime.date(2001, 12, 14)),
                ("2001-1-2 3:04:05", D(2001, 1, 2, 3, 4, 5)),
                ("2001-12-14 21:59:43.1234567", D(2001, 12, 14, 21, 59, 43, 123456)),
                ("2001-12-14T21:59:43Z", D(2001, 12, 14, 21, 59, 43, tzinfo=tz.utc)),
                ("2001-12-14t21:59:43+5", D(2001, 12, 14, 21, 59, 43,
                                            tzinfo=tz(datetime.timedelta(hours=5)))),
                ("2001-12-14 21:59:43  -05:30", D(2001, 12, 14, 21, 59, 43, tzinfo=tz(
                    -datetime.timedelta(hours=5, minutes=30)))),
                ("2001-1-1", "2001-1-1")):
            with self.subTest(text=text):
                got = yaml.safe_load(text)
                self.assertEqual((type(got), got), (type(expected), expected))
                if isinstance(expected, D):
                    self.assertEqual(got.utcoffset(), expected.utcoffset())


class Representers(OwnPackageTest):

    def test_python_types(self):
        for data, text in (
                ((1, "a"), "!!python/tuple\n- 1\n- a\n"),
                (1 + 2j, "!!python/complex 1.0+2.0j\n"),
                (-1.5j, "!!python/complex -1.5j\n"),
                (len, "!!python/name:builtins.len\n"),
                (collections.OrderedDict, "!!python/name:collections.OrderedDict\n"),
                (os, "!!python/module:os\n"),
                (module_function, "!!python/name:%s.module_function\n" % __name__),
                (Point, "!!python/name:%s.Point\n" % __name__),
                (collections.OrderedDict([("b", 1), ("a", 2)]),
                 "!!python/object/apply:collections.OrderedDict\n"
                 "- - - b\n    - 1\n  - - a\n    - 2\n")):
            with self.subTest(data=data):
                self.assertEqual(yaml.dump(data), text)
                self.assertEqual(yaml.unsafe_load(text), data)
        self.assertEqual(yaml.unsafe_load("!!python/name:%s.Point.Inner ''" % __name__),
                         Point.Inner)

    def test_objects_round_trip_through_unsafe_load(self):
        for data in (Point(1, [2]), Slotted(3), Reduced(4), collections.Counter("aab"),
                     {"set": {1, 2}, "frozen": frozenset([3]), "bytes": b"\x00",
                      "range": range(2, 5), "date": datetime.date(2020, 1, 2)}):
            with self.subTest(data=type(data).__name__):
                text = yaml.dump(data)
                back = yaml.unsafe_load(text)
                self.assertIs(type(back), type(data))
                self.assertEqual(back, data, text)
                for loader in (yaml.SafeLoader, yaml.FullLoader):
                    if "python/object" in text:
                        self.assertRaises(ConstructorError, yaml.load, text, Loader=loader)
        self.assertIn("!!python/object:%s.Point" % __name__, yaml.dump(Point(1, 2)))

    def test_flow_style_rule(self):
        data = {"s": [1, "a"], "m": {"k": "v"}, "n": [[1]]}
        for options, text in (
                ({}, "m:\n  k: v\nn:\n- - 1\ns:\n- 1\n- a\n"),
                ({"default_flow_style": True}, "{m: {k: v}, n: [[1]], s: [1, a]}\n"),
                ({"default_flow_style": None}, "m: {k: v}\nn:\n- [1]\ns: [1, a]\n"),
                # Quoted scalars are no plain children: block style.
                ({"default_flow_style": None, "default_style": '"'},
                 '"m":\n  "k": "v"\n"n":\n- - ! "1"\n"s":\n- ! "1"\n- "a"\n')):
            with self.subTest(options=options):
                self.assertEqual(yaml.safe_dump(data, **options), text)
                self.assertEqual(yaml.safe_load(text), data)

    def test_represent_mapping_takes_items_or_pairs(self):
        class D(yaml.SafeDumper):
            pass
        D.add_representer(Pairs, lambda dumper, data: dumper.represent_mapping(
            "!pairs", data.value, flow_style=True))
        for value, text in (({"b": 1, "a": 2}, "!pairs {a: 2, b: 1}\n"),
                            ([("b", 1), ("a", 2)], "!pairs {b: 1, a: 2}\n"),
                            ({"b": 1, "a": 2}.items(), "!pairs {b: 1, a: 2}\n"),
                            ({1: "x", "a": "y"}, "!pairs {1: x, a: y}\n")):
            with self.subTest(value=value):
                self.assertEqual(yaml.dump(Pairs(value), Dumper=D), text)

    def test_ignore_aliases(self):
        representer = yaml.SafeRepresenter()
        for data, ignored in ((None, True), ((), True), ("s", True), (b"b", True),
                              (True, True), (1, True), (1.5, True), ((1,), False),
                              ([], False), ({}, False), (datetime.date(2001, 1, 1), False)):
            with self.subTest(data=data):
                self.assertIs(bool(representer.ignore_aliases(data)), ignored)
        shared = (1, 2)
        self.assertEqual(yaml.safe_dump([shared, shared]),
                         "- &id001\n  - 1\n  - 2\n- *id001\n")
        self.assertIs(yaml.BaseRepresenter().ignore_aliases("s"), False)

    def test_refusal(self):
        with self.assertRaises(yaml.representer.RepresenterError) as caught:
            yaml.safe_dump(object())
        self.assertEqual(caught.exception.args[0], "cannot represent an object")


def module_function():
    pass


class Point:
    class Inner:
        pass

    def __init__(self, x, y):
        self.x, self.y = x, y

    def __eq__(self, other):
        return type(other) is type(self) and vars(other) == vars(self)


class Slotted:
    __slots__ = ("v",)

    def __init__(self, v):
        self.v = v

    def __eq__(self, other):
        return type(other) is type(self) and other.v == self.v


class Reduced:
    def __init__(self, v):
        self.v = v

    def __reduce__(self):
        return (Reduced, (self.v,))

    def __eq__(self, other):
        return type(other) is type(self) and other.v == self.v


class Pairs:
    def __init__(self, value):
        self.value = value


class Resolvers(OwnPackageTest):

    def test_registration_order_and_first_characters(self):
        order = [tag[len(T):] for tag, _ in yaml.resolver.Resolver.yaml_implicit_resolvers["1"]]
        self.assertEqual(order, ["float", "int", "timestamp"])
        table = yaml.resolver.Resolver.yaml_implicit_resolvers
        for first, names in (("y", ["bool"]), ("n", ["bool", "null"]), ("", ["null"]),
                             (".", ["float"]), ("<", ["merge"]), ("=", ["value"]),
                             ("~", ["null"]), ("-", ["float", "int"])):
            with self.subTest(first=first):
                self.assertEqual([tag[len(T):] for tag, _ in table[first]], names)
        self.assertEqual(yaml.BaseResolver.DEFAULT_SCALAR_TAG, T + "str")
        self.assertEqual((yaml.BaseResolver.DEFAULT_SEQUENCE_TAG,
                          yaml.BaseResolver.DEFAULT_MAPPING_TAG), (T + "seq", T + "map"))

    def test_path_resolvers(self):
        class L(yaml.SafeLoader):
            pass
        L.add_path_resolver("!root", [], dict)
        L.add_path_resolver("!name", ["people", None, "name"], str)
        L.add_path_resolver("!item", [(list, "items"), (SequenceNode, True)])
        root = yaml.compose("people: {x: {name: a, age: 1}}\nitems: [b, [c]]\n", Loader=L)
        self.assertEqual(root.tag, "!root")
        people = dict((k.value, v) for k, v in root.value)["people"]
        person = people.value[0][1]
        self.assertEqual([(k.value, v.tag) for k, v in person.value],
                         [("name", "!name"), ("age", T + "int")])
        self.assertEqual(yaml.compose("{people: {x: {name: a}}}").tag, T + "map")
        with self.assertRaises(yaml.YAMLError):
            L.add_path_resolver("!bad", [object()])


class ErrorsAndMarks(OwnPackageTest):

    def test_snippet(self):
        line = "x" * 100
        for buffer, pointer, options, snippet in (
                ("a: [b\0", 3, {}, "    a: [b\n       ^"),
                ("one\ntwo\0", 5, {}, "    two\n     ^"),
                ("a\0", 1, {"indent": 0}, "a\n ^"),
                (line + "\0", 50, {}, "     ... " + "x" * 64 + " ... \n" + " " * 41 + "^"),
                (line + "\0", 50, {"max_length": 20, "indent": 2},
                 "   ... " + "x" * 10 + " ... \n" + " " * 12 + "^")):
            with self.subTest(buffer=buffer[:10], options=options):
                mark = yaml.Mark("<x>", pointer, 0, pointer, buffer, pointer)
                self.assertEqual(mark.get_snippet(**options), snippet)
        mark = yaml.Mark("f.yaml", 3, 2, 4, None, None)
        self.assertIsNone(mark.get_snippet())
        self.assertEqual(str(mark), '  in "f.yaml", line 3, column 5')
        mark = yaml.Mark("s", 3, 0, 3, "a: [b\0", 3)
        self.assertEqual(str(mark), '  in "s", line 1, column 4:\n    a: [b\n       ^')

    def test_marked_error_text(self):
        here, there = yaml.Mark("f", 0, 0, 0, None, None), yaml.Mark("f", 9, 1, 2, None, None)
        for args, text in (
                (("ctx", here, "prob", there, "note"),
                 'ctx\n  in "f", line 1, column 1\nprob\n  in "f", line 2, column 3\nnote'),
                (("ctx", here, "prob", here), 'ctx\nprob\n  in "f", line 1, column 1'),
                ((None, None, "prob", there), 'prob\n  in "f", line 2, column 3'),
                (("ctx", here), 'ctx\n  in "f", line 1, column 1')):
            with self.subTest(args=args):
                self.assertEqual(str(yaml.MarkedYAMLError(*args)), text)
        error = yaml.reader.ReaderError("f", 3, 0xFF, "utf-8", "invalid start byte")
        self.assertEqual((error.name, error.position, error.character, error.encoding,
                          error.reason), ("f", 3, 0xFF, "utf-8", "invalid start byte"))

    def test_errors_show_the_line_with_a_caret_through_every_loader(self):
        text = "k: 1\nb: [é, }\n"
        for label, source in (("str", text), ("utf-8", text.encode()),
                              ("utf-16", text.encode("utf-16")),
                              ("utf-16-be", ("\ufeff" + text).encode("utf-16-be")),
                              ("bom str", "\ufeff" + text)):
            for cls in PLAIN_LOADERS + C_LOADERS:
                with self.subTest(input=label, loader=cls):
                    with self.assertRaises(yaml.MarkedYAMLError) as caught:
                        yaml.load(source, Loader=getattr(yaml, cls))
                    self.assertTrue(str(caught.exception).endswith(
                        ", line 2, column 8:\n    b: [é, }\n           ^"),
                        str(caught.exception))
        for cls in ("SafeLoader", "CSafeLoader"):
            with self.subTest(loader=cls, kind="constructor"):
                with self.assertRaises(ConstructorError) as caught:
                    getattr(yaml, cls)("- ok\n- !!int ä\n").get_single_data()
                self.assertTrue(str(caught.exception).endswith(
                    '  in "<unicode string>", line 2, column 3:\n    - !!int ä\n      ^'),
                    str(caught.exception))
        with self.assertRaises(yaml.MarkedYAMLError) as caught:
            yaml.load(io.StringIO("a: [b"))
        # File input: positions only, its text is gone once read.
        self.assertEqual(str(caught.exception).splitlines()[1], '  in "<file>", line 1, column 4')
        self.assertNotIn("^", str(caught.exception))

    def test_token_and_event_marks_carry_the_text(self):
        text = "k: é€\nj: [x]"
        for source in (text, text.encode(), ("\ufeff" + text).encode("utf-16-be")):
            with self.subTest(source=source):
                tokens = list(yaml.scan(source))
                scalars = [t for t in tokens if isinstance(t, yaml.ScalarToken)]
                self.assertEqual([t.style for t in scalars], [None] * 4)
                mark = scalars[1].start_mark
                self.assertEqual(mark.buffer, text + "\0")
                self.assertEqual(mark.buffer[mark.pointer:mark.pointer + 2], "é€")
                self.assertEqual(mark.get_snippet(), "    k: é€\n       ^")
                events = [e for e in yaml.parse(source) if isinstance(e, yaml.ScalarEvent)]
                self.assertEqual(events[1].start_mark.pointer, mark.pointer)
                self.assertIsNone(events[1].style)
        raw = list(yaml.scan("k: v", Loader=yaml.CLoader))
        self.assertIs(type(raw[3].start_mark), ext.Mark)
        self.assertEqual(raw[3].style, "")


class TokensEventsNodes(OwnPackageTest):

    def test_defaults_and_attributes(self):
        m1, m2 = object(), object()
        for cls, args, attributes in (
                (yaml.ScalarNode, ("t", "v"), {"tag": "t", "value": "v", "start_mark": None,
                                               "end_mark": None, "style": None, "id": "scalar"}),
                (yaml.SequenceNode, ("t", []), {"flow_style": None, "id": "sequence"}),
                (yaml.MappingNode, ("t", [], m1, m2, True), {"start_mark": m1, "end_mark": m2,
                                                             "flow_style": True,
                                                             "id": "mapping"}),
                (yaml.StreamStartEvent, (), {"start_mark": None, "encoding": None}),
                (yaml.DocumentStartEvent, (), {"explicit": None, "version": None,
                                               "tags": None}),
                (yaml.DocumentEndEvent, (m1,), {"start_mark": m1, "explicit": None}),
                (yaml.AliasEvent, ("a",), {"anchor": "a", "end_mark": None}),
                (yaml.ScalarEvent, ("a", "t", (True, False), "v"),
                 {"implicit": (True, False), "value": "v", "style": None}),
                (yaml.SequenceStartEvent, ("a", "t", True), {"flow_style": None}),
                (yaml.MappingEndEvent, (), {"start_mark": None, "end_mark": None}),
                (yaml.StreamStartToken, (), {"encoding": None, "id": "<stream start>"}),
                (yaml.DirectiveToken, ("YAML", (1, 1), m1, m2),
                 {"name": "YAML", "value": (1, 1), "id": "<directive>"}),
                (yaml.TagToken, (("!", "x"), m1, m2), {"value": ("!", "x"), "id": "<tag>"}),
                (yaml.ScalarToken, ("v", True, m1, m2), {"plain": True, "style": None,
                                                         "id": "<scalar>"})):
            with self.subTest(cls=cls.__name__):
                obj = cls(*args)
                for name, value in attributes.items():
                    self.assertEqual(getattr(obj, name), value, name)
        keywords = yaml.ScalarEvent(anchor=None, tag=None, implicit=(True, True), value="v",
                                    start_mark=m1, end_mark=m2, style="'")
        self.assertEqual((keywords.style, keywords.start_mark), ("'", m1))
        for base in ("Event", "NodeEvent", "CollectionStartEvent", "CollectionEndEvent"):
            self.assertTrue(issubclass(getattr(yaml.events, base), yaml.events.Event))

    def test_token_ids(self):
        for cls, token_id in (
                ("DirectiveToken", "<directive>"), ("DocumentStartToken", "<document start>"),
                ("DocumentEndToken", "<document end>"), ("StreamStartToken", "<stream start>"),
                ("StreamEndToken", "<stream end>"),
                ("BlockSequenceStartToken", "<block sequence start>"),
                ("BlockMappingStartToken", "<block mapping start>"),
                ("BlockEndToken", "<block end>"),
                ("FlowSequenceStartToken", "<flow sequence start>"),
                ("FlowMappingStartToken", "<flow mapping start>"),
                ("FlowSequenceEndToken", "<flow sequence end>"),
                ("FlowMappingEndToken", "<flow mapping end>"), ("KeyToken", "?"),
                ("ValueToken", ":"), ("BlockEntryToken", "-"), ("FlowEntryToken", ","),
                ("AliasToken", "<alias>"), ("AnchorToken", "<anchor>"), ("TagToken", "<tag>"),
                ("ScalarToken", "<scalar>")):
            with self.subTest(cls=cls):
                self.assertEqual(getattr(yaml.tokens, cls).id, token_id)


class YAMLObjects(OwnPackageTest):

    def test_registration_and_round_trip(self):
        for cls in (yaml.Loader, yaml.FullLoader, yaml.UnsafeLoader):
            keep_table(self, cls, "yaml_constructors")
        keep_table(self, yaml.Dumper, "yaml_representers")
        class Monster(yaml.YAMLObject):
            yaml_tag = "!Monster"

            def __init__(self, name, hp):
                self.name, self.hp = name, hp
        for cls in (yaml.Loader, yaml.FullLoader, yaml.UnsafeLoader):
            with self.subTest(cls=cls.__name__):
                self.assertIs(cls.yaml_constructors["!Monster"].__func__,
                              Monster.from_yaml.__func__)
        self.assertNotIn("!Monster", yaml.SafeLoader.yaml_constructors)
        text = yaml.dump(Monster("imp", 3))
        self.assertEqual(text, "!Monster\nhp: 3\nname: imp\n")
        back = yaml.load(text, Loader=yaml.Loader)
        self.assertEqual((type(back), back.name, back.hp), (Monster, "imp", 3))
        self.assertEqual(yaml.YAMLObject.__slots__, ())
        self.assertIsNone(yaml.YAMLObject.yaml_flow_style)

    def test_single_loader_class_and_flow_style(self):
        class L(yaml.SafeLoader):
            pass

        class D(yaml.SafeDumper):
            pass

        class Spot(yaml.YAMLObject):
            yaml_tag = "!spot"
            yaml_loader = L
            yaml_dumper = D
            yaml_flow_style = True
        spot = Spot()
        spot.x = 1
        self.assertEqual(yaml.dump(spot, Dumper=D), "!spot {x: 1}\n")
        self.assertEqual(vars(yaml.load("!spot {x: 2}", Loader=L)), {"x": 2})
        self.assertNotIn("!spot", yaml.Loader.yaml_constructors)


class DeliberateDifferences(OwnPackageTest):

    def test_load_without_a_loader_is_safe(self):
        self.assertEqual(yaml.load("a: 1"), {"a": 1})
        with self.assertRaises(ConstructorError):
            yaml.load("!!python/object/apply:os.getcwd []")

    def test_emitter_formatting_hooks_change_nothing(self):
        calls = []

        class D(yaml.SafeDumper):
            def increase_indent(self, flow=False, indentless=False):
                calls.append("indent")

            def choose_scalar_style(self):
                calls.append("style")
                return "'"
        self.assertEqual(yaml.dump({"a": ["b"]}, Dumper=D), "a:\n- b\n")
        self.assertEqual(calls, [])
        for name in ("increase_indent", "choose_scalar_style", "write_indicator"):
            self.assertTrue(callable(getattr(yaml.emitter.Emitter, name)))


if __name__ == "__main__":
    unittest.main()
