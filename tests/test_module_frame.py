"""The extension module itself: creation, execution, namespace, version functions."""

import builtins
import ctypes
import importlib
import os
import subprocess
import sys
import textwrap
import unittest

from tests.support.hostnames import ALL_NAMES, HOST_NAMES
from tests.support import project
from tests.support.project import REPO_ROOT, assert_own_package
from tests.support.required import missing

import yaml
import yaml._yaml as ext

EXPECTED_NAMESPACE = (
    ["__builtins__", "Mark", "CParser", "CEmitter", "yaml", "get_version_string", "get_version"]
    + list(ALL_NAMES)
    + ["__pyx_unpickle_Mark", "__test__"]
)


def run_python(code, env_extra=None, args=()):
    """Runs `code` in a fresh interpreter of the same kind, with the same path."""
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join(p for p in sys.path if p)
    env.update(env_extra or {})
    # -P: the working folder must not shadow the package under test.
    return subprocess.run([sys.executable, "-P", *args, "-c", textwrap.dedent(code)], env=env,
                          capture_output=True, text=True, cwd=REPO_ROOT, timeout=120)


class ProvenanceTest(unittest.TestCase):
    def test_imports_this_projects_package(self):
        pkg, module = assert_own_package(self)
        self.assertIs(pkg._yaml, module)


class NamespaceTest(unittest.TestCase):
    def test_namespace_order(self):
        # In a fresh process: other tests rebind globals, which reorders them.
        result = run_python("import yaml._yaml as m; print(repr(list(vars(m))))")
        self.assertEqual(result.returncode, 0, result.stderr)
        keys = eval(result.stdout)
        start = keys.index("__builtins__")
        self.assertEqual(keys[start:], EXPECTED_NAMESPACE)
        self.assertEqual(len(EXPECTED_NAMESPACE), 51)
        self.assertNotIn("__all__", keys)

    def test_host_classes_are_copied(self):
        count = 0
        for submodule, class_names in HOST_NAMES:
            for name in class_names:
                with self.subTest(name=name):
                    self.assertIs(getattr(ext, name), getattr(getattr(yaml, submodule), name))
                    count += 1
        self.assertEqual(count, 42)

    def test_special_globals(self):
        self.assertIs(ext.__builtins__, builtins)
        self.assertIs(ext.yaml, yaml)
        self.assertEqual(ext.__test__, {})
        self.assertIs(type(ext.__test__), dict)
        self.assertEqual(ext.__name__, "yaml._yaml")
        self.assertIs(sys.modules["yaml._yaml"], ext)

    def test_types(self):
        for cls, name in ((ext.Mark, "Mark"), (ext.CParser, "CParser"), (ext.CEmitter, "CEmitter")):
            with self.subTest(type=name):
                self.assertEqual(cls.__module__, "yaml._yaml")
                self.assertEqual(cls.__name__, name)
                self.assertEqual(cls.__bases__, (object,))
                self.assertIsNone(cls.__doc__)
                with self.assertRaises(TypeError):
                    cls.x = 1
                with self.assertRaises(TypeError):
                    del cls.__reduce__
                sub = type("Sub" + name, (cls,), {})
                self.assertIsInstance(sub.__new__(sub), cls)

    def test_vtable_capsules(self):
        capsule_type = type(ext.CParser.__dict__["__pyx_vtable__"])
        self.assertEqual(capsule_type.__name__, "PyCapsule")
        self.assertIs(type(ext.CEmitter.__dict__["__pyx_vtable__"]), capsule_type)
        self.assertFalse(hasattr(ext.Mark, "__pyx_vtable__"))

    def test_methods(self):
        table = [
            (ext.Mark, ["get_snippet", "__reduce__", "__setstate__"]),
            (ext.CParser, ["dispose", "__reduce__", "__setstate__"]),
            (ext.CEmitter, ["dispose", "__reduce__", "__setstate__"]),
        ]
        for cls, methods in table:
            for name in methods:
                with self.subTest(method=cls.__name__ + "." + name):
                    method = cls.__dict__[name]
                    self.assertEqual(method.__qualname__, cls.__name__ + "." + name)
                    self.assertIsNone(method.__doc__)
        for func in (ext.get_version, ext.get_version_string, getattr(ext, "__pyx_unpickle_Mark")):
            with self.subTest(function=func.__name__):
                self.assertEqual(func.__qualname__, func.__name__)
                self.assertEqual(func.__module__, "yaml._yaml")
                self.assertIsNone(func.__doc__)

    def test_identity_semantics(self):
        for obj in (ext.Mark("n", 0, 0, 0, None, None), ext.CParser(""), ext.CEmitter(None)):
            with self.subTest(type=type(obj).__name__):
                self.assertEqual(repr(obj), object.__repr__(obj))
                self.assertEqual(hash(obj), object.__hash__(obj))
                self.assertEqual(obj, obj)
                self.assertNotEqual(obj, type(obj).__new__(type(obj)))


class VersionFunctionTest(unittest.TestCase):
    def test_versions_match_libyaml(self):
        # The copy the extension loaded: a repaired wheel carries its own.
        loaded = project.mapped_objects("libyaml")
        self.assertEqual(len(loaded), 1, loaded)
        libyaml = ctypes.CDLL(loaded[0])
        libyaml.yaml_get_version_string.restype = ctypes.c_char_p
        parts = [ctypes.c_int() for _ in range(3)]
        libyaml.yaml_get_version(*(ctypes.byref(p) for p in parts))
        version = ext.get_version()
        self.assertIs(type(version), tuple)
        self.assertEqual(version, tuple(p.value for p in parts))
        self.assertEqual(ext.get_version_string(), libyaml.yaml_get_version_string().decode())
        self.assertEqual(ext.get_version_string(), "%d.%d.%d" % version)

    def test_argument_errors(self):
        cases = [
            (ext.get_version, (1,), {}, "get_version() takes no arguments (1 given)"),
            (ext.get_version, (1, 2), {}, "get_version() takes no arguments (2 given)"),
            (ext.get_version_string, (), {"x": 1}, "get_version_string() takes no keyword arguments"),
            (ext.get_version, (1,), {"x": 1}, "get_version() takes no keyword arguments"),
        ]
        for func, args, kwargs, message in cases:
            with self.subTest(message=message):
                with self.assertRaises(TypeError) as cm:
                    func(*args, **kwargs)
                self.assertEqual(str(cm.exception), message)


class ArgumentBindingTest(unittest.TestCase):
    """The binder's messages, as every constructor and method reports them."""

    def test_messages(self):
        parser = ext.CParser("")
        emitter = ext.CEmitter(None)
        cases = [
            (ext.CParser, (), {}, "__init__() takes exactly 1 positional argument (0 given)"),
            (ext.CParser, ("a", "b"), {}, "__init__() takes exactly 1 positional argument (2 given)"),
            (ext.CParser, ("a",), {"stream": "b"},
             "__init__() got multiple values for keyword argument 'stream'"),
            (ext.CParser, ("a",), {"strem": "b"}, "__init__() got an unexpected keyword argument 'strem'"),
            (ext.CEmitter, (), {}, "__init__() takes at least 1 positional argument (0 given)"),
            (ext.CEmitter, (), {"indent": 2}, "__init__() takes at least 1 positional argument (0 given)"),
            (ext.CEmitter, tuple(range(12)), {}, "__init__() takes at most 11 positional arguments (12 given)"),
            (ext.CEmitter, (None, None), {"canonical": 1},
             "__init__() got multiple values for keyword argument 'canonical'"),
            (ext.CEmitter, (None,), {"indnet": 1}, "__init__() got an unexpected keyword argument 'indnet'"),
            (parser.dispose, (1,), {}, "dispose() takes exactly 0 positional arguments (1 given)"),
            (parser.dispose, (), {"x": 1}, "dispose() got an unexpected keyword argument 'x'"),
            (parser.__reduce__, (1, 2), {}, "__reduce__() takes exactly 0 positional arguments (2 given)"),
            (parser.__setstate__, (), {}, "__setstate__() takes exactly 1 positional argument (0 given)"),
            (emitter.__setstate__, (1, 2), {}, "__setstate__() takes exactly 1 positional argument (2 given)"),
            (emitter.__setstate__, (), {"state": 1}, "__setstate__() takes exactly 1 positional argument (0 given)"),
            (emitter.dispose, (), {"x": 1}, "dispose() got an unexpected keyword argument 'x'"),
        ]
        for func, args, kwargs, message in cases:
            with self.subTest(message=message, args=args, kwargs=kwargs):
                with self.assertRaises(TypeError) as cm:
                    func(*args, **kwargs)
                self.assertEqual(str(cm.exception), message)

    def test_pickling_is_refused(self):
        import pickle
        for obj, message in (
            (ext.CParser(""), "self.parsed_event cannot be converted to a Python object for pickling"),
            (ext.CEmitter(None), "Pickling of struct members such as self.emitter must be explicitly "
                                 "requested with @auto_pickle(True)"),
        ):
            for attempt in (lambda: pickle.dumps(obj), obj.__reduce__, lambda: obj.__setstate__(()),
                            lambda: obj.__setstate__(__pyx_state=None)):
                with self.subTest(type=type(obj).__name__):
                    with self.assertRaises(TypeError) as cm:
                        attempt()
                    self.assertEqual(str(cm.exception), message)
            self.assertIsNone(obj.dispose())


class ReimportTest(unittest.TestCase):
    def test_reimport_and_reload_give_the_same_module(self):
        ext.__test__["marker"] = 1
        try:
            del sys.modules["yaml._yaml"]
            again = importlib.import_module("yaml._yaml")
            self.assertIs(again, ext)
            self.assertIs(importlib.reload(ext), ext)
            self.assertEqual(ext.__test__, {"marker": 1})
            self.assertIs(sys.modules["yaml._yaml"], ext)
        finally:
            sys.modules["yaml._yaml"] = ext
            ext.__test__.clear()

    def test_rebound_global_survives_reimport(self):
        code = """
            import importlib, sys
            import yaml._yaml as m
            m.ScalarEvent = 'rebound'
            del sys.modules['yaml._yaml']
            again = importlib.import_module('yaml._yaml')
            print(again is m, again.ScalarEvent)
        """
        result = run_python(code)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.split(), ["True", "rebound"])


class FailureTest(unittest.TestCase):
    def test_missing_submodule_then_success(self):
        code = """
            import importlib, importlib.util, os, sys
            pkgdir = os.path.dirname(importlib.util.find_spec('yaml').origin)
            spec = importlib.util.spec_from_file_location(
                'yaml', os.path.join(pkgdir, '__init__.py'), submodule_search_locations=[pkgdir])
            pkg = importlib.util.module_from_spec(spec)
            sys.modules['yaml'] = pkg          # the package, without running __init__
            for sub in ('error', 'reader', 'scanner', 'parser', 'composer', 'constructor',
                        'emitter', 'serializer', 'representer', 'events', 'nodes'):
                importlib.import_module('yaml.' + sub)
            try:
                import yaml._yaml
            except AttributeError as e:
                print('failed:', e)
            print('registered:', 'yaml._yaml' in sys.modules)
            importlib.import_module('yaml.tokens')
            import yaml._yaml as m
            print('second:', m.ScalarToken is pkg.tokens.ScalarToken, m.__test__ == {},
                  list(vars(m))[-1])
        """
        result = run_python(code)
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.splitlines()
        self.assertEqual(lines[0], "failed: module 'yaml' has no attribute 'tokens'")
        self.assertEqual(lines[1], "registered: False")
        self.assertEqual(lines[2], "second: True True __test__")

    def test_second_module_object_cannot_execute(self):
        code = """
            import ctypes, importlib.util, sys
            import yaml.error, yaml.reader                 # the package, fully imported
            spec = importlib.util.find_spec('yaml._yaml')
            lib = ctypes.PyDLL(spec.origin)
            lib.PyInit__yaml.restype = ctypes.c_void_p
            api = ctypes.pythonapi
            api.PyModule_FromDefAndSpec2.restype = ctypes.py_object
            api.PyModule_FromDefAndSpec2.argtypes = [ctypes.py_object, ctypes.py_object, ctypes.c_int]
            api.PyModule_ExecDef.argtypes = [ctypes.py_object, ctypes.py_object]
            definition = ctypes.cast(lib.PyInit__yaml(), ctypes.py_object).value
            first = sys.modules['yaml._yaml']
            # Once a module is ready, creation hands out that same object.
            again = api.PyModule_FromDefAndSpec2(definition, spec, 1013)
            print('same:', again is first)
            other = type(first)('yaml._yaml')
            try:
                api.PyModule_ExecDef(other, definition)
            except RuntimeError as e:
                print('refused:', e)
            print('first intact:', sys.modules['yaml._yaml'] is first, 'Mark' not in vars(other))
        """
        result = run_python(code)
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.splitlines()
        self.assertEqual(lines[0], "same: True")
        self.assertEqual(lines[1], "refused: Module '_yaml' has already been imported. "
                                   "Re-initialisation is not supported.")
        self.assertEqual(lines[2], "first intact: True True")

    def test_second_interpreter_is_refused(self):
        try:
            import _testcapi
        except ImportError:
            self.skipTest("_testcapi is not available in this interpreter")
        if not hasattr(_testcapi, "run_in_subinterp"):
            self.skipTest("_testcapi.run_in_subinterp is not available")
        code = """
            import _testcapi, os, sys, tempfile
            import yaml._yaml
            out = tempfile.mktemp()
            _testcapi.run_in_subinterp('''
            import sys
            sys.path[:0] = %r
            try:
                import yaml._yaml
                result = 'imported'
            except ImportError as e:
                result = str(e)
            open(%r, 'w').write(result)
            ''' % (sys.path, out))
            print(open(out).read())
            os.unlink(out)
        """
        result = run_python(code)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.strip(),
                         "Interpreter change detected - this module can only be loaded into "
                         "one interpreter per process.")


class VersionWarningTest(unittest.TestCase):
    """A build targeting 3.99 warns on every other interpreter."""

    def vcheck_env(self):
        folder = os.environ.get("YAML_VCHECK_DIR")
        if not folder or not os.path.isdir(os.path.join(folder, "yaml")):
            missing(self, "the version-check build is not available (set YAML_VCHECK_DIR)")
        return {"PYTHONPATH": folder}

    def test_own_build_does_not_warn(self):
        result = run_python("import yaml._yaml", args=("-W", "error::RuntimeWarning"))
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_mismatch_warns_once(self):
        code = """
            import sys, warnings
            with warnings.catch_warnings(record=True) as caught:
                warnings.simplefilter('always')
                import yaml._yaml
            texts = [str(w.message) for w in caught if w.category is RuntimeWarning]
            print(repr(texts))
            print(yaml._yaml.__file__)
        """
        result = run_python(code, self.vcheck_env())
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.splitlines()
        expected = ("compile time Python version 3.99 of module 'yaml._yaml' does not match "
                    "runtime version %d.%d" % sys.version_info[:2])
        self.assertEqual(lines[0], repr([expected]))
        self.assertIn("vcheck", lines[1])

    def test_mismatch_as_error_fails_import(self):
        code = """
            try:
                import yaml._yaml
            except RuntimeWarning as e:
                print('refused:', e)
        """
        result = run_python(code, self.vcheck_env(), args=("-W", "error::RuntimeWarning"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(result.stdout.startswith("refused: compile time Python version 3.99"),
                        result.stdout)


if __name__ == "__main__":
    unittest.main()
