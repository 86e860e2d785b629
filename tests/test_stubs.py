"""The type stubs describe the extension that is actually built.

A stub that drifts from the module misleads every type checker silently, so
the stub file is read here and compared with the live module: the names it
exports, the host classes it says are re-exported, each type's methods and
properties, and the parameter names of everything that accepts keywords.
"""

import ast
import io
import os
import unittest

from tests.support.project import OwnPackageTest

# Runtime attributes that belong to the module or type machinery, not to the
# surface a program uses.
MODULE_INTERNALS = {"__builtins__", "__doc__", "__file__", "__loader__", "__name__",
                    "__package__", "__spec__", "__test__", "yaml"}
TYPE_INTERNALS = {"__new__", "__doc__", "__pyx_vtable__", "__module__", "__dict__",
                  "__weakref__"}


def _read_stub():
    import yaml._yaml
    path = os.path.join(os.path.dirname(os.path.realpath(yaml._yaml.__file__)), "_yaml.pyi")
    with open(path, encoding="utf-8") as f:
        return path, ast.parse(f.read(), path)


class StubFileTest(OwnPackageTest):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        import yaml._yaml
        cls.module = yaml._yaml
        cls.path, tree = _read_stub()
        cls.functions = {}
        cls.classes = {}
        cls.reexports = {}
        for stmt in tree.body:
            if isinstance(stmt, ast.FunctionDef):
                cls.functions[stmt.name] = stmt
            elif isinstance(stmt, ast.ClassDef):
                cls.classes[stmt.name] = stmt
            elif isinstance(stmt, ast.ImportFrom) and stmt.module.startswith("yaml."):
                for alias in stmt.names:
                    if alias.asname == alias.name:  # the stub idiom for a re-export
                        cls.reexports[alias.name] = stmt.module

    def public_stub_names(self):
        private = {name for name in self.classes if name.startswith("_")}
        return (set(self.functions) | set(self.classes) | set(self.reexports)) - private

    def test_typed_marker_ships_with_the_stub(self):
        self.assertTrue(os.path.isfile(os.path.join(os.path.dirname(self.path), "py.typed")))

    def test_stub_names_exactly_the_module_namespace(self):
        runtime = set(vars(self.module)) - MODULE_INTERNALS
        stub = self.public_stub_names()
        self.assertEqual(sorted(runtime - stub), [], "in the module, missing from the stub")
        self.assertEqual(sorted(stub - runtime), [], "in the stub, missing from the module")

    def test_reexported_host_classes_come_from_the_named_submodule(self):
        import importlib
        self.assertEqual(len(self.reexports), 42)
        for name, module_name in sorted(self.reexports.items()):
            with self.subTest(name=name):
                submodule = importlib.import_module(module_name)
                self.assertIs(getattr(self.module, name), getattr(submodule, name))

    def test_types_have_the_stubbed_methods_and_properties(self):
        for name in ("Mark", "CParser", "CEmitter"):
            with self.subTest(type=name):
                runtime = set(vars(getattr(self.module, name))) - TYPE_INTERNALS
                stub = {f.name for f in self.classes[name].body if isinstance(f, ast.FunctionDef)}
                self.assertEqual(runtime, stub)
                properties = {f.name for f in self.classes[name].body
                              if isinstance(f, ast.FunctionDef)
                              and any(isinstance(d, ast.Name) and d.id == "property"
                                      for d in f.decorator_list)}
                for prop in properties:
                    self.assertEqual(type(vars(getattr(self.module, name))[prop]).__name__,
                                     "getset_descriptor", prop)

    def stub_parameters(self, owner, function):
        scope = self.classes[owner].body if owner else list(self.functions.values())
        for stmt in scope:
            if isinstance(stmt, ast.FunctionDef) and stmt.name == function:
                names = [a.arg for a in stmt.args.args]
                return names[1:] if owner else names
        self.fail("%s.%s is not in the stub" % (owner, function))

    def test_keyword_parameters_bind_by_their_stubbed_names(self):
        # Each call passes every parameter by the name the stub gives it; a
        # name the binder does not know would raise TypeError.
        m = self.module
        from yaml.events import StreamStartEvent
        from yaml.nodes import ScalarNode
        values = {
            "name": "in", "index": 1, "line": 2, "column": 3, "buffer": None, "pointer": None,
            "stream": io.StringIO(), "canonical": None, "indent": 4, "width": 60,
            "allow_unicode": True, "line_break": "\n", "encoding": None,
            "explicit_start": None, "explicit_end": None, "version": None, "tags": None,
            "event_object": StreamStartEvent(), "__pyx_state": ("in", 0, 0, 0, None, None),
            "__pyx_type": m.Mark, "__pyx_checksum": 41581148,
        }
        from yaml.dumper import Dumper
        emitter = Dumper(io.StringIO())  # serialize needs the resolver methods
        emitter.open()
        cases = [
            (None, "__pyx_unpickle_Mark", getattr(m, "__pyx_unpickle_Mark")),
            ("Mark", "__init__", m.Mark),
            ("Mark", "__setstate__", m.Mark.__new__(m.Mark).__setstate__),
            ("CParser", "__init__", m.CParser),
            ("CEmitter", "__init__", m.CEmitter),
            ("CEmitter", "emit", m.CEmitter(io.StringIO()).emit),
            ("CEmitter", "serialize", emitter.serialize),
        ]
        values_for = dict(values, node=ScalarNode("tag:yaml.org,2002:str", "x"))
        for owner, function, call in cases:
            with self.subTest(function="%s.%s" % (owner, function)):
                params = self.stub_parameters(owner, function)
                call(**{p: values_for[p] for p in params})

    def test_parameterless_methods_are_stubbed_without_parameters(self):
        m = self.module
        for owner in ("Mark", "CParser", "CEmitter"):
            for stmt in self.classes[owner].body:
                if (not isinstance(stmt, ast.FunctionDef) or stmt.name.startswith("__")
                        or stmt.decorator_list):
                    continue
                params = self.stub_parameters(owner, stmt.name)
                if params or stmt.args.vararg:
                    continue
                with self.subTest(method="%s.%s" % (owner, stmt.name)):
                    obj = getattr(m, owner)
                    method = getattr(obj, stmt.name)
                    with self.assertRaisesRegex(TypeError, r"takes exactly 0 positional arguments"):
                        method(obj.__new__(obj), 1)


if __name__ == "__main__":
    unittest.main()
