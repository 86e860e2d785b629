"""The benchmark corpus generator: same seed, same bytes; and every YAML
corpus composes to the very data of its JSON twin."""

import importlib.util
import json
import os
import tempfile
import unittest

from tests.support.project import REPO_ROOT, OwnPackageTest


def _load_generator():
    # A script of bench/, loaded by path: sys.path stays as it is.
    spec = importlib.util.spec_from_file_location(
        "gen_corpus", os.path.join(REPO_ROOT, "bench", "gen_corpus.py"))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


gen_corpus = _load_generator()

SIZE_MB = 0.03


def composed_shape(node, seen=None):
    """Plain data from a composed graph: scalar value texts, lists, lists of
    pairs for mappings (key order kept)."""
    import yaml

    if isinstance(node, yaml.nodes.ScalarNode):
        return node.value
    if isinstance(node, yaml.nodes.SequenceNode):
        return [composed_shape(item) for item in node.value]
    return [(composed_shape(k), composed_shape(v)) for k, v in node.value]


def twin_shape(value):
    """The same plain form for data read from a JSON twin."""
    if isinstance(value, dict):
        return [(k, twin_shape(v)) for k, v in value.items()]
    if isinstance(value, list):
        return [twin_shape(v) for v in value]
    return gen_corpus.twin_text(value)


class GeneratorTest(OwnPackageTest):
    def test_same_seed_same_bytes(self):
        with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b:
            first = gen_corpus.write_corpus(a, SIZE_MB, seed=7)
            second = gen_corpus.write_corpus(b, SIZE_MB, seed=7)
            self.assertEqual([os.path.basename(p) for p in first], [os.path.basename(p) for p in second])
            for p, q in zip(first, second):
                with self.subTest(file=os.path.basename(p)), open(p, "rb") as f, open(q, "rb") as g:
                    self.assertEqual(f.read(), g.read())

    def test_seed_and_size_change_the_text(self):
        for kind in gen_corpus.KINDS:
            with self.subTest(kind=kind):
                base, _ = gen_corpus.generate(kind, SIZE_MB, seed=1)
                self.assertNotEqual(base, gen_corpus.generate(kind, SIZE_MB, seed=2)[0])
                bigger, _ = gen_corpus.generate(kind, 2 * SIZE_MB, seed=1)
                self.assertGreater(len(bigger), len(base) * 1.5)
                self.assertGreaterEqual(len(base.encode("utf-8")), SIZE_MB * 1024 * 1024)

    def test_selecting_kinds_keeps_each_corpus(self):
        with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b:
            gen_corpus.write_corpus(a, SIZE_MB, kinds=gen_corpus.KINDS)
            gen_corpus.write_corpus(b, SIZE_MB, kinds=("unicode",))
            with open(os.path.join(a, "unicode.yaml"), "rb") as f, \
                    open(os.path.join(b, "unicode.yaml"), "rb") as g:
                self.assertEqual(f.read(), g.read())
            self.assertFalse(os.path.exists(os.path.join(b, "records.yaml")))


class TwinTest(OwnPackageTest):
    """The YAML parses and composes; where there is a JSON twin, both
    compose to the same shape, so a corpus cannot drift into measuring
    something else than it claims."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.dir = tempfile.TemporaryDirectory()
        gen_corpus.write_corpus(cls.dir.name, SIZE_MB)

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()
        super().tearDownClass()

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def compose(self, name):
        import yaml

        with open(self.path(name), encoding="utf-8") as f:
            return yaml.Loader(f.read()).get_single_node()

    def test_yaml_matches_json_twin(self):
        for kind in ("config", "records", "unicode"):
            with self.subTest(kind=kind):
                with open(self.path(kind + ".json"), encoding="utf-8") as f:
                    data = json.load(f)
                yaml_shape = composed_shape(self.compose(kind + ".yaml"))
                self.assertEqual(yaml_shape, twin_shape(data))
                # The twin is itself YAML: same shape through the parser.
                self.assertEqual(composed_shape(self.compose(kind + ".json")), yaml_shape)

    def test_event_counts_of_twins_agree(self):
        import yaml

        for kind in ("config", "records", "unicode"):
            with self.subTest(kind=kind):
                counts = []
                for name in (kind + ".yaml", kind + ".json"):
                    with open(self.path(name), "rb") as f:
                        data = f.read()
                    counts.append(yaml._yaml.CParser(data).raw_parse())
                # Aliases in the YAML stand for whole subtrees in the twin.
                if kind == "config":
                    self.assertLess(counts[0], counts[1])
                else:
                    self.assertEqual(counts[0], counts[1])

    def test_corpora_carry_what_they_promise(self):
        import yaml

        config = self.compose("config.yaml")
        services = dict((k.value, v) for k, v in config.value)["services"]
        first = dict((k.value, v) for k, v in services.value[0][1].value)
        self.assertIs(first["<<"], dict((k.value, v) for k, v in config.value)["defaults"])
        self.assertIs(first["fallback_limits"], first["limits"])
        self.assertEqual(first["script"].style, "|")
        self.assertEqual(first["notes"].style, ">")

        graph = self.compose("anchors.yaml")
        nodes = graph.value[0][1].value
        self.assertGreater(len(nodes), 10)
        for node in nodes[1:]:
            links = dict((k.value, v) for k, v in node.value)["links"]
            for target in links.value:
                self.assertTrue(any(target is n for n in nodes))  # the very node, not a copy
        self.assertFalse(os.path.exists(self.path("anchors.json")))

        with open(self.path("unicode.yaml"), encoding="utf-8") as f:
            text = f.read()
        self.assertGreater(sum(ord(c) > 0xFFFF for c in text), 0)
        self.assertGreater(sum(ord(c) > 0x7F for c in text), len(text) // 4)
        self.assertIsInstance(yaml.Loader(text).get_single_node(), yaml.nodes.SequenceNode)


if __name__ == "__main__":
    unittest.main()
