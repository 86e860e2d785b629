"""The module-level functions: inputs, outputs and options passed through."""

import io
import os
import tempfile
import unittest

from tests.support.project import OwnPackageTest

import yaml
from yaml import events, nodes, tokens

T = "tag:yaml.org,2002:"
TEXT = "a: 1\nb: [x, 'y']\n"
DATA = {"a": 1, "b": ["x", "y"]}


class Inputs(OwnPackageTest):

    def sources(self, text):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        path = os.path.join(folder.name, "in.yaml")
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        text_file = open(path, encoding="utf-8")
        binary_file = open(path, "rb")
        self.addCleanup(text_file.close)
        self.addCleanup(binary_file.close)
        return {"str": text, "bytes": text.encode("utf-8"),
                "utf-16 bytes": text.encode("utf-16"),
                "StringIO": io.StringIO(text), "BytesIO": io.BytesIO(text.encode()),
                "text file": text_file, "binary file": binary_file}

    def test_load_from_every_kind_of_input(self):
        for label, source in self.sources(TEXT + "c: é\n").items():
            with self.subTest(input=label):
                self.assertEqual(yaml.load(source), dict(DATA, c="é"))

    def test_load_all(self):
        for label, source in self.sources("1\n--- [2]\n---\n...\n").items():
            with self.subTest(input=label):
                docs = yaml.load_all(source)
                self.assertFalse(isinstance(docs, list))
                self.assertEqual(list(docs), [1, [2], None])

    def test_empty_streams(self):
        for text in ("", "# only a comment\n", "\n\n"):
            with self.subTest(text=text):
                self.assertIsNone(yaml.load(text))
                self.assertEqual(list(yaml.load_all(text)), [])
                self.assertIsNone(yaml.compose(text))

    def test_load_refuses_a_second_document(self):
        with self.assertRaises(yaml.composer.ComposerError) as caught:
            yaml.load("a\n--- b\n")
        self.assertIn("expected a single document", str(caught.exception))

    def test_lower_levels(self):
        kinds = [type(t) for t in yaml.scan("[a]")]
        self.assertEqual(kinds, [tokens.StreamStartToken, tokens.FlowSequenceStartToken,
                                 tokens.ScalarToken, tokens.FlowSequenceEndToken,
                                 tokens.StreamEndToken])
        kinds = [type(e) for e in yaml.parse("a: 1")]
        self.assertEqual(kinds, [events.StreamStartEvent, events.DocumentStartEvent,
                                 events.MappingStartEvent, events.ScalarEvent,
                                 events.ScalarEvent, events.MappingEndEvent,
                                 events.DocumentEndEvent, events.StreamEndEvent])
        root = yaml.compose("a: 1")
        self.assertIsInstance(root, nodes.MappingNode)
        ((key, value),) = root.value
        self.assertEqual((key.tag, value.tag, value.value), (T + "str", T + "int", "1"))
        roots = list(yaml.compose_all("a\n--- [b]\n"))
        self.assertEqual([type(r) for r in roots], [nodes.ScalarNode, nodes.SequenceNode])

    def test_loader_argument_and_subclass(self):
        class Upper(yaml.Loader):
            def construct_yaml_str(self, node):
                return node.value.upper()
        Upper.add_constructor(T + "str", Upper.construct_yaml_str)
        self.assertEqual(yaml.load("[a, 1]", Loader=Upper), ["A", 1])
        self.assertEqual(yaml.load("[a, 1]", yaml.BaseLoader), ["a", "1"])
        self.assertEqual(list(yaml.load_all("a\n--- b", Loader=Upper)), ["A", "B"])
        root = yaml.compose("1", Loader=yaml.BaseLoader)
        self.assertEqual(root.tag, T + "str")

    def test_errors_propagate_from_generators(self):
        docs = yaml.load_all("1\n--- [2\n")
        self.assertEqual(next(docs), 1)
        with self.assertRaises(yaml.MarkedYAMLError):
            next(docs)


class Outputs(OwnPackageTest):

    def test_dump_returns_text_or_bytes(self):
        self.assertEqual(yaml.dump(DATA), "a: 1\nb:\n- x\n- y\n")
        for encoding, expected in (("utf-8", "a: é\n".encode()),
                                   ("utf-16-le", "\ufeffa: é\n".encode("utf-16-le")),
                                   ("utf-16-be", "\ufeffa: é\n".encode("utf-16-be"))):
            with self.subTest(encoding=encoding):
                got = yaml.dump({"a": "é"}, encoding=encoding, allow_unicode=True)
                self.assertEqual(got, expected)

    def test_every_encoding_python_knows(self):
        # libyaml writes UTF-8 and UTF-16 itself; any other encoding (or
        # another spelling of those) must still give bytes in that encoding.
        data = {"a": "é ü", "b": ["x", 1]}
        text = yaml.dump(data, allow_unicode=True)
        for encoding, expected in (
                ("UTF8", text.encode("utf-8")),
                ("utf_16_le", ("\ufeff" + text).encode("utf-16-le")),
                ("UTF-16-BE", ("\ufeff" + text).encode("utf-16-be")),
                ("utf-16", text.encode("utf-16")),
                ("utf-32", text.encode("utf-32")),
                ("latin-1", text.encode("latin-1")),
                ("cp1252", text.encode("cp1252"))):
            for dumper in (yaml.Dumper, yaml.SafeDumper, yaml.CSafeDumper, yaml.CDumper):
                with self.subTest(encoding=encoding, dumper=dumper.__name__):
                    got = yaml.dump(data, Dumper=dumper, encoding=encoding, allow_unicode=True)
                    self.assertEqual(got, expected)
                    out = io.BytesIO()
                    yaml.dump_all([data, data], out, Dumper=dumper, encoding=encoding,
                                  allow_unicode=True)
                    # (libyaml's UTF-16 starts with a byte order mark, once)
                    self.assertEqual(out.getvalue().decode(encoding).removeprefix("\ufeff"),
                                     yaml.dump_all([data, data], allow_unicode=True))
        # A text stream is written text whatever the encoding.
        out = io.StringIO()
        yaml.dump(data, out, encoding="latin-1", allow_unicode=True)
        self.assertEqual(out.getvalue(), text)
        with self.assertRaises(LookupError):
            yaml.dump(data, encoding="no-such-encoding")
        with self.assertRaises(UnicodeEncodeError):
            yaml.dump({"a": "€"}, encoding="latin-1", allow_unicode=True)

    def test_dump_to_streams(self):
        text_out = io.StringIO()
        self.assertIsNone(yaml.dump(DATA, text_out))
        self.assertEqual(text_out.getvalue(), "a: 1\nb:\n- x\n- y\n")
        binary_out = io.BytesIO()
        self.assertIsNone(yaml.dump(DATA, binary_out, encoding="utf-8"))
        self.assertEqual(binary_out.getvalue(), b"a: 1\nb:\n- x\n- y\n")

    def test_dump_all(self):
        text = yaml.dump_all([1, [2], None])
        self.assertEqual(list(yaml.load_all(text)), [1, [2], None])
        self.assertEqual(text.count("---"), 2)
        self.assertEqual(yaml.dump_all([]), "")

    def test_every_emitter_option_passes_through(self):
        # Each check must hold with the option and fail without it.
        data = {"key": ["é" * 3, "word " * 8], "nest": {"inner": 1}}
        for option, value, check in (
                ("canonical", True, lambda t: t.startswith("---\n!!map {")),
                ("indent", 5, lambda t: "\nnest:\n     inner: 1\n" in t),
                ("width", 20, lambda t: len(t.splitlines()) > 5),
                ("allow_unicode", True, lambda t: "ééé" in t),
                ("line_break", "\r\n", lambda t: t.count("\r\n") == t.count("\n")),
                ("explicit_start", True, lambda t: t.startswith("---")),
                ("explicit_end", True, lambda t: t.endswith("...\n")),
                ("version", (1, 1), lambda t: t.startswith("%YAML 1.1\n---")),
                ("tags", {"!e!": "tag:example.com,2000:"},
                 lambda t: t.startswith("%TAG !e! tag:example.com,2000:\n---"))):
            with self.subTest(option=option):
                text = yaml.dump(data, **{option: value})
                self.assertTrue(check(text), text)
                self.assertEqual(yaml.load(text), data)
                plain = yaml.dump(data)
                self.assertFalse(check(plain), plain)

    def test_dump_with_dumper_argument(self):
        self.assertEqual(yaml.dump(["a"], Dumper=yaml.BaseDumper), "- a\n")
        self.assertEqual(yaml.dump(("a",)), "!!python/tuple\n- a\n")
        self.assertEqual(yaml.dump(("a",), Dumper=yaml.SafeDumper), "- a\n")

    def test_serialize_and_emit(self):
        root = yaml.compose("a: [1, b]")
        self.assertEqual(yaml.serialize(root), "a: [1, b]\n")
        self.assertEqual(yaml.serialize(root, encoding="utf-8"), b"a: [1, b]\n")
        self.assertEqual(yaml.serialize_all([root, root], explicit_start=True),
                         "---\na: [1, b]\n---\na: [1, b]\n")
        out = io.StringIO()
        self.assertIsNone(yaml.serialize(root, out))
        self.assertEqual(out.getvalue(), "a: [1, b]\n")
        self.assertEqual(yaml.emit(yaml.parse("- x\n- {y: z}\n")), "- x\n- {y: z}\n")
        canonical = yaml.emit(yaml.parse("x"), canonical=True)
        self.assertTrue(canonical.startswith("---\n") and '"x"' in canonical, canonical)
        out = io.BytesIO()
        self.assertIsNone(yaml.emit(yaml.parse(b"x"), out))
        self.assertEqual(out.getvalue(), b"x\n")
        # A stream-start event with no encoding of its own gives text.
        out = io.StringIO()
        self.assertIsNone(yaml.emit(yaml.parse("x"), out))
        self.assertEqual(out.getvalue(), "x\n")


if __name__ == "__main__":
    unittest.main()
