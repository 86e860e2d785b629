"""Small programs written the way programs out there use the API: their own
loader and dumper classes, custom tags, ordered mappings, configuration
files, conversions. Each must run unchanged and give the expected data or
text."""

import collections
import io
import json
import os
import re
import tempfile
import textwrap
import unittest

from tests.support.project import OwnPackageTest
from tests.support.tables import keep_table

import yaml


def dedent(text):
    return textwrap.dedent(text).lstrip("\n")


class LoaderPrograms(OwnPackageTest):

    def test_ordered_loader(self):
        # A loader that keeps mapping order in an OrderedDict, merge keys
        # included.
        def ordered_load(stream, Loader=yaml.SafeLoader, object_pairs_hook=collections.OrderedDict):
            class OrderedLoader(Loader):
                pass

            def construct_mapping(loader, node):
                loader.flatten_mapping(node)
                return object_pairs_hook(loader.construct_pairs(node))
            OrderedLoader.add_constructor(
                yaml.resolver.BaseResolver.DEFAULT_MAPPING_TAG, construct_mapping)
            return yaml.load(stream, OrderedLoader)
        data = ordered_load("base: &b {z: 1, a: 2}\nitem:\n  <<: *b\n  m: 3\n")
        self.assertEqual(list(data), ["base", "item"])
        self.assertEqual(list(data["item"].items()), [("z", 1), ("a", 2), ("m", 3)])
        self.assertIsInstance(data["item"], collections.OrderedDict)

    def test_loader_refusing_duplicate_keys(self):
        class UniqueKeyLoader(yaml.SafeLoader):
            def construct_mapping(self, node, deep=False):
                keys = set()
                for key_node, _ in node.value:
                    key = self.construct_object(key_node, deep=deep)
                    if key in keys:
                        raise yaml.constructor.ConstructorError(
                            "while constructing a mapping", node.start_mark,
                            "found duplicate key %r" % (key,), key_node.start_mark)
                    keys.add(key)
                return super().construct_mapping(node, deep)
        self.assertEqual(yaml.load("a: 1\nb: {c: 2}\n", Loader=UniqueKeyLoader),
                         {"a": 1, "b": {"c": 2}})
        with self.assertRaises(yaml.constructor.ConstructorError) as caught:
            yaml.load("a: 1\nb:\n  c: 2\n  c: 3\n", Loader=UniqueKeyLoader)
        self.assertEqual(str(caught.exception), dedent('''
            while constructing a mapping
              in "<unicode string>", line 3, column 3:
                  c: 2
                  ^
            found duplicate key 'c'
              in "<unicode string>", line 4, column 3:
                  c: 3
                  ^'''))

    def test_include_tag_on_the_safe_loader(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        with open(os.path.join(folder.name, "db.yaml"), "w") as f:
            f.write("host: localhost\nport: 5432\n")
        with open(os.path.join(folder.name, "main.yaml"), "w") as f:
            f.write("name: app\ndatabase: !include db.yaml\n")
        keep_table(self, yaml.SafeLoader, "yaml_constructors")

        def include(loader, node):
            base = os.path.dirname(loader.name)
            with open(os.path.join(base, loader.construct_scalar(node))) as f:
                return yaml.safe_load(f)
        yaml.add_constructor("!include", include, Loader=yaml.SafeLoader)
        with open(os.path.join(folder.name, "main.yaml")) as f:
            config = yaml.safe_load(f)
        self.assertEqual(config, {"name": "app",
                                  "database": {"host": "localhost", "port": 5432}})

    def test_env_tag_and_implicit_resolver_on_the_safe_loader(self):
        keep_table(self, yaml.SafeLoader, "yaml_constructors")
        keep_table(self, yaml.SafeLoader, "yaml_implicit_resolvers")
        pattern = re.compile(r"^\$\{([^}^{]+)\}$")

        def env(loader, node):
            value = loader.construct_scalar(node)
            match = pattern.match(value)
            name = match.group(1) if match else value
            return os.environ.get(name, "")
        yaml.SafeLoader.add_constructor("!env", env)
        yaml.SafeLoader.add_implicit_resolver("!env", pattern, None)
        os.environ["YAML_PROGRAM_TEST"] = "secret"
        self.addCleanup(os.environ.pop, "YAML_PROGRAM_TEST")
        self.assertEqual(yaml.safe_load("a: !env YAML_PROGRAM_TEST\nb: ${YAML_PROGRAM_TEST}\n"
                                        "c: '${YAML_PROGRAM_TEST}'\n"),
                         {"a": "secret", "b": "secret", "c": "${YAML_PROGRAM_TEST}"})
        # The C-named twin is a class of its own and never saw the tag.
        with self.assertRaises(yaml.constructor.ConstructorError):
            yaml.load("a: !env X", Loader=yaml.CSafeLoader)

    def test_loader_composed_from_the_stage_classes(self):
        from yaml.reader import Reader
        from yaml.scanner import Scanner
        from yaml.parser import Parser
        from yaml.composer import Composer
        from yaml.constructor import SafeConstructor
        from yaml.resolver import Resolver

        class MyLoader(Reader, Scanner, Parser, Composer, SafeConstructor, Resolver):
            def __init__(self, stream):
                Reader.__init__(self, stream)
                Scanner.__init__(self)
                Parser.__init__(self)
                Composer.__init__(self)
                SafeConstructor.__init__(self)
                Resolver.__init__(self)
        self.assertEqual(yaml.load("a: [1, 2.5, null]", Loader=MyLoader), {"a": [1, 2.5, None]})
        with self.assertRaises(yaml.YAMLError) as caught:
            yaml.load("key: [1, 2\nother: x\n", Loader=MyLoader)
        self.assertEqual(str(caught.exception), dedent('''
            while parsing a flow sequence
              in "<unicode string>", line 1, column 6:
                key: [1, 2
                     ^
            did not find expected ',' or ']'
              in "<unicode string>", line 2, column 6:
                other: x
                     ^'''))

    def test_fast_loader_with_fallback_and_full_loader(self):
        try:
            from yaml import CSafeLoader as FastLoader
        except ImportError:   # what programs write; here it is there
            from yaml import SafeLoader as FastLoader
        manifests = dedent("""
            apiVersion: v1
            kind: Service
            ---
            apiVersion: apps/v1
            kind: Deployment
            spec: {replicas: 3}
        """)
        docs = list(yaml.load_all(manifests, Loader=FastLoader))
        self.assertEqual([d["kind"] for d in docs], ["Service", "Deployment"])
        self.assertEqual(docs[1]["spec"]["replicas"], 3)
        self.assertEqual(yaml.load(io.StringIO("when: 2001-12-14\nt: !!python/tuple [1]\n"),
                                   Loader=yaml.FullLoader)["t"], (1,))

    def test_text_of_str_and_bytes_subclasses(self):
        class Markup(str):
            pass

        class Blob(bytes):
            pass
        for loader in (yaml.SafeLoader, yaml.CSafeLoader):
            for source in (Markup("a: [1, x]"), Blob(b"a: [1, x]")):
                with self.subTest(loader=loader.__name__, source=type(source).__name__):
                    self.assertEqual(yaml.load(source, Loader=loader), {"a": [1, "x"]})
                    with self.assertRaises(yaml.YAMLError) as caught:
                        yaml.load(type(source)(source[:-1]), Loader=loader)
                    self.assertIn("\n    a: [1, x\n       ^\n", str(caught.exception))

    def test_configuration_with_defaults(self):
        defaults = {"debug": False, "workers": 4, "paths": {"log": "/var/log/app"}}

        def load_config(text):
            config = dict(defaults)
            for key, value in (yaml.safe_load(text) or {}).items():
                if isinstance(value, dict):
                    config[key] = dict(config.get(key, {}), **value)
                else:
                    config[key] = value
            return config
        self.assertEqual(load_config(""), defaults)
        self.assertEqual(load_config("debug: yes\npaths:\n  data: ~/data\nratio: 0.5\n"),
                         {"debug": True, "workers": 4, "ratio": 0.5,
                          "paths": {"log": "/var/log/app", "data": "~/data"}})


class DumperPrograms(OwnPackageTest):

    def test_ordered_dict_representer(self):
        class OrderedDumper(yaml.SafeDumper):
            pass

        def represent_ordered(dumper, data):
            return dumper.represent_mapping(yaml.resolver.BaseResolver.DEFAULT_MAPPING_TAG,
                                            data.items())
        OrderedDumper.add_representer(collections.OrderedDict, represent_ordered)
        data = collections.OrderedDict([("zeta", 1), ("alpha", [2, 3])])
        self.assertEqual(yaml.dump(data, Dumper=OrderedDumper), "zeta: 1\nalpha:\n- 2\n- 3\n")
        # Through the default Dumper it is a Python object that reads back.
        text = yaml.dump(data)
        self.assertTrue(text.startswith("!!python/object/apply:collections.OrderedDict"), text)
        self.assertEqual(yaml.unsafe_load(text), data)

    def test_yaml_object_round_trip(self):
        for cls in (yaml.Loader, yaml.FullLoader, yaml.UnsafeLoader):
            keep_table(self, cls, "yaml_constructors")
        keep_table(self, yaml.Dumper, "yaml_representers")
        class Monster(yaml.YAMLObject):
            yaml_tag = "!Monster"

            def __init__(self, name, hp, ac, attacks):
                self.name, self.hp, self.ac, self.attacks = name, hp, ac, attacks

            def __repr__(self):
                return "%s(name=%r, hp=%r)" % (type(self).__name__, self.name, self.hp)
        monster = yaml.load(dedent("""
            --- !Monster
            name: Cave spider
            hp: [2, 6]
            ac: 16
            attacks: [BITE, HURT]
        """), Loader=yaml.Loader)
        self.assertEqual((monster.name, monster.hp, monster.attacks),
                         ("Cave spider", [2, 6], ["BITE", "HURT"]))
        self.assertEqual(yaml.dump(Monster("Dragon", [2, 6], 16, ["BITE"])),
                         "!Monster\nac: 16\nattacks:\n- BITE\nhp:\n- 2\n- 6\nname: Dragon\n")
        back = yaml.unsafe_load(yaml.dump(monster))
        self.assertEqual(vars(back), vars(monster))

    def test_dump_options(self):
        data = {"name": "Zoë", "tags": ["a", "b"], "nested": {"x": 1, "list": [[1, 2]]}}
        for options, text in (
                ({"default_flow_style": None},
                 "name: \"Zo\\xEB\"\nnested:\n  list:\n  - [1, 2]\n  x: 1\ntags: [a, b]\n"),
                ({"sort_keys": False, "allow_unicode": True},
                 "name: Zoë\ntags:\n- a\n- b\nnested:\n  x: 1\n  list:\n  - - 1\n    - 2\n"),
                ({"explicit_start": True, "allow_unicode": True, "default_flow_style": True},
                 "--- {name: Zoë, nested: {list: [[1, 2]], x: 1}, tags: [a, b]}\n"),
                ({"indent": 4, "sort_keys": False, "width": 20, "allow_unicode": True},
                 "name: Zoë\ntags:\n- a\n- b\nnested:\n    x: 1\n    list:\n    -   - 1\n"
                 "        - 2\n")):
            with self.subTest(options=options):
                self.assertEqual(yaml.safe_dump(data, **options), text)
                self.assertEqual(yaml.safe_load(text), data)

    def test_no_wrapping_with_an_infinite_width(self):
        text = "word " * 40
        for dumper in ("SafeDumper", "CSafeDumper", "Dumper"):
            for width in (float("inf"), 2 ** 40):
                with self.subTest(dumper=dumper, width=width):
                    out = yaml.dump({"k": text.strip()}, Dumper=getattr(yaml, dumper),
                                    width=width)
                    self.assertEqual(out, "k: %s\n" % text.strip())
        self.assertEqual(yaml.SafeDumper(io.StringIO(), width=float("inf")).best_width,
                         float("inf"))

    def test_tuple_and_object_through_dump_and_unsafe_load(self):
        class Config:
            def __init__(self):
                self.retries = 3
                self.hosts = ("a", "b")
        self.assertEqual(yaml.dump((1, "two")), "!!python/tuple\n- 1\n- two\n")
        self.assertEqual(yaml.safe_dump((1, "two")), "- 1\n- two\n")
        self.assertEqual(yaml.unsafe_load(yaml.dump((1, "two"))), (1, "two"))
        Config.__qualname__ = "Config"   # a module-level name the loader can find
        globals()["Config"] = Config
        self.addCleanup(globals().pop, "Config")
        text = yaml.dump(Config())
        self.assertEqual(text, "!!python/object:%s.Config\nhosts: !!python/tuple\n- a\n- b\n"
                               "retries: 3\n" % __name__)
        back = yaml.unsafe_load(text)
        self.assertEqual((type(back), back.retries, back.hosts), (Config, 3, ("a", "b")))
        with self.assertRaises(yaml.constructor.ConstructorError):
            yaml.safe_load(text)

    def test_dumper_composed_from_the_stage_classes(self):
        from yaml.emitter import Emitter
        from yaml.serializer import Serializer
        from yaml.representer import SafeRepresenter
        from yaml.resolver import Resolver

        class MyDumper(Emitter, Serializer, SafeRepresenter, Resolver):
            def __init__(self, stream, default_style=None, default_flow_style=False,
                         canonical=None, indent=None, width=None, allow_unicode=None,
                         line_break=None, encoding=None, explicit_start=None,
                         explicit_end=None, version=None, tags=None, sort_keys=True):
                Emitter.__init__(self, stream, canonical=canonical, indent=indent,
                                 width=width, allow_unicode=allow_unicode,
                                 line_break=line_break)
                Serializer.__init__(self, encoding=encoding, explicit_start=explicit_start,
                                    explicit_end=explicit_end, version=version, tags=tags)
                SafeRepresenter.__init__(self, default_style=default_style,
                                         default_flow_style=default_flow_style,
                                         sort_keys=sort_keys)
                Resolver.__init__(self)
        self.assertEqual(yaml.dump({"b": [1, "on"], "a": None}, Dumper=MyDumper,
                                   explicit_start=True, explicit_end=True),
                         "---\na: null\nb:\n- 1\n- 'on'\n...\n")
        self.assertEqual(yaml.dump([1], Dumper=MyDumper, encoding="utf-8"), b"- 1\n")

    def test_literal_strings_and_indent_hook(self):
        class PrettyDumper(yaml.SafeDumper):
            def increase_indent(self, flow=False, indentless=False):
                return super().increase_indent(flow, False)   # no effect here

        def str_presenter(dumper, data):
            if "\n" in data:
                return dumper.represent_scalar("tag:yaml.org,2002:str", data, style="|")
            return dumper.represent_scalar("tag:yaml.org,2002:str", data)
        PrettyDumper.add_representer(str, str_presenter)
        text = yaml.dump({"script": "echo a\necho b\n", "name": "job"}, Dumper=PrettyDumper)
        self.assertEqual(text, "name: job\nscript: |\n  echo a\n  echo b\n")
        self.assertEqual(yaml.safe_load(text)["script"], "echo a\necho b\n")


class ConversionPrograms(OwnPackageTest):

    def test_yaml_to_json_and_back(self):
        source = "a: [1, 2.5, true, null]\nb: {c: d}\n"
        as_json = json.dumps(yaml.safe_load(source), sort_keys=True)
        self.assertEqual(as_json, '{"a": [1, 2.5, true, null], "b": {"c": "d"}}')
        self.assertEqual(yaml.safe_dump(json.loads(as_json), default_flow_style=None), source)

    def test_error_report_of_a_linter(self):
        # Linters print the problem with its position and the line itself.
        source = "items:\n  - one\n  - two\n - three\n"
        try:
            yaml.safe_load(source)
        except yaml.MarkedYAMLError as exc:
            mark = exc.problem_mark
            report = "%d:%d %s\n%s" % (mark.line + 1, mark.column + 1, exc.problem,
                                       mark.get_snippet())
        self.assertEqual(report, "4:2 did not find expected key\n     - three\n     ^")


if __name__ == "__main__":
    unittest.main()
