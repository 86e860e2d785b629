"""yaml._speedups as a module: import, one module object and one interpreter
per process, its namespace, and the one Mark type it shares with yaml._yaml."""

import importlib
import sys
import unittest

from tests.support.project import OwnPackageTest, inside_repo
from tests.test_module_frame import run_python

import yaml
import yaml._speedups as speedups
import yaml._yaml as ext

PRIVATE_FUNCTIONS = ["_construct_scalar", "_mark", "_resolve_scalar"]


class ImportTest(OwnPackageTest):
    def test_is_ours_and_registered(self):
        self.assertTrue(inside_repo(speedups.__file__), speedups.__file__)
        self.assertEqual(speedups.__name__, "yaml._speedups")
        self.assertIs(sys.modules["yaml._speedups"], speedups)
        self.assertIs(yaml._speedups, speedups)

    def test_first_import_brings_yaml_and_its_module(self):
        result = run_python("""
            import sys
            import yaml._speedups
            print('yaml' in sys.modules, 'yaml._yaml' in sys.modules)
        """)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.split(), ["True", "True"])

    def test_namespace(self):
        public = sorted(name for name in vars(speedups) if not name.startswith("__"))
        self.assertEqual(public, PRIVATE_FUNCTIONS)
        for name in PRIVATE_FUNCTIONS:
            with self.subTest(function=name):
                func = getattr(speedups, name)
                self.assertEqual(func.__qualname__, name)
                self.assertEqual(func.__module__, "yaml._speedups")
                self.assertIsNone(func.__doc__)

    def test_reimport_and_reload_give_the_same_module(self):
        try:
            del sys.modules["yaml._speedups"]
            again = importlib.import_module("yaml._speedups")
            self.assertIs(again, speedups)
            self.assertIs(importlib.reload(speedups), speedups)
        finally:
            sys.modules["yaml._speedups"] = speedups

    def test_second_module_object_cannot_execute(self):
        result = run_python("""
            import ctypes, importlib.util, sys
            import yaml._speedups as first
            spec = importlib.util.find_spec('yaml._speedups')
            lib = ctypes.PyDLL(spec.origin)
            lib.PyInit__speedups.restype = ctypes.c_void_p
            api = ctypes.pythonapi
            api.PyModule_ExecDef.argtypes = [ctypes.py_object, ctypes.py_object]
            definition = ctypes.cast(lib.PyInit__speedups(), ctypes.py_object).value
            other = type(first)('yaml._speedups')
            try:
                api.PyModule_ExecDef(other, definition)
            except RuntimeError as e:
                print(e)
            print(sys.modules['yaml._speedups'] is first, first._resolve_scalar('1') is not None)
        """)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.splitlines(), [
            "Module '_speedups' has already been imported. Re-initialisation is not supported.",
            "True True"])


class MarkTypeTest(OwnPackageTest):
    def test_marks_are_yaml_yaml_marks(self):
        mark = speedups._mark("doc", 10, 2, 3)
        self.assertIs(type(mark), ext.Mark)
        self.assertEqual((mark.name, mark.index, mark.line, mark.column, mark.buffer, mark.pointer),
                         ("doc", 10, 2, 3, None, None))
        self.assertEqual(str(mark), '  in "doc", line 3, column 4')
        # The parser's marks are of the very same type.
        with self.assertRaises(yaml.parser.ParserError) as cm:
            ext.CParser("[a").raw_parse()
        self.assertIs(type(cm.exception.problem_mark), type(mark))

    def test_argument_errors(self):
        cases = [
            (("n", -1, 0, 0), {}, OverflowError, "can't convert negative value to size_t"),
            (("n", "1", 0, 0), {}, TypeError, "an integer is required"),
            (("n", 0, 0), {}, TypeError, "_mark() takes exactly 4 positional arguments (3 given)"),
            (("n", 0, 0, 0), {"line": 1}, TypeError, "_mark() got multiple values for keyword argument 'line'"),
        ]
        for args, kwargs, error, message in cases:
            with self.subTest(args=args, kwargs=kwargs):
                with self.assertRaises(error) as cm:
                    speedups._mark(*args, **kwargs)
                self.assertEqual(str(cm.exception), message)
        self.assertEqual(speedups._mark(name=None, index=1.9, line=True, column=0).index, 1)

    def test_type_is_kept_from_execution(self):
        original = ext.Mark
        try:
            ext.Mark = type("OtherMark", (original,), {})
            self.assertIs(type(speedups._mark("n", 0, 0, 0)), original)
        finally:
            ext.Mark = original

    def test_import_refuses_a_stand_in_mark(self):
        # A rebound yaml._yaml.Mark is refused, and a later import, after the
        # type is back, succeeds: a failed execution keeps nothing.
        result = run_python("""
            import yaml._yaml as ext
            original = ext.Mark
            for stand_in in (type('Sub', (original,), {}), 'Mark', None):
                ext.Mark = stand_in
                try:
                    import yaml._speedups
                except ImportError as e:
                    print('refused:', e)
            del ext.Mark
            try:
                import yaml._speedups
            except ImportError as e:
                print('refused:', e)
            ext.Mark = original
            import yaml._speedups as s
            print(type(s._mark('n', 0, 0, 0)) is original)
        """)
        self.assertEqual(result.returncode, 0, result.stderr)
        refused = "refused: yaml._yaml.Mark is not the module's own Mark type"
        self.assertEqual(result.stdout.splitlines(), [refused] * 4 + ["True"])


if __name__ == "__main__":
    unittest.main()
