"""The stubs of the package's Python modules say what the modules do.

stubtest (a ctest entry) compares names, signatures and defaults; what it
cannot see is checked here against the live package: every module that
`import yaml` loads has its stub beside it, the instance attributes a stub
declares are set by the class's __init__ (under the parameter's name where
they share it), and the output functions' overloads return what the call
returns (str, bytes, or None with the text written to the stream).
"""

import ast
import importlib
import io
import os
import subprocess
import sys
import unittest

from tests.support.project import OwnPackageTest

import yaml
from yaml._yaml import CEmitter, CParser


def package_folder():
    # Not resolved: a staged package folder links its files to the source tree.
    return os.path.dirname(os.path.abspath(yaml.__file__))


def stub_file(module_name):
    last = module_name.split(".")[-1]
    return os.path.join(package_folder(), ("__init__" if last == "yaml" else last) + ".pyi")


def read_stub(module_name):
    path = stub_file(module_name)
    with open(path, encoding="utf-8") as f:
        return ast.parse(f.read(), path)


def is_classvar(annotation):
    target = annotation.value if isinstance(annotation, ast.Subscript) else annotation
    return isinstance(target, ast.Name) and target.id == "ClassVar"


class StubClass:
    """One class of a stub: its declared instance attributes, its __init__
    parameters and its bases, looked up across the stubs."""

    def __init__(self, stubs, module_name, node, imports):
        self.stubs = stubs
        self.module_name = module_name
        self.name = node.name
        self.attributes = [stmt.target.id for stmt in node.body
                           if isinstance(stmt, ast.AnnAssign) and not is_classvar(stmt.annotation)]
        self.init = next((stmt for stmt in node.body
                          if isinstance(stmt, ast.FunctionDef) and stmt.name == "__init__"), None)
        self.bases = [imports.get(base.id, (module_name, base.id))
                      for base in node.bases if isinstance(base, ast.Name)]

    def base_classes(self):
        for module_name, name in self.bases:
            base = self.stubs.find(module_name, name)
            if base is not None:
                yield base

    def all_attributes(self):
        names = list(self.attributes)
        for base in self.base_classes():
            names += base.all_attributes()
        return names

    def init_parameters(self):
        """The parameter names of the first __init__ along the stub bases."""
        if self.init is not None:
            args = self.init.args
            return [a.arg for a in args.args[1:] + args.kwonlyargs]
        for base in self.base_classes():
            params = base.init_parameters()
            if params is not None:
                return params
        return None


class Stubs:
    def __init__(self, module_names):
        self.classes = {}
        for module_name in module_names:
            tree = read_stub(module_name)
            imports = {}
            for stmt in tree.body:
                if isinstance(stmt, ast.ImportFrom) and stmt.module and stmt.level == 0:
                    for alias in stmt.names:
                        imports[alias.asname or alias.name] = (stmt.module, alias.name)
            for stmt in tree.body:
                if isinstance(stmt, ast.ClassDef):
                    self.classes[module_name, stmt.name] = StubClass(self, module_name, stmt, imports)

    def find(self, module_name, name):
        return self.classes.get((module_name, name))


class Value:
    """A distinct value for one parameter, to see where __init__ keeps it."""

    def __init__(self, name):
        self.name = name

    def __repr__(self):
        return "<value for %s>" % self.name


# The Python modules whose stubs declare classes programs build or subclass.
STUB_MODULES = ["yaml.error", "yaml.tokens", "yaml.events", "yaml.nodes", "yaml.reader",
                "yaml.scanner", "yaml.parser", "yaml.composer", "yaml.constructor",
                "yaml.emitter", "yaml.serializer", "yaml.representer", "yaml.resolver",
                "yaml.loader", "yaml.dumper", "yaml.cyaml", "yaml"]


class PackageStubFiles(OwnPackageTest):

    def test_every_module_the_package_loads_has_its_stub(self):
        # A fresh interpreter, so that modules other tests imported (the
        # command-line tool's) do not count.
        code = ("import sys, yaml; print(yaml.__file__); "
                "print(' '.join(sorted(m for m in sys.modules if m == 'yaml' or m.startswith('yaml.'))))")
        env = dict(os.environ, PYTHONPATH=os.path.dirname(package_folder()))
        out = subprocess.run([sys.executable, "-P", "-c", code], env=env, check=True,
                             capture_output=True, text=True).stdout.split("\n")
        self.assertEqual(os.path.abspath(out[0]), os.path.abspath(yaml.__file__))
        loaded = out[1].split()
        self.assertIn("yaml.cyaml", loaded)
        self.assertIn("yaml._yaml", loaded)
        for name in loaded:
            with self.subTest(module=name):
                self.assertTrue(os.path.isfile(stub_file(name)), stub_file(name))
        stubs = sorted(f for f in os.listdir(package_folder()) if f.endswith(".pyi"))
        self.assertEqual(stubs, sorted(os.path.basename(stub_file(name)) for name in loaded))

    def test_stub_modules_export_what_the_modules_export(self):
        for module_name in STUB_MODULES:
            with self.subTest(module=module_name):
                module = importlib.import_module(module_name)
                tree = read_stub(module_name)
                stub_all = [ast.literal_eval(stmt.value) for stmt in tree.body
                            if isinstance(stmt, ast.Assign)
                            and [t.id for t in stmt.targets if isinstance(t, ast.Name)] == ["__all__"]]
                if hasattr(module, "__all__"):
                    self.assertEqual(stub_all, [module.__all__])
                else:
                    self.assertEqual(stub_all, [])


class DeclaredAttributes(OwnPackageTest):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.stubs = Stubs(STUB_MODULES)

    def build(self, runtime_class, params):
        """An instance, and the values given by parameter name."""
        if issubclass(runtime_class, CParser):
            obj = runtime_class("a: 1\n")
            self.addCleanup(obj.dispose)
            return obj, {}
        if issubclass(runtime_class, CEmitter):
            obj = runtime_class(io.StringIO())
            self.addCleanup(obj.dispose)
            return obj, {}
        values = {name: Value(name) for name in params or ()}
        return runtime_class(**values), values

    def test_instances_have_the_declared_attributes(self):
        checked = 0
        for (module_name, name), stub in sorted(self.stubs.classes.items()):
            if name.startswith("_"):
                continue
            runtime_class = getattr(importlib.import_module(module_name), name)
            if issubclass(runtime_class, type):
                continue  # the metaclass
            attributes = stub.all_attributes()
            if not attributes:
                continue
            with self.subTest(cls="%s.%s" % (module_name, name)):
                obj, values = self.build(runtime_class, stub.init_parameters())
                for attribute in attributes:
                    self.assertTrue(hasattr(obj, attribute), attribute)
                    if attribute in values:
                        self.assertIs(getattr(obj, attribute), values[attribute], attribute)
                checked += 1
        self.assertGreater(checked, 40)

    def test_dumper_settings_are_the_ones_given(self):
        # The settings a dumper shows are the emitter's reading of the options.
        options = dict(canonical=True, indent=4, width=float("inf"), allow_unicode=True,
                       line_break="\r\n", encoding="utf-8", explicit_start=True,
                       explicit_end=False, version=(1, 1), tags={"!e!": "tag:e.org,2000:"})
        shown = dict(canonical=True, best_indent=4, best_width=float("inf"), allow_unicode=True,
                     best_line_break="\r\n", use_encoding="utf-8", use_explicit_start=True,
                     use_explicit_end=False, use_version=(1, 1),
                     use_tags={"!e!": "tag:e.org,2000:"})
        for name in ("BaseDumper", "SafeDumper", "Dumper", "CBaseDumper", "CSafeDumper", "CDumper"):
            with self.subTest(dumper=name):
                stream = io.BytesIO()
                dumper = getattr(yaml, name)(stream, **options)
                self.addCleanup(dumper.dispose)
                self.assertIs(dumper.stream, stream)
                self.assertEqual({key: getattr(dumper, key) for key in shown}, shown)


def _events(binary):
    # emit has no encoding option: a binary stream needs events that open the
    # stream with one.
    from yaml.events import (DocumentEndEvent, DocumentStartEvent, ScalarEvent, StreamEndEvent,
                             StreamStartEvent)
    return [StreamStartEvent(encoding="utf-8" if binary else None), DocumentStartEvent(),
            ScalarEvent(None, None, (True, False), "x"), DocumentEndEvent(), StreamEndEvent()]


def _node(binary):
    return yaml.ScalarNode("tag:yaml.org,2002:str", "x")


# The first argument of each output function, for a binary stream or not.
OUTPUT_FUNCTIONS = {
    "emit": _events,
    "serialize": _node,
    "serialize_all": lambda binary: [_node(binary)],
    "dump": lambda binary: {"a": 1},
    "dump_all": lambda binary: [{"a": 1}],
    "safe_dump": lambda binary: {"a": 1},
    "safe_dump_all": lambda binary: [{"a": 1}],
}
# The streams that satisfy an overload's `stream` annotation.
STREAMS = {
    "SupportsWrite[str]": [io.StringIO],
    "_WriteStream": [io.StringIO, io.BytesIO],
}
RESULTS = {"str": str, "bytes": bytes}


class OutputOverloads(OwnPackageTest):

    def overloads(self):
        for stmt in read_stub("yaml").body:
            if (isinstance(stmt, ast.FunctionDef) and stmt.name in OUTPUT_FUNCTIONS
                    and any(isinstance(d, ast.Name) and d.id == "overload"
                            for d in stmt.decorator_list)):
                args = stmt.args
                annotations = {a.arg: ast.unparse(a.annotation)
                               for a in args.args + args.kwonlyargs}
                yield stmt.name, annotations, ast.unparse(stmt.returns)

    def test_each_overload_returns_what_the_call_returns(self):
        seen = set()
        for name, annotations, returns in self.overloads():
            seen.add(name)
            encoding = annotations.get("encoding", "None")
            self.assertIn(encoding, ("None", "str"), name)
            kwds = {"encoding": "utf-8"} if encoding == "str" else {}
            stream_type = annotations["stream"]
            if stream_type == "None":
                cases = [None]
            else:
                self.assertIn(stream_type, STREAMS, name)
                cases = STREAMS[stream_type]
            for make_stream in cases:
                label = "%s(stream: %s, encoding: %s) -> %s" % (
                    name, getattr(make_stream, "__name__", None), encoding, returns)
                with self.subTest(label):
                    stream = make_stream() if make_stream else None
                    first = OUTPUT_FUNCTIONS[name](isinstance(stream, io.BytesIO))
                    result = getattr(yaml, name)(first, stream=stream, **kwds)
                    if returns == "None":
                        self.assertIsNone(result)
                        text = stream.getvalue()
                    else:
                        self.assertIn(returns, RESULTS)
                        text = result
                        self.assertIs(type(result), RESULTS[returns])
                    # What was written, read back as the function wrote it.
                    if isinstance(text, bytes):
                        text = text.decode("utf-8")
                    self.assertIn("x" if name in ("emit", "serialize", "serialize_all") else "a: 1",
                                  text)
        self.assertEqual(seen, set(OUTPUT_FUNCTIONS))


if __name__ == "__main__":
    unittest.main()
