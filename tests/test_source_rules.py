"""House rules of the native sources, checked on the files themselves.

One place for interned names and shared constants, and each of them used;
no name built from a C string where an interned one belongs; one definition
for every helper across the module's files.
"""

import collections
import pathlib
import re
import unittest

from tests.support.project import REPO_ROOT, OwnPackageTest

FOLDERS = ("module", "frame", "parser", "emitter", "speedups")
NAMES_HEADER = pathlib.Path(REPO_ROOT, "module", "names.hpp")

# C-string twins of calls that take an interned name.
C_STRING_CALLS = ("PyObject_GetAttrString", "PyObject_SetAttrString", "PyObject_HasAttrString",
                  "PyDict_GetItemString", "PyDict_SetItemString", "PyDict_DelItemString",
                  "PyImport_ImportModule", "PyObject_CallMethod")

# A definition at file scope: return type, name, parameters, opening brace.
DEFINITION = re.compile(
    r"^(?:template\s*<[^>]*>\s*)?(?:\[\[[^\]]*\]\]\s*)?(?:(?:inline|static|constexpr)\s+)*"
    r"[\w:<>,*&]+(?:\s+[\w:<>,*&]+)*?[\s*&]+(\w+)\s*\([^;{}]*\)\s*(?:const\s*)?(?:noexcept\s*)?\{",
    re.M)


def sources():
    """(path, text) of every C++ source and header of the native modules."""
    out = []
    for folder in FOLDERS:
        for path in sorted(pathlib.Path(REPO_ROOT, folder).glob("*.[ch]pp")):
            out.append((path, path.read_text()))
    return out


def without_comments(text):
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.S)
    return re.sub(r"//[^\n]*", "", text)


class SourceRulesTest(OwnPackageTest):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.files = [(path, without_comments(text)) for path, text in sources()]
        cls.header = without_comments(NAMES_HEADER.read_text())

    def uses(self, pattern, skip=None):
        return any(re.search(pattern, text) for path, text in self.files if path != skip)

    def test_the_sources_are_found(self):
        self.assertGreaterEqual(len(self.files), 20)
        self.assertIn(NAMES_HEADER, [path for path, _ in self.files])

    def test_every_interned_name_is_used(self):
        members = re.findall(r"\bX\((\w+),", self.header)
        self.assertGreater(len(members), 100)
        for member in members:
            with self.subTest(name=member):
                self.assertTrue(self.uses(r"\bnames\.%s\b" % member, skip=NAMES_HEADER),
                                "names.%s is never used" % member)

    def test_every_shared_constant_is_used(self):
        body = re.search(r"struct Constants \{(.*?)\};", self.header, re.S).group(1)
        members = re.findall(r"PyObject\*\s+(\w+);", body)
        self.assertGreater(len(members), 5)
        # Their creation does not count as a use.
        texts = [re.sub(r"\nint init_names\(\) \{.*?\n\}\n", "\n", text, flags=re.S)
                 for _, text in self.files]
        for member in members:
            with self.subTest(constant=member):
                # consts.x, or c.x inside the header's own helpers
                pattern = r"\b(?:consts|c)\.%s\b" % member
                self.assertTrue(any(re.search(pattern, text) for text in texts),
                                "consts.%s is never used" % member)

    def test_no_name_from_a_c_string(self):
        for path, text in self.files:
            for call in C_STRING_CALLS:
                with self.subTest(file=path.name, call=call):
                    lines = [n for n, line in enumerate(text.splitlines(), 1)
                             if re.search(r"\b%s\(" % call, line)]
                    self.assertEqual(lines, [], "%s called on these lines" % call)

    def test_names_are_interned_in_one_place(self):
        calls = [path.name for path, text in self.files
                 for _ in re.findall(r"\bPyUnicode_InternFromString\(", text)]
        self.assertEqual(calls, ["names.cpp"])

    def test_each_helper_is_defined_once(self):
        where = collections.defaultdict(set)
        for path, text in self.files:
            for name in DEFINITION.findall(text):
                where[name].add(path.relative_to(REPO_ROOT).as_posix())
        # The pattern must see the helpers at all for the check to mean anything.
        for known in ("guarded_emit", "lookup_global", "bind_core", "parser_mark", "object_to_event"):
            self.assertIn(known, where)
        twice = {name: sorted(paths) for name, paths in where.items() if len(paths) > 1}
        self.assertEqual(twice, {})


if __name__ == "__main__":
    unittest.main()
