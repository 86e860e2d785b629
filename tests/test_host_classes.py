"""Host classes of the yaml package: argument orders, reprs, error texts.

The extension builds these classes with positional arguments only, so a
swapped parameter silently puts a mark where a tag belongs; the tables below
pin every order. Without a built yaml._yaml the pure-Python submodules are
loaded under a stand-in package object, so yaml/__init__.py is not run, and
the tests that need the extension skip (fail under CI).
"""

import importlib
import importlib.abc
import importlib.machinery
import importlib.util
import io
import os
import sys
import types
import unittest

from tests.support.hostnames import HOST_NAMES
from tests.support.project import REPO_ROOT, inside_repo
from tests.support.required import missing

PKG_DIR = os.path.join(REPO_ROOT, "yaml")
SUBMODULES = ("error", "reader", "scanner", "parser", "composer",
              "constructor", "emitter", "serializer", "representer",
              "tokens", "events", "nodes", "resolver")


def _extension_built():
    # The package folder found on the path: a staged build keeps its own.
    found = importlib.util.find_spec("yaml")
    folder = os.path.dirname(found.origin) if found and found.origin else PKG_DIR
    return any(os.path.exists(os.path.join(folder, "_yaml" + suffix))
               for suffix in importlib.machinery.EXTENSION_SUFFIXES)


def _yaml_entries():
    return [k for k in sys.modules if k == "yaml" or k.startswith("yaml.")]


def _check_package_origin():
    # Refuse to import any package named yaml that is not this one.
    loaded = sys.modules.get("yaml")
    if loaded is not None:
        origin = getattr(loaded, "__file__", None) or ""
    else:
        found = importlib.util.find_spec("yaml")
        origin = (found.origin if found is not None else None) or ""
    if not origin or not inside_repo(origin):
        raise ImportError("package yaml resolves to %r, outside %s"
                          % (origin, REPO_ROOT))


def _load_host():
    """Return (package, {submodule name: module}, extension or None)."""
    _check_package_origin()
    if _extension_built():
        package = importlib.import_module("yaml")
        mods = {n: importlib.import_module("yaml." + n) for n in SUBMODULES}
        return package, mods, importlib.import_module("yaml._yaml")
    saved = {k: sys.modules.pop(k) for k in _yaml_entries()}
    stand_in = types.ModuleType("yaml")
    stand_in.__path__ = [PKG_DIR]
    stand_in.__file__ = os.path.join(PKG_DIR, "__init__.py")
    sys.modules["yaml"] = stand_in
    try:
        mods = {n: importlib.import_module("yaml." + n) for n in SUBMODULES}
    finally:
        for k in _yaml_entries():
            del sys.modules[k]
        sys.modules.update(saved)
    return stand_in, mods, None


PKG, MODS, EXT = _load_host()
error, reader, tokens, events, nodes, resolver = (
    MODS[n] for n in ("error", "reader", "tokens", "events", "nodes",
                      "resolver"))

STR_TAG = "tag:yaml.org,2002:str"
SEQ_TAG = "tag:yaml.org,2002:seq"
MAP_TAG = "tag:yaml.org,2002:map"


class FakeMark:
    """Enough of a position record for error texts."""

    def __init__(self, name, line, column, index=0):
        self.name, self.line, self.column, self.index = (
            name, line, column, index)

    def __str__(self):
        return '  in "%s", line %d, column %d' % (
            self.name, self.line + 1, self.column + 1)

    def __repr__(self):
        return "MARK"


class Sentinel:
    def __init__(self, label):
        self.label = label

    def __repr__(self):
        return "<%s>" % self.label


class Test00Origin(unittest.TestCase):
    """Runs first: everything else is meaningless against a foreign copy."""

    def test_1_package_and_submodules_come_from_this_repository(self):
        self.assertTrue(inside_repo(PKG.__file__), PKG.__file__)
        for name, mod in MODS.items():
            with self.subTest(module=name):
                self.assertTrue(inside_repo(mod.__file__), mod.__file__)
                self.assertEqual(
                    os.path.dirname(os.path.realpath(mod.__file__)),
                    os.path.dirname(os.path.realpath(PKG.__file__)))

    def test_2_extension_comes_from_this_repository(self):
        if EXT is None:
            missing(self, "yaml._yaml is not built")
        self.assertTrue(inside_repo(EXT.__file__), EXT.__file__)
        self.assertIs(PKG._yaml, EXT)


SIMPLE_TOKENS = ("DocumentStartToken", "DocumentEndToken", "StreamEndToken",
                 "BlockSequenceStartToken", "BlockMappingStartToken",
                 "BlockEndToken", "FlowSequenceStartToken",
                 "FlowMappingStartToken", "FlowSequenceEndToken",
                 "FlowMappingEndToken", "KeyToken", "ValueToken",
                 "BlockEntryToken", "FlowEntryToken")
MARKS = ("start_mark", "end_mark")
COLLECTION_START = ("anchor", "tag", "implicit") + MARKS + ("flow_style",)
COLLECTION_NODE = ("tag", "value") + MARKS + ("flow_style",)

# (module, class, direct base, parameters in call order, required count)
CONSTRUCTORS = (
    ("tokens", "Token", object, MARKS, 2),
    ("tokens", "DirectiveToken", "Token", ("name", "value") + MARKS, 4),
    *(("tokens", name, "Token", MARKS, 2) for name in SIMPLE_TOKENS),
    ("tokens", "StreamStartToken", "Token", MARKS + ("encoding",), 0),
    ("tokens", "AliasToken", "Token", ("value",) + MARKS, 3),
    ("tokens", "AnchorToken", "Token", ("value",) + MARKS, 3),
    ("tokens", "TagToken", "Token", ("value",) + MARKS, 3),
    ("tokens", "ScalarToken", "Token",
     ("value", "plain") + MARKS + ("style",), 4),
    ("events", "Event", object, MARKS, 0),
    ("events", "NodeEvent", "Event", ("anchor",) + MARKS, 1),
    ("events", "CollectionStartEvent", "NodeEvent", COLLECTION_START, 3),
    ("events", "CollectionEndEvent", "Event", MARKS, 0),
    ("events", "StreamStartEvent", "Event", MARKS + ("encoding",), 0),
    ("events", "StreamEndEvent", "Event", MARKS, 0),
    ("events", "DocumentStartEvent", "Event",
     MARKS + ("explicit", "version", "tags"), 0),
    ("events", "DocumentEndEvent", "Event", MARKS + ("explicit",), 0),
    ("events", "AliasEvent", "NodeEvent", ("anchor",) + MARKS, 1),
    ("events", "ScalarEvent", "NodeEvent",
     ("anchor", "tag", "implicit", "value") + MARKS + ("style",), 4),
    ("events", "SequenceStartEvent", "CollectionStartEvent",
     COLLECTION_START, 3),
    ("events", "SequenceEndEvent", "CollectionEndEvent", MARKS, 0),
    ("events", "MappingStartEvent", "CollectionStartEvent",
     COLLECTION_START, 3),
    ("events", "MappingEndEvent", "CollectionEndEvent", MARKS, 0),
    ("nodes", "Node", object, ("tag", "value") + MARKS, 4),
    ("nodes", "ScalarNode", "Node", ("tag", "value") + MARKS + ("style",), 2),
    ("nodes", "CollectionNode", "Node", COLLECTION_NODE, 2),
    ("nodes", "SequenceNode", "CollectionNode", COLLECTION_NODE, 2),
    ("nodes", "MappingNode", "CollectionNode", COLLECTION_NODE, 2),
)


class TestConstructors(unittest.TestCase):

    def test_table_covers_every_copied_token_event_and_node(self):
        covered = {(m, c) for m, c, *_ in CONSTRUCTORS}
        for module, names in HOST_NAMES[-3:]:
            for name in names:
                self.assertIn((module, name), covered)

    def test_positional_order_keywords_and_defaults(self):
        for module, name, base, params, required in CONSTRUCTORS:
            with self.subTest(cls=name):
                cls = getattr(MODS[module], name)
                if base is not object:
                    base = getattr(MODS[module], base)
                self.assertEqual(cls.__bases__, (base,))
                values = [Sentinel(p) for p in params]

                by_position = cls(*values)
                by_keyword = cls(**dict(zip(params, values)))
                for obj in (by_position, by_keyword):
                    for param, value in zip(params, values):
                        self.assertIs(getattr(obj, param), value, param)

                minimal = cls(*values[:required])
                for param in params[required:]:
                    self.assertIsNone(getattr(minimal, param), param)
                if required:
                    with self.assertRaises(TypeError):
                        cls(*values[:required - 1])
                with self.assertRaises(TypeError):
                    cls(*values, Sentinel("extra"))

    def test_ids(self):
        ids = {}
        for name in dict(HOST_NAMES)["tokens"]:
            token_id = getattr(tokens, name).id
            with self.subTest(cls=name):
                self.assertIsInstance(token_id, str)
                self.assertNotIn(token_id, ids, "shared with %s"
                                 % ids.get(token_id))
            ids[token_id] = name
        self.assertEqual(tokens.StreamStartToken.id, "<stream start>")
        self.assertEqual(tokens.ScalarToken.id, "<scalar>")
        for name, expected in (("ScalarNode", "scalar"),
                               ("SequenceNode", "sequence"),
                               ("MappingNode", "mapping")):
            with self.subTest(cls=name):
                self.assertEqual(getattr(nodes, name).id, expected)


class TestNodes(unittest.TestCase):

    def test_collection_keeps_the_list_it_was_given(self):
        for cls in (nodes.SequenceNode, nodes.MappingNode):
            with self.subTest(cls=cls.__name__):
                value = []
                start = FakeMark("<n>", 0, 0)
                node = cls(SEQ_TAG, value, start, None, False)
                self.assertIs(node.value, value)
                self.assertIs(node.start_mark, start)
                self.assertIsNone(node.end_mark)

    def test_identity_equality_and_hashing(self):
        # A graph keys dicts by node while it is built and changed (anchors,
        # emitted nodes); a node's key must survive changes to the node, and
        # nodes that look alike are still different keys.
        cases = (
            (lambda: nodes.ScalarNode(STR_TAG, "a"), "changed"),
            (lambda: nodes.SequenceNode(SEQ_TAG, []), "list"),
            (lambda: nodes.MappingNode(MAP_TAG, []), "pairs"),
        )
        for make, change in cases:
            a, b = make(), make()
            with self.subTest(cls=type(a).__name__):
                self.assertNotEqual(a, b)
                table = {a: "a", b: "b"}
                self.assertEqual(len(table), 2)
                before = hash(a)
                if change == "list":
                    a.value.append(b)
                elif change == "pairs":
                    a.value.append((b, b))
                else:
                    a.value = change
                a.tag = "!changed"
                self.assertEqual(hash(a), before, "mutation changed the hash")
                self.assertIn(a, table, "mutation lost the key")
                self.assertEqual((table[a], table[b]), ("a", "b"))
                self.assertNotIn(make(), table)


class TestRepr(unittest.TestCase):

    def test_readable_without_marks(self):
        m = FakeMark("<r>", 0, 0)
        scalar = nodes.ScalarNode(STR_TAG, "a", m, m, "")
        cases = (
            (events.ScalarEvent(None, None, (True, False), "a", m, m),
             "ScalarEvent(anchor=None, tag=None, implicit=(True, False), "
             "value='a')"),
            (events.ScalarEvent("x", "!t", (False, False), "b", m, m, '"'),
             "ScalarEvent(anchor='x', tag='!t', implicit=(False, False), "
             "value='b', style='\"')"),
            (events.SequenceStartEvent("s", None, True, m, m, True),
             "SequenceStartEvent(anchor='s', tag=None, implicit=True, "
             "flow_style=True)"),
            (events.AliasEvent("s", m, m), "AliasEvent(anchor='s')"),
            (events.DocumentStartEvent(m, m, True, (1, 1), {"!": "!x"}),
             "DocumentStartEvent(explicit=True, version=(1, 1), "
             "tags={'!': '!x'})"),
            (events.StreamStartEvent(m, m, "utf-8"),
             "StreamStartEvent(encoding='utf-8')"),
            (events.MappingEndEvent(m, m), "MappingEndEvent()"),
            (tokens.ScalarToken("v", True, m, m, ""),
             "ScalarToken(value='v', plain=True, style='')"),
            (tokens.DirectiveToken("YAML", (1, 1), m, m),
             "DirectiveToken(name='YAML', value=(1, 1))"),
            (tokens.TagToken((None, "x"), m, m),
             "TagToken(value=(None, 'x'))"),
            (tokens.KeyToken(m, m), "KeyToken()"),
            (scalar,
             "ScalarNode(tag='tag:yaml.org,2002:str', value='a', style='')"),
            (nodes.SequenceNode(SEQ_TAG, [scalar, scalar], m, m, False),
             "SequenceNode(tag='tag:yaml.org,2002:seq', value=<2 items>, "
             "flow_style=False)"),
            (nodes.MappingNode(MAP_TAG, [(scalar, scalar)], m, m),
             "MappingNode(tag='tag:yaml.org,2002:map', value=<1 item>)"),
        )
        for obj, expected in cases:
            with self.subTest(cls=type(obj).__name__):
                self.assertEqual(repr(obj), expected)

    def test_self_containing_collections(self):
        seq = nodes.SequenceNode(SEQ_TAG, [])
        seq.value.append(seq)
        mapping = nodes.MappingNode(MAP_TAG, [])
        mapping.value.append((mapping, seq))
        seq.value.append(mapping)
        for node, expected in (
                (seq, "SequenceNode(tag='tag:yaml.org,2002:seq', "
                      "value=<2 items>)"),
                (mapping, "MappingNode(tag='tag:yaml.org,2002:map', "
                          "value=<1 item>)")):
            with self.subTest(cls=type(node).__name__):
                self.assertEqual(repr(node), expected)
                self.assertEqual(str(node), expected)


MARKED_ERRORS = ("scanner.ScannerError", "parser.ParserError",
                 "composer.ComposerError", "constructor.ConstructorError")
PLAIN_ERRORS = ("emitter.EmitterError", "serializer.SerializerError",
                "representer.RepresenterError")


def _cls(dotted):
    module, name = dotted.split(".")
    return getattr(MODS[module], name)


class TestErrors(unittest.TestCase):

    def test_hierarchy(self):
        self.assertTrue(issubclass(error.YAMLError, Exception))
        self.assertEqual(error.MarkedYAMLError.__bases__, (error.YAMLError,))
        self.assertEqual(reader.ReaderError.__bases__, (error.YAMLError,))
        for dotted in MARKED_ERRORS:
            with self.subTest(cls=dotted):
                self.assertEqual(_cls(dotted).__bases__,
                                 (error.MarkedYAMLError,))
        for dotted in PLAIN_ERRORS:
            with self.subTest(cls=dotted):
                self.assertEqual(_cls(dotted).__bases__, (error.YAMLError,))
                self.assertEqual(str(_cls(dotted)("serializer is closed")),
                                 "serializer is closed")

    def test_marked_error_argument_order(self):
        # The extension passes (context, context_mark, problem, problem_mark).
        args = [Sentinel(n) for n in ("context", "context_mark", "problem",
                                      "problem_mark")]
        for dotted in ("error.MarkedYAMLError",) + MARKED_ERRORS:
            with self.subTest(cls=dotted):
                err = _cls(dotted)(*args)
                self.assertEqual(
                    [err.context, err.context_mark, err.problem,
                     err.problem_mark], args)
                self.assertIsNone(err.note)
                with self.assertRaises(error.YAMLError) as caught:
                    raise err
                self.assertIs(caught.exception, err)

    def test_marked_error_text(self):
        a = FakeMark("<s>", 0, 0)
        b = FakeMark("<s>", 2, 4, index=20)
        b_again = FakeMark("<s>", 2, 4, index=99)
        b_other_input = FakeMark("<t>", 2, 4)
        ma, mb = str(a), str(b)
        cases = (
            ("all parts", ("while parsing", a, "did not find", b, "see docs"),
             "\n".join(["while parsing", ma, "did not find", mb, "see docs"])),
            ("same place hides context mark",
             ("first occurrence", b_again, "second occurrence", b),
             "\n".join(["first occurrence", "second occurrence", mb])),
            ("other input shows both marks",
             ("context", b_other_input, "problem", b),
             "\n".join(["context", str(b_other_input), "problem", mb])),
            ("context mark without problem mark",
             ("context", a, "problem", None),
             "\n".join(["context", ma, "problem"])),
            ("problem only", (None, None, "found undefined alias", b),
             "\n".join(["found undefined alias", mb])),
            ("nothing", (), ""),
        )
        for label, args, expected in cases:
            with self.subTest(case=label):
                self.assertEqual(str(error.MarkedYAMLError(*args)), expected)

    def test_reader_error(self):
        cases = (
            (("<byte string>", 3, 0xFF, "?", "invalid leading UTF-8 octet"),
             'unacceptable byte #xff: invalid leading UTF-8 octet\n'
             '  in "<byte string>", position 3'),
            (("<file>", 7, 0x2028, "?", "control characters are not allowed"),
             'unacceptable character #x2028: control characters are not '
             'allowed\n  in "<file>", position 7'),
            (("<byte string>", 0, -1, "?", "incomplete UTF-8 octet sequence"),
             'incomplete UTF-8 octet sequence\n'
             '  in "<byte string>", position 0'),
        )
        for args, expected in cases:
            with self.subTest(value=args[2]):
                err = reader.ReaderError(*args)
                self.assertEqual((err.name, err.position, err.character,
                                  err.encoding, err.reason), args)
                self.assertEqual(str(err), expected)


class TestResolver(unittest.TestCase):

    def test_default_tags_by_kind(self):
        r = resolver.BaseResolver()
        for kind, value, implicit, tag in (
                (nodes.ScalarNode, "1", (True, False), STR_TAG),
                (nodes.ScalarNode, "", (False, True), STR_TAG),
                (nodes.SequenceNode, None, True, SEQ_TAG),
                (nodes.MappingNode, [], False, MAP_TAG)):
            with self.subTest(kind=kind.__name__, value=value):
                self.assertEqual(r.resolve(kind, value, implicit), tag)

    def test_kind_is_compared_by_identity(self):
        class OwnScalar(nodes.ScalarNode):
            pass
        for kind in (OwnScalar, nodes.Node, nodes.CollectionNode):
            with self.subTest(kind=kind.__name__):
                for cls in (resolver.BaseResolver, resolver.Resolver):
                    with self.assertRaises(TypeError):
                        cls().resolve(kind, "a", (True, False))

    def test_descend_and_ascend_accept_composer_calls(self):
        r = resolver.BaseResolver()
        seq = nodes.SequenceNode(SEQ_TAG, [])
        key = nodes.ScalarNode(STR_TAG, "k")
        for parent, index in ((None, None), (seq, 0), (seq, None), (seq, key)):
            self.assertIsNone(r.descend_resolver(parent, index))
            self.assertIsNone(r.ascend_resolver())


class _FakeExtension(importlib.abc.MetaPathFinder, importlib.abc.Loader):
    """Stands in for yaml._yaml and copies host names as the real one does."""

    def find_spec(self, fullname, path=None, target=None):
        if fullname == "yaml._yaml":
            return importlib.util.spec_from_loader(fullname, self)
        return None

    def create_module(self, module_def):
        return None

    def exec_module(self, module):
        package = sys.modules["yaml"]
        module.copied = {}
        for sub, names in HOST_NAMES:
            for name in names:
                module.copied[name] = getattr(getattr(package, sub), name)

        def method(self, *args):
            return None

        class CParser:
            def __init__(self, *args, **kwargs):
                self.init_call = (args, kwargs)

        for name in ("get_token", "peek_token", "check_token", "get_event",
                     "peek_event", "check_event", "check_node", "get_node",
                     "get_single_node"):
            setattr(CParser, name, method)

        class CEmitter(CParser):
            pass

        module.Mark = FakeMark
        module.CParser, module.CEmitter = CParser, CEmitter
        module.get_version = lambda: (0, 2, 5)
        module.get_version_string = lambda: "0.2.5"


class TestPackageInit(unittest.TestCase):
    """Runs yaml/__init__.py against a stand-in extension, then restores."""

    def setUp(self):
        saved = {k: sys.modules.pop(k) for k in _yaml_entries()}
        finder = _FakeExtension()
        sys.meta_path.insert(0, finder)

        def restore():
            sys.meta_path.remove(finder)
            for k in _yaml_entries():
                del sys.modules[k]
            sys.modules.update(saved)
        self.addCleanup(restore)

        found = importlib.util.spec_from_file_location(
            "yaml", os.path.join(PKG_DIR, "__init__.py"),
            submodule_search_locations=[PKG_DIR])
        self.pkg = importlib.util.module_from_spec(found)
        sys.modules["yaml"] = self.pkg
        found.loader.exec_module(self.pkg)
        self.ext = sys.modules["yaml._yaml"]

    def test_host_names_visible_when_extension_initialises(self):
        self.assertEqual(len(self.ext.copied), 42)
        for sub, names in HOST_NAMES:
            for name in names:
                with self.subTest(name=name):
                    self.assertIs(self.ext.copied[name],
                                  getattr(getattr(self.pkg, sub), name))

    def test_exports(self):
        self.assertEqual(self.pkg.__version__, "0.1.0")
        for name in ("CParser", "CEmitter", "get_version", "get_version_string"):
            with self.subTest(name=name):
                self.assertIs(getattr(self.pkg, name), getattr(self.ext, name))
        # The package's own Mark, with snippets; the native one stays native.
        self.assertIs(self.pkg.Mark, self.pkg.error.Mark)
        self.assertIsNot(self.pkg.Mark, self.ext.Mark)
        for name in SUBMODULES + ("loader", "dumper", "cyaml"):
            with self.subTest(name=name):
                self.assertIs(getattr(self.pkg, name),
                              sys.modules["yaml." + name])
        self.assertIs(self.pkg.Loader, self.pkg.loader.Loader)
        self.assertIs(self.pkg.Dumper, self.pkg.dumper.Dumper)
        self.assertIs(self.pkg.CSafeLoader, self.pkg.cyaml.CSafeLoader)

    def test_loaders_and_dumpers_are_composed_from_the_stage_classes(self):
        pkg, ext = self.pkg, self.ext
        stages = (pkg.reader.Reader, pkg.scanner.Scanner, pkg.parser.Parser,
                  pkg.composer.Composer)
        self.assertEqual(pkg.reader.Reader.__bases__, (ext.CParser,))
        self.assertEqual(pkg.emitter.Emitter.__bases__, (ext.CEmitter,))
        for loader, constructor, resolver in (
                ("BaseLoader", "BaseConstructor", "BaseResolver"),
                ("FullLoader", "FullConstructor", "Resolver"),
                ("SafeLoader", "SafeConstructor", "Resolver"),
                ("Loader", "UnsafeConstructor", "Resolver"),
                ("UnsafeLoader", "UnsafeConstructor", "Resolver")):
            with self.subTest(loader=loader):
                parts = (getattr(pkg.constructor, constructor),
                         getattr(pkg.resolver, resolver))
                self.assertEqual(getattr(pkg, loader).__bases__, stages + parts)
                self.assertEqual(getattr(pkg, "C" + loader).__bases__,
                                 (ext.CParser,) + parts)
        emit = (pkg.emitter.Emitter, pkg.serializer.Serializer)
        for dumper, representer, resolver in (
                ("BaseDumper", "BaseRepresenter", "BaseResolver"),
                ("SafeDumper", "SafeRepresenter", "Resolver"),
                ("Dumper", "Representer", "Resolver")):
            with self.subTest(dumper=dumper):
                parts = (getattr(pkg.representer, representer),
                         getattr(pkg.resolver, resolver))
                self.assertEqual(getattr(pkg, dumper).__bases__, emit + parts)
                self.assertEqual(getattr(pkg, "C" + dumper).__bases__,
                                 (ext.CEmitter,) + parts)

    def test_loader_and_dumper_forward_constructor_arguments(self):
        stream = io.StringIO()
        for cls in (self.pkg.Loader, self.pkg.CSafeLoader, self.pkg.BaseLoader):
            self.assertEqual(cls(stream).init_call, ((stream,), {}))
        options = ("canonical", "indent", "width", "allow_unicode",
                   "line_break", "encoding", "explicit_start", "explicit_end",
                   "version", "tags")
        values = [Sentinel(o) for o in options]
        for label, make in (
                ("positional", lambda cls: cls(stream, None, False, *values)),
                ("keyword", lambda cls: cls(stream, **dict(zip(options, values))))):
            for cls in (self.pkg.Dumper, self.pkg.SafeDumper, self.pkg.CDumper):
                with self.subTest(call=label, cls=cls.__name__):
                    args, kwargs = make(cls).init_call
                    given = dict(zip(("stream",) + options, args), **kwargs)
                    self.assertEqual(given, dict(zip(options, values), stream=stream))
        args, kwargs = self.pkg.Dumper(stream).init_call
        self.assertEqual(dict(zip(("stream",) + options, args), **kwargs),
                         dict(dict.fromkeys(options[:5]), stream=stream))


class TestWithExtension(unittest.TestCase):

    def setUp(self):
        if EXT is None:
            missing(self, "yaml._yaml is not built")

    def test_extension_uses_these_classes(self):
        for sub, names in HOST_NAMES:
            for name in names:
                with self.subTest(name=name):
                    self.assertIs(getattr(EXT, name),
                                  getattr(MODS[sub], name))
        for name in ("CParser", "CEmitter", "get_version",
                     "get_version_string"):
            with self.subTest(name=name):
                self.assertIs(getattr(PKG, name), getattr(EXT, name))

    def test_loader_composes_with_default_tags(self):
        root = PKG.CLoader("- a\n- {b: c}\n").get_single_node()
        self.assertIs(type(root), nodes.SequenceNode)
        self.assertEqual(root.tag, SEQ_TAG)
        first, second = root.value
        self.assertEqual((first.tag, first.value, first.style),
                         (STR_TAG, "a", ""))
        self.assertEqual(second.tag, MAP_TAG)
        ((key, value),) = second.value
        self.assertEqual((key.value, value.value), ("b", "c"))
        self.assertEqual(second.flow_style, True)
        self.assertIsInstance(root.end_mark, EXT.Mark)

    def test_syntax_and_reader_errors_print_marks(self):
        with self.assertRaises(error.MarkedYAMLError) as caught:
            PKG.Loader("[a").get_single_node()
        self.assertIn('  in "<unicode string>", line 1, column ',
                      str(caught.exception))
        with self.assertRaises(reader.ReaderError) as caught:
            PKG.Loader(b"a: \xff\n").get_single_node()
        err = caught.exception
        self.assertEqual((err.name, err.position, err.character),
                         ("<byte string>", 3, 0xFF))
        self.assertTrue(str(err).startswith("unacceptable byte #xff: "))

    def test_dumper_options_reach_the_emitter(self):
        for label, args, kwargs, explicit in (
                ("default", (), {}, False),
                ("keyword", (), {"explicit_start": True}, True),
                ("positional", (None, False) + (None,) * 6 + (True,), {}, True)):
            with self.subTest(call=label):
                out = io.StringIO()
                dumper = PKG.Dumper(out, *args, **kwargs)
                dumper.open()
                dumper.serialize(nodes.MappingNode(MAP_TAG, [(
                    nodes.ScalarNode(STR_TAG, "a"),
                    nodes.ScalarNode(STR_TAG, "b"))]))
                dumper.close()
                self.assertEqual(out.getvalue().startswith("---"), explicit,
                                 out.getvalue())
                self.assertIn("a: b", out.getvalue())


if __name__ == "__main__":
    unittest.main()
