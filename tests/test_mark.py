"""Mark: construction, conversions, printed form, pickling, garbage collection."""

import copy
import gc
import pickle
import unittest
import warnings
import weakref

from tests.support.project import OwnPackageTest

import yaml._yaml as ext

Mark = ext.Mark
unpickle = getattr(ext, "__pyx_unpickle_Mark")
U64 = 2 ** 64


class IntLike:
    def __init__(self, result):
        self.result = result

    def __int__(self):
        return self.result


class IntSubclass(int):
    pass


class StrSubclass(str):
    pass


class MarkSubclass(Mark):
    pass


def fields(mark):
    return (mark.name, mark.index, mark.line, mark.column, mark.buffer, mark.pointer)


class ConstructionTest(OwnPackageTest):
    def test_defaults_after_new(self):
        self.assertEqual(fields(Mark.__new__(Mark)), (None, 0, 0, 0, None, None))
        self.assertEqual(fields(Mark.__new__(Mark, 1, 2, x=3)), (None, 0, 0, 0, None, None))

    def test_positional_and_keyword(self):
        buf, ptr = object(), object()
        mark = Mark("n", 1, 2, 3, buf, ptr)
        self.assertEqual(fields(mark), ("n", 1, 2, 3, buf, ptr))
        mark = Mark(pointer=ptr, buffer=buf, column=3, line=2, index=1, name=7)
        self.assertEqual(fields(mark), (7, 1, 2, 3, buf, ptr))

    def test_size_conversion(self):
        good = [
            (True, 1),
            (1.9, 1),
            (IntLike(5), 5),
            (U64 - 1, U64 - 1),
            (IntSubclass(4), 4),
        ]
        for value, expected in good:
            with self.subTest(value=value):
                self.assertEqual(Mark("n", value, 0, 0, None, None).index, expected)

        bad = [
            (-1, OverflowError, "can't convert negative value to size_t"),
            (-U64, OverflowError, "can't convert negative value to size_t"),
            (-1.5, OverflowError, "can't convert negative value to size_t"),
            ("1", TypeError, "an integer is required"),
            (None, TypeError, "an integer is required"),
            (IntLike("3"), TypeError, "__int__ returned non-int (type str)"),
        ]
        for value, exc, message in bad:
            for position in (1, 2, 3):
                with self.subTest(value=value, position=position):
                    args = ["n", 0, 0, 0, None, None]
                    args[position] = value
                    with self.assertRaises(exc) as cm:
                        Mark(*args)
                    self.assertEqual(str(cm.exception), message)
        with self.assertRaises(OverflowError):
            Mark("n", U64, 0, 0, None, None)

    def test_int_subclass_from_dunder_int_warns(self):
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            mark = Mark("n", IntLike(IntSubclass(7)), 0, 0, None, None)
        self.assertEqual(mark.index, 7)
        self.assertEqual([w.category for w in caught], [DeprecationWarning])
        self.assertEqual(str(caught[0].message),
                         "__int__ returned non-int (type IntSubclass).  The ability to return an "
                         "instance of a strict subclass of int is deprecated, and may be removed "
                         "in a future version of Python.")
        mark = Mark("kept", 1, 2, 3, None, None)
        with warnings.catch_warnings():
            warnings.simplefilter("error", DeprecationWarning)
            with self.assertRaises(DeprecationWarning):
                mark.__init__("new", 9, IntLike(IntSubclass(7)), 0, None, None)
        self.assertEqual(fields(mark), ("kept", 1, 2, 3, None, None))

    def test_failed_init_leaves_mark_unchanged(self):
        mark = Mark("kept", 1, 2, 3, "b", "p")
        with self.assertRaises(OverflowError):
            mark.__init__("new", 5, 6, -1, None, None)
        self.assertEqual(fields(mark), ("kept", 1, 2, 3, "b", "p"))

    def test_argument_errors(self):
        cases = [
            ((), {}, "__init__() takes exactly 6 positional arguments (0 given)"),
            (("n", 1, 2), {}, "__init__() takes exactly 6 positional arguments (3 given)"),
            (("n", 1), {"line": 2}, "__init__() takes exactly 6 positional arguments (3 given)"),
            ((), {"index": 1}, "__init__() takes exactly 6 positional arguments (0 given)"),
            (("n", 1, 2, 3, 4, 5, 6), {}, "__init__() takes exactly 6 positional arguments (7 given)"),
            (("n", 1, 2, 3, 4, 5), {"name": 1},
             "__init__() got multiple values for keyword argument 'name'"),
            (("n", 1, 2, 3, 4, 5), {"nmae": 1}, "__init__() got an unexpected keyword argument 'nmae'"),
            (("n", 1, 2, 3, 4), {"pointer": 5, "bogus": 1},
             "__init__() got an unexpected keyword argument 'bogus'"),
        ]
        for args, kwargs, message in cases:
            with self.subTest(args=args, kwargs=kwargs):
                with self.assertRaises(TypeError) as cm:
                    Mark(*args, **kwargs)
                self.assertEqual(str(cm.exception), message)

    def test_read_only_attributes(self):
        mark = Mark("n", 1, 2, 3, None, None)
        for attr in ("name", "index", "line", "column", "buffer", "pointer"):
            with self.subTest(attr=attr):
                with self.assertRaises(AttributeError):
                    setattr(mark, attr, 0)
                with self.assertRaises(AttributeError):
                    delattr(mark, attr)
        self.assertEqual(fields(mark), ("n", 1, 2, 3, None, None))

    def test_get_snippet(self):
        mark = Mark("n", 1, 2, 3, None, None)
        self.assertIsNone(mark.get_snippet())
        for args, kwargs, message in [
            ((1,), {}, "get_snippet() takes exactly 0 positional arguments (1 given)"),
            ((), {"indent": 4}, "get_snippet() got an unexpected keyword argument 'indent'"),
        ]:
            with self.subTest(message=message):
                with self.assertRaises(TypeError) as cm:
                    mark.get_snippet(*args, **kwargs)
                self.assertEqual(str(cm.exception), message)


class PrintedFormTest(OwnPackageTest):
    def test_printed_form(self):
        class Named:
            def __str__(self):
                return StrSubclass("sub")

        cases = [
            (("<file>", 0, 0, 0), '  in "<file>", line 1, column 1'),
            (("<file>", 9, 0, 4), '  in "<file>", line 1, column 5'),
            ((None, 0, 2, 3), '  in "None", line 3, column 4'),
            ((12, 0, U64 - 1, U64 - 1), '  in "12", line 0, column 0'),
            ((Named(), 0, 1, 1), '  in "sub", line 2, column 2'),
            (("é\n", 0, 0, 0), '  in "é\n", line 1, column 1'),
        ]
        for (name, index, line, column), expected in cases:
            with self.subTest(expected=expected):
                text = str(Mark(name, index, line, column, None, None))
                self.assertEqual(text, expected)
                self.assertIs(type(text), str)
        self.assertEqual(len(str(Mark("", 0, 0, 0, None, None))) - 2, 23)

    def test_name_str_failure_propagates(self):
        class Broken:
            def __str__(self):
                raise KeyError("boom")

        with self.assertRaises(KeyError):
            str(Mark(Broken(), 0, 0, 0, None, None))


class PickleTest(OwnPackageTest):
    def test_reduce_shapes(self):
        plain = Mark(None, 1, 2, 3, None, None)
        self.assertEqual(plain.__reduce__(), (unpickle, (Mark, 41581148, (None, 3, 1, 2, None, None))))
        named = Mark("n", 1, 2, 3, None, None)
        self.assertEqual(named.__reduce__(), (unpickle, (Mark, 41581148, None), (None, 3, 1, 2, "n", None)))
        for attr in ("buffer", "pointer"):
            with self.subTest(attr=attr):
                values = {"buffer": None, "pointer": None}
                values[attr] = "x"
                mark = Mark(None, 0, 0, 0, values["buffer"], values["pointer"])
                self.assertEqual(len(mark.__reduce__()), 3)

    def test_subclass_dict_travels_as_seventh_item(self):
        mark = MarkSubclass(None, 1, 2, 3, None, None)
        self.assertEqual(len(mark.__reduce__()), 2)  # empty __dict__ adds nothing
        mark.extra = [1, 2]
        reduced = mark.__reduce__()
        self.assertEqual(reduced[1], (MarkSubclass, 41581148, None))
        self.assertEqual(reduced[2], (None, 3, 1, 2, None, None, {"extra": [1, 2]}))

    def test_round_trips(self):
        sub = MarkSubclass("s", 4, 5, 6, b"buf", None)
        sub.note = "kept"
        marks = [Mark("<file>", 1, 2, 3, None, None), Mark(None, 0, 0, 0, None, None),
                 Mark("n", U64 - 1, 7, 8, (1, 2), "p"), sub]
        for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
            for mark in marks:
                with self.subTest(protocol=protocol, mark=str(mark)):
                    loaded = pickle.loads(pickle.dumps(mark, protocol))
                    self.assertIs(type(loaded), type(mark))
                    self.assertEqual(fields(loaded), fields(mark))
                    self.assertEqual(getattr(loaded, "__dict__", None), getattr(mark, "__dict__", None))
        self.assertEqual(fields(copy.deepcopy(sub)), fields(sub))
        self.assertEqual(copy.copy(sub).note, "kept")

    def test_reduce_needs_the_rebuild_function(self):
        saved = unpickle
        try:
            delattr(ext, "__pyx_unpickle_Mark")
            with self.assertRaises(NameError) as cm:
                Mark(None, 0, 0, 0, None, None).__reduce__()
            self.assertEqual(str(cm.exception), "name '__pyx_unpickle_Mark' is not defined")
        finally:
            # Put it back in its place in the namespace, before __test__.
            test = vars(ext).pop("__test__")
            setattr(ext, "__pyx_unpickle_Mark", saved)
            ext.__test__ = test

    def test_unpickle(self):
        for checksum in (0x27A7A5C, 0x3FA45B6, 0x5C0FD87, IntLike(0x3FA45B6)):
            with self.subTest(checksum=checksum):
                self.assertEqual(fields(unpickle(Mark, checksum, None)), (None, 0, 0, 0, None, None))
        mark = unpickle(__pyx_type=Mark, __pyx_checksum=41581148, __pyx_state=("b", 1, 2, 3, "n", "p"))
        self.assertEqual(fields(mark), ("n", 2, 3, 1, "b", "p"))

        class OwnNew(Mark):
            def __new__(cls, *args):
                raise AssertionError("a subclass __new__ must not be used")

        self.assertIs(type(unpickle(OwnNew, 41581148, None)), OwnNew)

    def test_unpickle_errors(self):
        expected_tail = " vs (0x27a7a5c, 0x5c0fd87, 0x3fa45b6) = (buffer, column, index, line, name, pointer))"
        for checksum, printed in ((1, "0x1"), (-1, "0xffffffff"), (0x1ABCDEF12, "0xabcdef12")):
            with self.subTest(checksum=checksum):
                with self.assertRaises(pickle.PickleError) as cm:
                    unpickle(Mark, checksum, None)
                self.assertEqual(str(cm.exception), "Incompatible checksums (" + printed + expected_tail)
        cases = [
            ((Mark, 41581148, [1]), TypeError,
             "Argument '__pyx_state' has incorrect type (expected tuple, got list)"),
            ((Mark, "x", None), TypeError, "an integer is required"),
            ((Mark, U64, None), OverflowError, None),
            ((Mark, 41581148), TypeError, "__pyx_unpickle_Mark() takes exactly 3 positional arguments (2 given)"),
            ((int, 41581148, None), TypeError, None),
        ]
        for args, exc, message in cases:
            with self.subTest(args=args):
                with self.assertRaises(exc) as cm:
                    unpickle(*args)
                if message:
                    self.assertEqual(str(cm.exception), message)

    def test_setstate(self):
        mark = Mark("n", 1, 2, 3, None, None)
        self.assertIsNone(mark.__setstate__(("b", 4, 5, 6, "m", "p")))
        self.assertEqual(fields(mark), ("m", 5, 6, 4, "b", "p"))
        mark.__setstate__(__pyx_state=("b", 4, 5, 6, "m", "p", {}, "ignored"))
        cases = [
            (None, TypeError, "cannot pass None into a C function argument that is declared 'not None'"),
            ([1], TypeError, "Expected tuple, got list"),
            (type("T", (tuple,), {})(), TypeError, "Expected tuple, got T"),
        ]
        for state, exc, message in cases:
            with self.subTest(state=state):
                with self.assertRaises(exc) as cm:
                    mark.__setstate__(state)
                self.assertEqual(str(cm.exception), message)

    def test_setstate_keeps_fields_written_before_a_failure(self):
        mark = Mark("n", 9, 9, 9, None, None)
        with self.assertRaises(IndexError):
            mark.__setstate__(("b", 1, 2, 3))
        self.assertEqual(fields(mark), ("n", 2, 3, 1, "b", None))

        mark = Mark("n", 9, 9, 9, None, None)
        with self.assertRaises(OverflowError):
            mark.__setstate__(("b", 1, -2, 3, "m", "p"))
        self.assertEqual(mark.buffer, "b")
        self.assertEqual((mark.column, mark.index), (1, 9))

        mark = Mark("n", 9, 9, 9, None, None)
        with self.assertRaises(AttributeError):
            mark.__setstate__(("b", 1, 2, 3, "m", "p", {"x": 1}))
        self.assertEqual(fields(mark), ("m", 2, 3, 1, "b", "p"))

    def test_setstate_updates_custom_dict(self):
        class Recorder(dict):
            calls = []

            def update(self, other):
                Recorder.calls.append(other)

        class WithCustomDict(Mark):
            pass

        mark = WithCustomDict("n", 0, 0, 0, None, None)
        mark.__dict__ = Recorder()
        mark.__setstate__(("b", 1, 2, 3, "m", "p", {"x": 1}))
        self.assertEqual(Recorder.calls, [{"x": 1}])


class GarbageCollectionTest(OwnPackageTest):
    def test_cycles_through_fields_are_collected(self):
        class Box:
            pass

        for slot in ("name", "buffer", "pointer"):
            with self.subTest(slot=slot):
                box = Box()
                args = {"name": None, "buffer": None, "pointer": None}
                args[slot] = box
                box.mark = Mark(args["name"], 0, 0, 0, args["buffer"], args["pointer"])
                ref = weakref.ref(box)
                del box, args
                gc.collect()
                self.assertIsNone(ref())

    def test_subclass_with_finalizer(self):
        finalized = []

        class Finalizing(Mark):
            def __del__(self):
                finalized.append(self.name)

        Finalizing("a", 0, 0, 0, None, None)
        gc.collect()
        self.assertEqual(finalized, ["a"])

    def test_abstract_subclass_is_refused(self):
        import abc

        class Abstract(Mark, metaclass=abc.ABCMeta):
            @abc.abstractmethod
            def f(self):
                pass

        with self.assertRaises(TypeError):
            Abstract("n", 0, 0, 0, None, None)


if __name__ == "__main__":
    unittest.main()
