"""More small programs written the way programs of many kinds use the API,
run unchanged against the package: configuration loaders, CI and
infrastructure tools, data science configurations, translation catalogues,
serialization code, linters, formatters and diff tools, converters and error
reports. Each checks the exact data or text a user of the API expects.

Registrations on the stock classes are undone after each test (keep_table),
and the programs' own classes are subclasses, so no test leaves the stock
tables changed for the next.
"""

import base64
import collections
import dataclasses
import datetime
import decimal
import enum
import fractions
import io
import json
import math
import os
import pathlib
import pickle
import re
import tempfile
import textwrap
import typing
import uuid

from tests.support.project import OwnPackageTest
from tests.support.tables import keep_table
from tests.test_cli import run_tool

import yaml
from yaml.constructor import ConstructorError

T = "tag:yaml.org,2002:"
UTC = datetime.timezone.utc


def dedent(text):
    return textwrap.dedent(text).lstrip("\n")


def tz(hours, minutes=0):
    return datetime.timezone(datetime.timedelta(hours=hours, minutes=minutes))


class ProgramTest(OwnPackageTest):

    def keep(self, cls, *names):
        for name in names:
            keep_table(self, cls, name)

    def folder(self, files):
        """A scratch folder holding `files` (relative path -> text)."""
        scratch = tempfile.TemporaryDirectory()
        self.addCleanup(scratch.cleanup)
        for name, text in files.items():
            path = os.path.join(scratch.name, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8") as f:
                f.write(dedent(text))
        return scratch.name


# -- configuration files -----------------------------------------------------

class ConfigurationPrograms(ProgramTest):

    def test_layered_configuration_files(self):
        # Built-in defaults, then the system file, then the user's, merged
        # key by key at every depth.
        def merge(base, override):
            merged = dict(base)
            for key, value in override.items():
                if isinstance(value, dict) and isinstance(merged.get(key), dict):
                    merged[key] = merge(merged[key], value)
                else:
                    merged[key] = value
            return merged

        def load_config(*paths):
            config = {"server": {"host": "0.0.0.0", "port": 8000, "tls": {"enabled": False}},
                      "log_level": "info", "plugins": []}
            for path in paths:
                if os.path.exists(path):
                    with open(path) as f:
                        config = merge(config, yaml.safe_load(f) or {})
            return config
        where = self.folder({
            "etc/app.yaml": """
                server:
                  port: 9000
                  tls: {enabled: yes, cert: /etc/app/cert.pem}
                plugins: [auth, metrics]
            """,
            "home/app.yaml": "# nothing but a comment\n",
            "local/app.yaml": "log_level: debug\nserver: {host: localhost}\n"})
        config = load_config(*(os.path.join(where, name, "app.yaml")
                               for name in ("etc", "home", "missing", "local")))
        self.assertEqual(config, {
            "server": {"host": "localhost", "port": 9000,
                       "tls": {"enabled": True, "cert": "/etc/app/cert.pem"}},
            "log_level": "debug", "plugins": ["auth", "metrics"]})

    def test_environment_variables_with_defaults(self):
        # `${NAME}` and `${NAME:-default}` anywhere in a plain value; quoted
        # text is left alone; `!env NAME` asks for one variable outright.
        pattern = re.compile(r".*\$\{([^}]+)\}.*")
        variable = re.compile(r"\$\{([^}:]+)(?::-([^}]*))?\}")

        class EnvLoader(yaml.SafeLoader):
            pass

        def interpolate(loader, node):
            value = loader.construct_scalar(node)
            return variable.sub(lambda m: os.environ.get(m.group(1), m.group(2) or ""), value)

        def env(loader, node):
            return os.environ[loader.construct_scalar(node)]
        EnvLoader.add_implicit_resolver("!interpolate", pattern, None)
        EnvLoader.add_constructor("!interpolate", interpolate)
        EnvLoader.add_constructor("!env", env)
        os.environ["PROGRAM_DB_HOST"] = "db.internal"
        self.addCleanup(os.environ.pop, "PROGRAM_DB_HOST")
        os.environ.pop("PROGRAM_DB_PORT", None)
        config = yaml.load(dedent("""
            url: postgres://${PROGRAM_DB_HOST}:${PROGRAM_DB_PORT:-5432}/app
            host: !env PROGRAM_DB_HOST
            literal: '${PROGRAM_DB_HOST}'
            port: 5432
        """), Loader=EnvLoader)
        self.assertEqual(config, {"url": "postgres://db.internal:5432/app",
                                  "host": "db.internal", "literal": "${PROGRAM_DB_HOST}",
                                  "port": 5432})
        # The stock safe loader never saw the registrations.
        self.assertEqual(yaml.safe_load("a: ${X}"), {"a": "${X}"})

    def test_nested_includes_relative_to_each_file(self):
        class IncludeLoader(yaml.SafeLoader):
            pass

        def include(loader, node):
            path = os.path.join(os.path.dirname(loader.name), loader.construct_scalar(node))
            with open(path) as f:
                return yaml.load(f, IncludeLoader)
        IncludeLoader.add_constructor("!include", include)
        where = self.folder({
            "main.yaml": "name: shop\nservices: !include services/all.yaml\n",
            "services/all.yaml": "- !include web.yaml\n- {name: worker, replicas: 2}\n",
            "services/web.yaml": "name: web\nports: [80, 443]\n"})
        with open(os.path.join(where, "main.yaml")) as f:
            config = yaml.load(f, Loader=IncludeLoader)
        self.assertEqual(config, {"name": "shop", "services": [
            {"name": "web", "ports": [80, 443]}, {"name": "worker", "replicas": 2}]})

    def test_environments_sharing_settings_through_merge_keys(self):
        source = dedent("""
            defaults: &defaults
              adapter: postgres
              host: localhost
              pool: 5
            development:
              <<: *defaults
              database: dev
              pool: 10
            test:
              <<: [*defaults, {host: testhost, timeout: 3}]
              database: test
        """)
        expected = {
            "defaults": {"adapter": "postgres", "host": "localhost", "pool": 5},
            "development": {"adapter": "postgres", "host": "localhost", "pool": 10,
                            "database": "dev"},
            "test": {"adapter": "postgres", "host": "localhost", "pool": 5,
                     "timeout": 3, "database": "test"}}
        for loader in ("SafeLoader", "CSafeLoader", "FullLoader", "UnsafeLoader"):
            with self.subTest(loader=loader):
                config = yaml.load(source, Loader=getattr(yaml, loader))
                self.assertEqual(config, expected)
                self.assertEqual(list(config["development"]),
                                 ["adapter", "host", "pool", "database"])

    def test_experiment_configuration_values(self):
        config = yaml.safe_load(dedent("""
            learning_rate: 1.0e-3
            written_short: 1e-3
            momentum: .9
            clip: .inf
            floor: -.inf
            missing: .nan
            epochs: 1_000
            started: 2024-03-01
            checkpoint: 2024-03-01 12:30:00.25 +02:00
            logged: 2024-03-01T10:00:00Z
            seeds: [0x2A, 0o17, 017, 1:30]
        """))
        self.assertTrue(math.isnan(config.pop("missing")))
        self.assertEqual(config, {
            "learning_rate": 0.001, "written_short": "1e-3", "momentum": 0.9,
            "clip": math.inf, "floor": -math.inf, "epochs": 1000,
            "started": datetime.date(2024, 3, 1),
            "checkpoint": datetime.datetime(2024, 3, 1, 12, 30, 0, 250000, tzinfo=tz(2)),
            "logged": datetime.datetime(2024, 3, 1, 10, 0, tzinfo=UTC),
            "seeds": [42, "0o17", 15, 90]})
        self.assertEqual([type(v).__name__ for v in config.values()],
                         ["float", "str", "float", "float", "float", "int", "date",
                          "datetime", "datetime", "list"])

    def test_loader_with_only_true_and_false_as_booleans(self):
        # The country code NO must stay a string.
        class StrictBoolLoader(yaml.SafeLoader):
            pass
        StrictBoolLoader.yaml_implicit_resolvers = {
            first: [row for row in rows if row[0] != T + "bool"]
            for first, rows in StrictBoolLoader.yaml_implicit_resolvers.items()}
        StrictBoolLoader.add_implicit_resolver(
            T + "bool", re.compile(r"^(?:true|True|TRUE|false|False|FALSE)$"), list("tTfF"))
        source = "country: NO\nenabled: true\nswitch: on\nanswer: yes\nflag: False\n"
        self.assertEqual(yaml.load(source, Loader=StrictBoolLoader),
                         {"country": "NO", "enabled": True, "switch": "on", "answer": "yes",
                          "flag": False})
        self.assertEqual(yaml.safe_load(source)["country"], False)

    def test_loader_keeping_dates_as_text(self):
        class TextDateLoader(yaml.SafeLoader):
            pass
        TextDateLoader.add_constructor(T + "timestamp", TextDateLoader.construct_yaml_str)
        self.assertEqual(
            yaml.load("release: 2024-01-31\nbuilt: 2024-01-31 08:00:00\nn: 1\n",
                      Loader=TextDateLoader),
            {"release": "2024-01-31", "built": "2024-01-31 08:00:00", "n": 1})

    def test_strings_that_know_their_line(self):
        class LineStr(str):
            line = None

        class PositionLoader(yaml.SafeLoader):
            def construct_scalar(self, node):
                value = LineStr(super().construct_scalar(node))
                value.line = node.start_mark.line + 1
                return value
        data = yaml.load("name: api\nport: 80\nhosts:\n  - a.example\n  - 'b.example'\n",
                         Loader=PositionLoader)
        self.assertEqual(data, {"name": "api", "port": 80, "hosts": ["a.example", "b.example"]})
        # Typed values are built from the text and lose the subclass.
        self.assertIs(type(data["port"]), int)
        self.assertEqual([(key, key.line) for key in data], [("name", 1), ("port", 2),
                                                             ("hosts", 3)])
        self.assertEqual([host.line for host in data["hosts"]], [4, 5])

    def test_mappings_that_know_their_line(self):
        class LineLoader(yaml.SafeLoader):
            def construct_mapping(self, node, deep=False):
                mapping = super().construct_mapping(node, deep=deep)
                mapping["__line__"] = node.start_mark.line + 1
                return mapping
        jobs = yaml.load(dedent("""
            jobs:
              - name: build
                steps: [compile]
              - {name: test, needs: build}
        """), Loader=LineLoader)
        self.assertEqual(jobs, {"__line__": 1, "jobs": [
            {"__line__": 2, "name": "build", "steps": ["compile"]},
            {"__line__": 4, "name": "test", "needs": "build"}]})

    def test_schema_check_reporting_lines(self):
        # A validator walks the node graph so that it can name the line of
        # each wrong value, then builds the data.
        schema = {"host": str, "port": int, "debug": bool}

        def validate(text):
            root = yaml.compose(text)
            problems = []
            loader = yaml.SafeLoader("")
            try:
                for key_node, value_node in root.value:
                    expected = schema.get(key_node.value)
                    value = loader.construct_object(value_node, deep=True)
                    if expected is None:
                        problems.append("line %d: unknown key %r"
                                        % (key_node.start_mark.line + 1, key_node.value))
                    elif not isinstance(value, expected):
                        problems.append("line %d, column %d: %s must be %s, not %r"
                                        % (value_node.start_mark.line + 1,
                                           value_node.start_mark.column + 1, key_node.value,
                                           expected.__name__, value))
            finally:
                loader.dispose()
            return problems
        self.assertEqual(validate("host: x\nport: 80\ndebug: no\n"), [])
        self.assertEqual(validate("host: 10\nport: eighty\ncolour: red\ndebug: off\n"),
                         ["line 1, column 7: host must be str, not 10",
                          "line 2, column 7: port must be int, not 'eighty'",
                          "line 3: unknown key 'colour'"])

    def test_loaders_that_type_nothing(self):
        class TextLoader(yaml.SafeLoader):
            def resolve(self, kind, value, implicit):
                if kind is yaml.ScalarNode and implicit[0]:
                    return T + ("null" if value in ("", "~", "null") else "str")
                return super().resolve(kind, value, implicit)
        source = "zip: 01234\nversion: 1.10\non: yes\nempty:\nlist: [1, ~, !!int 2]\n"
        self.assertEqual(yaml.load(source, Loader=TextLoader),
                         {"zip": "01234", "version": "1.10", "on": "yes", "empty": None,
                          "list": ["1", None, 2]})
        for loader in (yaml.BaseLoader, yaml.CBaseLoader):
            with self.subTest(loader=loader.__name__):
                self.assertEqual(yaml.load(source, Loader=loader),
                                 {"zip": "01234", "version": "1.10", "on": "yes", "empty": "",
                                  "list": ["1", "~", "2"]})

    def test_path_resolver_for_a_field(self):
        class ReleaseLoader(yaml.SafeLoader):
            pass
        ReleaseLoader.add_path_resolver("!version", ["release", "version"], str)
        ReleaseLoader.add_constructor(
            "!version", lambda loader, node: tuple(
                int(part) for part in loader.construct_scalar(node).lstrip("v").split(".")))
        self.assertEqual(
            yaml.load("release: {version: v2.10.1, name: v2.10.1}\nversion: v1.0\n",
                      Loader=ReleaseLoader),
            {"release": {"version": (2, 10, 1), "name": "v2.10.1"}, "version": "v1.0"})

    def test_documents_read_by_hand(self):
        loader = yaml.SafeLoader("--- {a: 1}\n--- [2]\n--- 3\n")
        documents = []
        try:
            while loader.check_data():
                documents.append(loader.get_data())
        finally:
            loader.dispose()
        self.assertEqual(documents, [{"a": 1}, [2], 3])


# -- CI and infrastructure tools ---------------------------------------------

class InfrastructurePrograms(ProgramTest):

    MANIFESTS = dedent("""
        # rendered by the pipeline
        apiVersion: apps/v1
        kind: Deployment
        metadata:
          name: web
          labels: {app: web, tier: frontend}
        spec:
          replicas: 2
          template:
            spec:
              containers:
                - name: nginx
                  image: "nginx:1.25"
                  args: ["--port", "8080"]
        ---
        apiVersion: v1
        kind: ConfigMap
        metadata: {name: web-config}
        data:
          enabled: "true"
          script: |
            set -e
            run
        ...
    """)

    def test_manifests_rewritten_in_their_own_key_order(self):
        documents = list(yaml.safe_load_all(self.MANIFESTS))
        self.assertEqual([d["kind"] for d in documents], ["Deployment", "ConfigMap"])
        documents[0]["spec"]["replicas"] = 5
        documents[1]["metadata"]["annotations"] = {"checksum": "a" * 100}
        text = yaml.safe_dump_all(documents, sort_keys=False, default_flow_style=False,
                                  explicit_start=True, indent=2, width=4096)
        self.assertEqual(text, dedent("""
            ---
            apiVersion: apps/v1
            kind: Deployment
            metadata:
              name: web
              labels:
                app: web
                tier: frontend
            spec:
              replicas: 5
              template:
                spec:
                  containers:
                  - name: nginx
                    image: nginx:1.25
                    args:
                    - --port
                    - '8080'
            ---
            apiVersion: v1
            kind: ConfigMap
            metadata:
              name: web-config
              annotations:
                checksum: %s
            data:
              enabled: 'true'
              script: 'set -e

                run

                '
        """) % ("a" * 100))
        self.assertEqual(list(yaml.safe_load_all(text)), documents)

    def test_cloud_template_tags_read_and_written_back(self):
        class Tagged:
            def __init__(self, tag, value):
                self.tag, self.value = tag, value

            def __eq__(self, other):
                return (self.tag, self.value) == (other.tag, other.value)

        class TemplateLoader(yaml.SafeLoader):
            pass

        class TemplateDumper(yaml.SafeDumper):
            pass

        def construct(loader, suffix, node):
            if isinstance(node, yaml.ScalarNode):
                value = loader.construct_scalar(node)
            elif isinstance(node, yaml.SequenceNode):
                value = loader.construct_sequence(node, deep=True)
            else:
                value = loader.construct_mapping(node, deep=True)
            return Tagged("!" + suffix, value)

        def represent(dumper, data):
            if isinstance(data.value, list):
                return dumper.represent_sequence(data.tag, data.value, flow_style=True)
            if isinstance(data.value, dict):
                return dumper.represent_mapping(data.tag, data.value)
            return dumper.represent_scalar(data.tag, data.value)
        TemplateLoader.add_multi_constructor("!", construct)
        TemplateDumper.add_representer(Tagged, represent)
        source = dedent("""
            Resources:
              Bucket:
                Type: AWS::S3::Bucket
                Properties:
                  BucketName: !Sub '${AWS::StackName}-logs'
                  Arn: !GetAtt [Bucket, Arn]
                  Tags: !If
                    Cond: prod
            Outputs:
              Name: !Ref Bucket
        """)
        template = yaml.load(source, Loader=TemplateLoader)
        properties = template["Resources"]["Bucket"]["Properties"]
        self.assertEqual(properties["Arn"], Tagged("!GetAtt", ["Bucket", "Arn"]))
        self.assertEqual(template["Outputs"]["Name"], Tagged("!Ref", "Bucket"))
        text = yaml.dump(template, Dumper=TemplateDumper, sort_keys=False)
        self.assertEqual(text, dedent("""
            Resources:
              Bucket:
                Type: AWS::S3::Bucket
                Properties:
                  BucketName: !Sub ${AWS::StackName}-logs
                  Arn: !GetAtt [Bucket, Arn]
                  Tags: !If
                    Cond: prod
            Outputs:
              Name: !Ref Bucket
        """))
        self.assertEqual(yaml.load(text, Loader=TemplateLoader), template)

    def test_compose_file_with_shared_blocks_written_without_aliases(self):
        class NoAliasDumper(yaml.SafeDumper):
            def ignore_aliases(self, data):
                return True
        compose = yaml.safe_load(dedent("""
            x-logging: &logging
              driver: json-file
              options: {max-size: 10m}
            services:
              web: {image: web, logging: *logging}
              db: {image: db, logging: *logging}
        """))
        services = compose["services"]
        self.assertIs(services["web"]["logging"], services["db"]["logging"])
        del compose["x-logging"]
        self.assertEqual(yaml.safe_dump(compose), dedent("""
            services:
              db:
                image: db
                logging: &id001
                  driver: json-file
                  options:
                    max-size: 10m
              web:
                image: web
                logging: *id001
        """))
        self.assertEqual(yaml.dump(compose, Dumper=NoAliasDumper, default_flow_style=None),
                         dedent("""
            services:
              db:
                image: db
                logging:
                  driver: json-file
                  options: {max-size: 10m}
              web:
                image: web
                logging:
                  driver: json-file
                  options: {max-size: 10m}
        """))

    def test_version_checks_and_the_fast_classes(self):
        major, minor = (int(part) for part in yaml.__version__.split(".")[:2])
        self.assertGreaterEqual((major, minor), (0, 1))
        self.assertIs(yaml.__with_libyaml__, True)
        if yaml.__with_libyaml__:
            from yaml import CSafeDumper as Dumper, CSafeLoader as Loader
        else:   # what programs write; never taken here
            from yaml import SafeDumper as Dumper, SafeLoader as Loader
        where = self.folder({"pipeline.yml": "stages: [build, test]\ncache: {key: main}\n"})
        with open(os.path.join(where, "pipeline.yml")) as f:
            pipeline = yaml.load(f, Loader=Loader)
        with open(os.path.join(where, "pipeline.yml")) as f:
            self.assertEqual(yaml.load(f, Loader=yaml.FullLoader), pipeline)
        self.assertEqual(yaml.dump(pipeline, Dumper=Dumper, default_flow_style=None),
                         "cache: {key: main}\nstages: [build, test]\n")

    def test_playbook_filter_with_a_tagged_secret(self):
        # A tool that hides secrets before printing a file: its own tag,
        # read as an object, written back as the same tag with a mask.
        class Secret:
            def __init__(self, text):
                self.text = text

        class VaultLoader(yaml.SafeLoader):
            pass

        class MaskingDumper(yaml.SafeDumper):
            pass
        VaultLoader.add_constructor(
            "!vault", lambda loader, node: Secret(loader.construct_scalar(node)))
        MaskingDumper.add_representer(
            Secret, lambda dumper, data: dumper.represent_scalar("!vault", "*" * 8))
        play = yaml.load(dedent("""
            - hosts: all
              vars:
                user: deploy
                password: !vault |
                  $ANSIBLE_VAULT;1.1;AES256
                  6162636465
        """), Loader=VaultLoader)
        self.assertTrue(play[0]["vars"]["password"].text.startswith("$ANSIBLE_VAULT"))
        self.assertEqual(yaml.dump(play, Dumper=MaskingDumper, sort_keys=False),
                         "- hosts: all\n  vars:\n    user: deploy\n    password: !vault '********'\n")


# -- serialization of a program's own classes ---------------------------------

class Shape:
    def __init__(self, size):
        self.size = size


class Square(Shape):
    pass


class Circle(Shape):
    pass


class SerializationPrograms(ProgramTest):

    def test_yaml_objects_on_the_safe_classes(self):
        self.keep(yaml.SafeLoader, "yaml_constructors")
        self.keep(yaml.SafeDumper, "yaml_representers")

        class Version(yaml.YAMLObject):
            yaml_tag = "!version"
            yaml_loader = yaml.SafeLoader
            yaml_dumper = yaml.SafeDumper

            def __init__(self, text):
                self.parts = tuple(int(part) for part in text.split("."))

            @classmethod
            def from_yaml(cls, loader, node):
                return cls(loader.construct_scalar(node))

            @classmethod
            def to_yaml(cls, dumper, data):
                return dumper.represent_scalar(cls.yaml_tag, ".".join(map(str, data.parts)))

        class Point(yaml.YAMLObject):
            yaml_tag = "!point"
            yaml_loader = yaml.SafeLoader
            yaml_dumper = yaml.SafeDumper

            def __init__(self, x, y):
                self.x, self.y = x, y

            @classmethod
            def from_yaml(cls, loader, node):
                return cls(*loader.construct_sequence(node))

            @classmethod
            def to_yaml(cls, dumper, data):
                return dumper.represent_sequence(cls.yaml_tag, [data.x, data.y],
                                                 flow_style=True)

        class Pin(yaml.YAMLObject):
            yaml_tag = "!pin"
            yaml_loader = yaml.SafeLoader
            yaml_dumper = yaml.SafeDumper
        data = yaml.safe_load("requires: !version 3.11.2\npath: [!point [0, 0], !point [3, 4]]\n"
                              "pin: !pin {label: home, at: !point [1, 2]}\n")
        self.assertEqual(data["requires"].parts, (3, 11, 2))
        self.assertEqual([(p.x, p.y) for p in data["path"]], [(0, 0), (3, 4)])
        self.assertEqual((type(data["pin"]), data["pin"].label, data["pin"].at.y), (Pin, "home", 2))
        self.assertEqual(yaml.safe_dump(data),
                         "path:\n- !point [0, 0]\n- !point [3, 4]\npin: !pin\n  at: !point [1, 2]\n"
                         "  label: home\nrequires: !version 3.11.2\n")
        # Registered on the safe classes only.
        with self.assertRaises(ConstructorError):
            yaml.load("!pin {}", Loader=yaml.CSafeLoader)

    def test_yaml_objects_with_state_hooks(self):
        class L(yaml.SafeLoader):
            pass

        class D(yaml.SafeDumper):
            pass

        class Connection(yaml.YAMLObject):
            yaml_tag = "!connection"
            yaml_loader = L
            yaml_dumper = D

            def __init__(self, url):
                self.url = url
                self.socket = object()

            def __getstate__(self):
                return {"url": self.url}

            def __setstate__(self, state):
                self.url = state["url"]
                self.socket = "reopened"
        text = yaml.dump([Connection("db://a")], Dumper=D)
        self.assertEqual(text, "- !connection\n  url: db://a\n")
        back = yaml.load(text, Loader=L)[0]
        self.assertEqual((type(back), back.url, back.socket), (Connection, "db://a", "reopened"))

    def test_yaml_objects_with_slots(self):
        class L(yaml.SafeLoader):
            pass

        class D(yaml.SafeDumper):
            pass

        class Pixel(yaml.YAMLObject):
            __slots__ = ("x", "y", "colour")
            yaml_tag = "!pixel"
            yaml_loader = L
            yaml_dumper = D

            def __init__(self, x, y, colour):
                self.x, self.y, self.colour = x, y, colour

        class Tagged(Pixel):
            __slots__ = ("__dict__",)
            yaml_tag = "!tagged"

            def __setattr__(self, name, value):
                raise AttributeError("read-only")
        text = yaml.dump([Pixel(1, 2, [255, 0, 0])], Dumper=D, default_flow_style=None)
        self.assertEqual(text, "- !pixel\n  colour: [255, 0, 0]\n  x: 1\n  y: 2\n")
        back = yaml.load(text, Loader=L)[0]
        self.assertEqual((type(back), back.x, back.y, back.colour), (Pixel, 1, 2, [255, 0, 0]))
        tagged = Tagged.__new__(Tagged)
        for name, value in (("x", 3), ("y", 4), ("colour", None)):
            object.__setattr__(tagged, name, value)
        tagged.__dict__["note"] = "corner"
        text = yaml.dump(tagged, Dumper=D)
        self.assertEqual(text, "!tagged\ncolour: null\nnote: corner\nx: 3\ny: 4\n")
        back = yaml.load(text, Loader=L)
        self.assertEqual((back.x, back.y, back.colour, back.note, vars(back)),
                         (3, 4, None, "corner", {"note": "corner"}))
        with self.assertRaises(ConstructorError) as caught:
            yaml.load("!pixel {x: 1, z: 2}", Loader=L)
        self.assertEqual(str(caught.exception), dedent("""
            while constructing an object of Pixel
            found attributes it cannot hold: 'z'
              in "<unicode string>", line 1, column 1:
                !pixel {x: 1, z: 2}
                ^"""))

        class Odd(yaml.YAMLObject):
            yaml_tag = "!odd"
            yaml_loader = L
            yaml_dumper = D

            def __getstate__(self):
                return ["not", "a", "mapping"]
        with self.assertRaises(yaml.representer.RepresenterError):
            yaml.dump(Odd(), Dumper=D)

    def test_representers_for_common_types(self):
        @dataclasses.dataclass
        class Job:
            name: str
            retries: int = 3

        class Colour(enum.Enum):
            RED = "red"

        class Size(enum.IntEnum):
            LARGE = 3

        class ProgramDumper(yaml.SafeDumper):
            pass
        ProgramDumper.add_representer(
            Job, lambda dumper, job: dumper.represent_dict(dataclasses.asdict(job)))
        ProgramDumper.add_multi_representer(
            enum.Enum, lambda dumper, member: dumper.represent_data(member.value))
        ProgramDumper.add_representer(
            decimal.Decimal, lambda dumper, value: dumper.represent_scalar(T + "float", str(value)))
        ProgramDumper.add_multi_representer(
            pathlib.PurePath, lambda dumper, path: dumper.represent_str(path.as_posix()))
        ProgramDumper.add_representer(
            collections.OrderedDict, lambda dumper, data: dumper.represent_mapping(
                T + "map", data.items()))
        ProgramDumper.add_representer(collections.defaultdict, ProgramDumper.represent_dict)
        ProgramDumper.add_representer(frozenset, ProgramDumper.represent_set)
        counts = collections.defaultdict(int, {"b": 2, "a": 1})
        for value, text, back in (
                (Job("build"), "name: build\nretries: 3\n", {"name": "build", "retries": 3}),
                (Colour.RED, "red\n", "red"),
                (Size.LARGE, "3\n", 3),
                (decimal.Decimal("0.10"), "0.10\n", 0.1),
                (pathlib.PurePosixPath("/srv", "data"), "/srv/data\n", "/srv/data"),
                (pathlib.Path("rel/file.txt"), "rel/file.txt\n", "rel/file.txt"),
                (collections.OrderedDict([("z", 1), ("a", 2)]), "z: 1\na: 2\n", {"z": 1, "a": 2}),
                (counts, "a: 1\nb: 2\n", {"a": 1, "b": 2}),
                (frozenset(["x"]), "!!set\nx: null\n", {"x"}),
                # The same member twice is one object: an anchor, as for
                # any shared object.
                ([Colour.RED, Colour.RED], "- &id001 red\n- *id001\n", ["red", "red"])):
            with self.subTest(value=value):
                self.assertEqual(yaml.dump(value, Dumper=ProgramDumper), text)
                self.assertEqual(yaml.safe_load(text), back)
                with self.assertRaises(yaml.representer.RepresenterError):
                    yaml.safe_dump(value)

    def test_multi_representer_for_a_base_class(self):
        class ShapeDumper(yaml.SafeDumper):
            pass

        class ShapeLoader(yaml.SafeLoader):
            pass
        kinds = {cls.__name__.lower(): cls for cls in (Square, Circle)}
        ShapeDumper.add_multi_representer(Shape, lambda dumper, shape: dumper.represent_mapping(
            "!shape", {"kind": type(shape).__name__.lower(), "size": shape.size}))

        def construct_shape(loader, node):
            fields = loader.construct_mapping(node)
            return kinds[fields["kind"]](fields["size"])
        ShapeLoader.add_constructor("!shape", construct_shape)
        text = yaml.dump({"shapes": [Square(2), Circle(1.5)]}, Dumper=ShapeDumper)
        self.assertEqual(text, "shapes:\n- !shape\n  kind: square\n  size: 2\n"
                               "- !shape\n  kind: circle\n  size: 1.5\n")
        back = yaml.load(text, Loader=ShapeLoader)["shapes"]
        self.assertEqual([(type(s), s.size) for s in back], [(Square, 2), (Circle, 1.5)])

    def test_literal_blocks_for_multi_line_strings(self):
        def str_presenter(dumper, data):
            if len(data.splitlines()) > 1:
                return dumper.represent_scalar(T + "str", data, style="|")
            return dumper.represent_scalar(T + "str", data)
        data = {"run": "make\nmake test\n", "name": "ci", "note": "a\nb", "spaced": "x  \ny"}
        expected = ("name: ci\nnote: |-\n  a\n  b\nrun: |\n  make\n  make test\n"
                    "spaced: \"x  \\ny\"\n")
        # Registered through the function on the safe dumper...
        self.keep(yaml.SafeDumper, "yaml_representers")
        yaml.add_representer(str, str_presenter, Dumper=yaml.SafeDumper)
        self.assertEqual(yaml.safe_dump(data), expected)
        self.assertEqual(yaml.safe_load(expected), data)

        # ... or as an overridden method that is registered again.
        class BlockDumper(yaml.Dumper):
            def represent_str(self, data):
                if "\n" in data:
                    return self.represent_scalar(T + "str", data, style="|")
                return super().represent_str(data)
        BlockDumper.add_representer(str, BlockDumper.represent_str)
        self.assertEqual(yaml.dump(data, Dumper=BlockDumper), expected)

    def test_marker_string_classes_choose_the_style(self):
        # str subclasses that mark how a value is written, and a str Enum
        # written through the str representer for every subclass.
        class quoted(str):
            pass

        class literal(str):
            pass

        class Mode(str, enum.Enum):
            FAST = "fast"

        class StyleDumper(yaml.SafeDumper):
            pass
        StyleDumper.add_representer(quoted, lambda dumper, data: dumper.represent_scalar(
            T + "str", data, style='"'))
        StyleDumper.add_representer(literal, lambda dumper, data: dumper.represent_scalar(
            T + "str", data, style="|"))
        StyleDumper.add_multi_representer(str, StyleDumper.represent_str)
        data = {"name": quoted("web"), "script": literal("make\nmake install\n"),
                "mode": Mode.FAST, Mode.FAST: [quoted("on")]}
        text = yaml.dump(data, Dumper=StyleDumper, sort_keys=False)
        self.assertEqual(text, 'name: "web"\nscript: |\n  make\n  make install\nmode: fast\n'
                               'fast:\n- "on"\n')
        back = yaml.safe_load(text)
        self.assertEqual(back, {"name": "web", "script": "make\nmake install\n", "mode": "fast",
                                "fast": ["on"]})
        self.assertEqual([type(v) for v in back.values()], [str, str, str, list])

    def test_dumpers_without_aliases(self):
        class NoAliasDumper(yaml.Dumper):
            def ignore_aliases(self, data):
                return True

        class Patched(yaml.SafeDumper):
            pass
        Patched.ignore_aliases = lambda *args: True
        shared = {"retries": 3}
        data = {"a": shared, "b": [shared]}
        self.assertEqual(yaml.safe_dump(data),
                         "a: &id001\n  retries: 3\nb:\n- *id001\n")
        for dumper in (NoAliasDumper, Patched):
            with self.subTest(dumper=dumper.__name__):
                self.assertEqual(yaml.dump(data, Dumper=dumper),
                                 "a:\n  retries: 3\nb:\n- retries: 3\n")

    def test_dumpers_overriding_layout_hooks(self):
        # The usual ways to ask for indented block sequences and for blank
        # lines between top-level entries; libyaml writes the layout, so the
        # overrides load and run but change nothing.
        class IndentDumper(yaml.Dumper):
            def increase_indent(self, flow=False, indentless=False):
                return super(IndentDumper, self).increase_indent(flow, False)

        class SpacedDumper(yaml.SafeDumper):
            def write_line_break(self, data=None):
                super().write_line_break(data)
                if len(self.indents) == 1:
                    super().write_line_break()
        data = {"steps": ["lint", {"test": ["unit", "e2e"]}], "name": "ci"}
        for dumper in (IndentDumper, SpacedDumper):
            for options in ({}, {"indent": 4}):
                with self.subTest(dumper=dumper.__name__, options=options):
                    self.assertEqual(yaml.dump(data, Dumper=dumper, **options),
                                     yaml.dump(data, **options))
        self.assertEqual(yaml.dump(data, Dumper=IndentDumper, default_flow_style=False),
                         "name: ci\nsteps:\n- lint\n- test:\n  - unit\n  - e2e\n")

    def test_null_written_other_ways(self):
        for text, expected in (("", "a:\nb:\n-\n- 1\n"), ("~", "a: ~\nb:\n- ~\n- 1\n")):
            class NullDumper(yaml.SafeDumper):
                pass
            NullDumper.add_representer(
                type(None), lambda dumper, data, text=text: dumper.represent_scalar(T + "null", text))
            with self.subTest(null=text):
                out = yaml.dump({"a": None, "b": [None, 1]}, Dumper=NullDumper)
                self.assertEqual(out, expected)
                self.assertEqual(yaml.safe_load(out), {"a": None, "b": [None, 1]})

    def test_values_converted_before_representing(self):
        class ConvertingDumper(yaml.SafeDumper):
            def represent_data(self, data):
                if isinstance(data, decimal.Decimal):
                    data = float(data)
                elif isinstance(data, (pathlib.PurePath, uuid.UUID)):
                    data = str(data)
                return super().represent_data(data)
        data = {"price": decimal.Decimal("9.5"), "files": [pathlib.PurePosixPath("/a/b")],
                "id": uuid.UUID(int=1)}
        self.assertEqual(yaml.dump(data, Dumper=ConvertingDumper),
                         "files:\n- /a/b\nid: 00000000-0000-0000-0000-000000000001\nprice: 9.5\n")


# -- Python objects through dump and unsafe_load -------------------------------

class Slotted:
    __slots__ = ("a", "b")

    def __init__(self, a, b):
        self.a, self.b = a, b

    def __eq__(self, other):
        return type(other) is Slotted and (other.a, other.b) == (self.a, self.b)


class PairState:
    def __init__(self, a, b):
        self.a, self.b = a, b

    def __getstate__(self):
        return (self.a, self.b)

    def __setstate__(self, state):
        self.a, self.b = state

    def __eq__(self, other):
        return type(other) is PairState and (other.a, other.b) == (self.a, self.b)


class Rebuilt:
    def __init__(self, value):
        self.value = value

    def __reduce__(self):
        return (Rebuilt, (self.value,))

    def __eq__(self, other):
        return type(other) is Rebuilt and other.value == self.value


class KeywordOnly:
    def __new__(cls, *, name):
        self = super().__new__(cls)
        self.name = name
        return self

    def __getnewargs_ex__(self):
        return (), {"name": self.name}

    def __eq__(self, other):
        return type(other) is KeywordOnly and other.name == self.name


class Settings(dict):
    pass


class Row(list):
    pass


@dataclasses.dataclass(frozen=True)
class Frozen:
    a: int
    b: tuple = ()


class Level(enum.IntEnum):
    HIGH = 3


Coordinate = collections.namedtuple("Coordinate", "x y")


class Record(typing.NamedTuple):
    key: str
    count: int = 0


class TreeNode:
    def __init__(self, name, parent=None):
        self.name, self.parent, self.children = name, parent, []
        if parent is not None:
            parent.children.append(self)


class PythonObjectPrograms(ProgramTest):

    def test_objects_round_trip_through_dump_and_unsafe_load(self):
        m = __name__
        settings = Settings(debug=True)
        settings.source = "env"
        for value, text in (
                (Slotted(1, [2]), "!!python/object/new:%s.Slotted\nstate: !!python/tuple\n"
                                  "- null\n- a: 1\n  b:\n  - 2\n" % m),
                (PairState(1, "x"), "!!python/object/new:%s.PairState\nstate: !!python/tuple\n"
                                    "- 1\n- x\n" % m),
                (Rebuilt(5), "!!python/object/apply:%s.Rebuilt\n- 5\n" % m),
                (KeywordOnly(name="k"), "!!python/object/apply:copyreg.__newobj_ex__\nargs:\n"
                                        "- !!python/name:%s.KeywordOnly\n- !!python/tuple []\n"
                                        "- name: k\nstate:\n  name: k\n" % m),
                (settings, "!!python/object/new:%s.Settings\ndictitems:\n  debug: true\n"
                           "state:\n  source: env\n" % m),
                (Row([1, 2]), "!!python/object/new:%s.Row\nlistitems:\n- 1\n- 2\n" % m),
                (Frozen(1, (2,)), "!!python/object:%s.Frozen\na: 1\nb: !!python/tuple\n- 2\n" % m),
                (Coordinate(1, 2), "!!python/object/new:%s.Coordinate\n- 1\n- 2\n" % m),
                (Record("a"), "!!python/object/new:%s.Record\n- a\n- 0\n" % m),
                (datetime.timedelta(days=1, seconds=5),
                 "!!python/object/apply:datetime.timedelta\n- 1\n- 5\n- 0\n"),
                (decimal.Decimal("1.10"), "!!python/object/apply:decimal.Decimal\n- '1.10'\n"),
                (fractions.Fraction(1, 3), "!!python/object/apply:fractions.Fraction\n- 1\n- 3\n"),
                (uuid.UUID(int=5), "!!python/object:uuid.UUID\nint: 5\n"),
                (collections.OrderedDict(b=1, a=2),
                 "!!python/object/apply:collections.OrderedDict\n- - - b\n    - 1\n  - - a\n"
                 "    - 2\n"),
                ((1, "two"), "!!python/tuple\n- 1\n- two\n"),
                (1 - 2j, "!!python/complex 1.0-2.0j\n"),
                (range(3), "!!python/object/apply:builtins.range\n- 0\n- 3\n- 1\n"),
                (math.floor, "!!python/name:math.floor\n"),
                (Shape, "!!python/name:%s.Shape\n" % m),
                (math, "!!python/module:math\n"),
                ([len], "- !!python/name:builtins.len\n"),
                ({"f": len}, "f: !!python/name:builtins.len\n")):
            with self.subTest(value=value):
                self.assertEqual(yaml.dump(value), text)
                back = yaml.unsafe_load(text)
                self.assertEqual(back, value)
                self.assertIs(type(back), type(value))
                self.assertEqual(yaml.load(yaml.dump(value, Dumper=yaml.CDumper),
                                           Loader=yaml.CLoader), value)
        self.assertEqual(yaml.unsafe_load(yaml.dump(settings)).source, "env")
        # How an Enum member reduces depends on the interpreter's release;
        # either form reads back as the member itself.
        for dumper, loader in ((yaml.Dumper, yaml.UnsafeLoader), (yaml.CDumper, yaml.CLoader)):
            with self.subTest(dumper=dumper.__name__):
                text = yaml.dump([Level.HIGH], Dumper=dumper)
                self.assertTrue(text.startswith("- !!python/object/apply:"), text)
                self.assertIs(yaml.load(text, Loader=loader)[0], Level.HIGH)

    def test_shared_and_recursive_objects(self):
        root = TreeNode("root")
        TreeNode("leaf", root)
        looped = []
        looped.append(looped)
        for dumper, loader in ((yaml.Dumper, yaml.UnsafeLoader), (yaml.CDumper, yaml.CLoader)):
            with self.subTest(dumper=dumper.__name__):
                text = yaml.dump({"tree": root, "loop": looped}, Dumper=dumper)
                self.assertEqual(text, dedent("""
                    loop: &id001
                    - *id001
                    tree: &id002 !!python/object:%s.TreeNode
                      children:
                      - !!python/object:%s.TreeNode
                        children: []
                        name: leaf
                        parent: *id002
                      name: root
                      parent: null
                """) % (__name__, __name__))
                back = yaml.load(text, Loader=loader)
                tree = back["tree"]
                self.assertIs(tree.children[0].parent, tree)
                self.assertIs(back["loop"][0], back["loop"])

    def test_python_tags_are_refused_by_the_safe_loaders(self):
        where = self.folder({})
        marker = os.path.join(where, "ran")
        for source in ("!!python/object/apply:os.mkdir [%r]" % marker,
                       "!!python/object/new:os.mkdir [%r]" % marker,
                       "!!python/name:os.system ''",
                       "!!python/module:os ''",
                       "!!python/object:%s.Rebuilt {value: 1}" % __name__):
            for load in (yaml.safe_load, yaml.load, yaml.full_load,
                         lambda text: yaml.load(text, Loader=yaml.CSafeLoader),
                         lambda text: yaml.load(text, Loader=yaml.CFullLoader)):
                with self.subTest(source=source, load=load):
                    with self.assertRaises(ConstructorError) as caught:
                        load(source)
                    self.assertIn("could not determine a constructor for the tag "
                                  "'tag:yaml.org,2002:python/", str(caught.exception))
                    self.assertIn("\n    !!python/", str(caught.exception))
        self.assertFalse(os.path.exists(marker))

    def test_full_loader_reads_builtin_values_from_a_file(self):
        where = self.folder({"values.yaml": """
            point: !!python/tuple [1, 2]
            z: !!python/complex 1+2j
            raw: !!python/bytes aGk=
            none: !!python/none ''
            key: {!!python/tuple [a, b]: pair}
        """})
        with open(os.path.join(where, "values.yaml")) as f:
            values = yaml.load(f, Loader=yaml.FullLoader)
        self.assertEqual(values, {"point": (1, 2), "z": 1 + 2j, "raw": b"hi", "none": None,
                                  "key": {("a", "b"): "pair"}})


# -- safe_dump of Python values -------------------------------------------------

class SafeDumpPrograms(ProgramTest):

    def test_values_and_how_they_read_back(self):
        data = {
            "tuple": (1, (2, 3)),
            "bytes": b"\x00\xffdata",
            "aware": datetime.datetime(2021, 3, 4, 5, 6, 7, 890000, tzinfo=tz(-5, -30)),
            "utc": datetime.datetime(2021, 1, 1, tzinfo=UTC),
            "naive": datetime.datetime(2021, 1, 1, 12),
            "day": datetime.date(2020, 2, 29),
            "tags": {"b", "a"},
            "big": 10 ** 30,
            "ratio": 1e20,
            "tiny": 1e-7,
            "zero": -0.0,
        }
        text = yaml.safe_dump(data)
        self.assertEqual(text, dedent("""
            aware: 2021-03-04 05:06:07.890000-05:30
            big: 1000000000000000000000000000000
            bytes: !!binary |
              AP9kYXRh
            day: 2020-02-29
            naive: 2021-01-01 12:00:00
            ratio: 1.0e+20
            tags: !!set
              a: null
              b: null
            tiny: 1.0e-07
            tuple:
            - 1
            - - 2
              - 3
            utc: 2021-01-01 00:00:00+00:00
            zero: -0.0
        """))
        back = yaml.safe_load(text)
        self.assertEqual(back, dict(data, tuple=[1, [2, 3]]))
        self.assertEqual(back["aware"].utcoffset(), datetime.timedelta(hours=-5, minutes=-30))
        self.assertIsNone(back["naive"].tzinfo)
        self.assertEqual(math.copysign(1, back["zero"]), -1)

    AWKWARD = ["- item", ": x", "#x", "", " lead", "trail ", "\t", "null", "~", "0o17",
               "1_000", "0x1F", "1:30", "2001-01-01", "=", "<<", "y", "n", "a\nb", "a\n",
               "\n", "é", "😀", "\x00", "\x85", "\u2028", "\ufeff", "x: y", "a #b", "@a",
               "`a", "%a", "!a", "&a", "*a", "|", ">", "'", '"', "[a]", "{a}", "a,b", "?",
               "? a", "-", "--- a", "...", ".5", "-.5", "1e3", "1.0e+3", ".inf", ".NaN",
               "True", "ON", "0777", "09", "+1", "1.", "190:20:30", "2001-1-1",
               "2001-12-14t21:59:43.10-05:00", "\\", "a\tb", " ", "a  b", "x" * 200,
               " ".join(["word"] * 30), "\r", "a\r\nb", "\x7f", "\x1b", "\U0010ffff"]

    def test_awkward_strings_read_back_unchanged(self):
        for options in ({}, {"allow_unicode": True}, {"default_flow_style": True},
                        {"width": 10}, {"canonical": True}, {"default_style": '"'},
                        {"default_style": "'"}, {"default_style": "|"}):
            for dumper, loader in ((yaml.SafeDumper, yaml.SafeLoader),
                                   (yaml.CSafeDumper, yaml.CSafeLoader),
                                   (yaml.Dumper, yaml.UnsafeLoader)):
                with self.subTest(options=options, dumper=dumper.__name__):
                    for value in self.AWKWARD:
                        for data in (value, [value], {value: value}):
                            text = yaml.dump(data, Dumper=dumper, **options)
                            self.assertEqual(yaml.load(text, Loader=loader), data, text)

    def test_numbers_keep_their_type(self):
        for value in (1, -3, 10 ** 40, 1.5, 0.1 + 0.2, 1e-300, 2.5e-8, 123456789.123456789,
                      math.inf, -math.inf, True, False, None):
            for options in ({}, {"default_style": '"'}, {"canonical": True},
                            {"default_flow_style": True}):
                with self.subTest(value=value, options=options):
                    back = yaml.safe_load(yaml.safe_dump([value], **options))[0]
                    self.assertEqual((back, type(back)), (value, type(value)))
        self.assertTrue(math.isnan(yaml.safe_load(yaml.safe_dump(math.nan))))


# -- error reports ------------------------------------------------------------

class ErrorPrograms(ProgramTest):

    MISTAKES = (
        ("tab indentation", "server:\n\tport: 80\n", yaml.scanner.ScannerError, dedent("""
            while scanning for the next token
            found character that cannot start any token
              in "<unicode string>", line 2, column 1:
                \tport: 80
                ^""")),
        ("unclosed quote", "name: 'web\nport: 80\n", yaml.scanner.ScannerError,
         # The stream ends on an empty line: the snippet is that line.
         "while scanning a quoted scalar\n"
         '  in "<unicode string>", line 1, column 7:\n'
         "    name: 'web\n"
         "          ^\n"
         "found unexpected end of stream\n"
         '  in "<unicode string>", line 3, column 1:\n'
         "    \n"
         "    ^"),
        ("bad indentation", "a:\n  b: 1\n c: 2\n", yaml.parser.ParserError, dedent("""
            while parsing a block mapping
              in "<unicode string>", line 1, column 1:
                a:
                ^
            did not find expected key
              in "<unicode string>", line 3, column 2:
                 c: 2
                 ^""")),
        ("mapping after a list", "- a\n- b\nc: d\n", yaml.parser.ParserError, dedent("""
            while parsing a block collection
              in "<unicode string>", line 1, column 1:
                - a
                ^
            did not find expected '-' indicator
              in "<unicode string>", line 3, column 1:
                c: d
                ^""")),
        ("value after a value", "key: value: more\n", yaml.scanner.ScannerError, dedent("""
            mapping values are not allowed in this context
              in "<unicode string>", line 1, column 11:
                key: value: more
                          ^""")),
        ("duplicate anchor", "a: &x 1\nb: &x 2\n", yaml.composer.ComposerError, dedent("""
            found duplicate anchor; first occurrence
              in "<unicode string>", line 1, column 4:
                a: &x 1
                   ^
            second occurrence
              in "<unicode string>", line 2, column 4:
                b: &x 2
                   ^""")),
        ("undefined alias", "a: *nowhere\n", yaml.composer.ComposerError, dedent("""
            found undefined alias
              in "<unicode string>", line 1, column 4:
                a: *nowhere
                   ^""")),
        ("unknown tag", "when: !now\n", ConstructorError, dedent("""
            could not determine a constructor for the tag '!now'
              in "<unicode string>", line 1, column 7:
                when: !now
                      ^""")),
        ("python object", "x: !!python/object:os.system {}\n", ConstructorError, dedent("""
            could not determine a constructor for the tag 'tag:yaml.org,2002:python/object:os.system'
              in "<unicode string>", line 1, column 4:
                x: !!python/object:os.system {}
                   ^""")),
        ("bad escape", 'path: "C:\\dir"\n', yaml.scanner.ScannerError, dedent("""
            while parsing a quoted scalar
              in "<unicode string>", line 1, column 7:
                path: "C:\\dir"
                      ^
            found unknown escape character
              in "<unicode string>", line 1, column 10:
                path: "C:\\dir"
                         ^""")),
        ("bad integer", "port: !!int eighty\n", ConstructorError, dedent("""
            while constructing an integer
            invalid value 'eighty' (invalid literal for int() with base 10: 'eighty')
              in "<unicode string>", line 1, column 7:
                port: !!int eighty
                      ^""")),
        ("unhashable key", "? [a, b]\n: c\n", ConstructorError, dedent("""
            while constructing a mapping
              in "<unicode string>", line 1, column 1:
                ? [a, b]
                ^
            found unhashable key
              in "<unicode string>", line 1, column 3:
                ? [a, b]
                  ^""")),
        ("two documents", "a: 1\n---\nb: 2\n", yaml.composer.ComposerError, dedent("""
            expected a single document in the stream
              in "<unicode string>", line 1, column 1:
                a: 1
                ^
            but found another document
              in "<unicode string>", line 2, column 1:
                ---
                ^""")),
    )

    def test_common_mistakes_name_the_problem_and_show_the_line(self):
        for label, source, error, text in self.MISTAKES:
            for loader in (yaml.SafeLoader, yaml.CSafeLoader):
                with self.subTest(mistake=label, loader=loader.__name__):
                    with self.assertRaises(error) as caught:
                        yaml.load(source, Loader=loader)
                    self.assertEqual(str(caught.exception), text)
                    self.assertIsInstance(caught.exception, yaml.MarkedYAMLError)

    def test_report_with_position_problem_and_context(self):
        def check(text):
            try:
                yaml.safe_load(text)
            except yaml.YAMLError as exc:
                if hasattr(exc, "problem_mark"):
                    mark = exc.problem_mark
                    return "Error position: (%s:%s) %s (%s)" % (
                        mark.line + 1, mark.column + 1, exc.problem, exc.context)
                return "Error: %s" % exc
            return "ok"
        for text, report in (
                ("a: 1\n", "ok"),
                ("list: [1, 2\nnext: x\n", "Error position: (2:5) did not find expected ',' "
                                           "or ']' (while parsing a flow sequence)"),
                ("a: b\n  c: d\n", "Error position: (2:4) mapping values are not allowed "
                                   "in this context (None)"),
                ("a: !!float x\n", "Error position: (1:4) invalid value 'x' (could not "
                                   "convert string to float: 'x') (while constructing a float)"),
                (b"a: \xff\n", "Error: unacceptable byte #xff: invalid leading UTF-8 octet\n"
                               "  in \"<byte string>\", position 3")):
            with self.subTest(text=text):
                self.assertEqual(check(text), report)

    def test_errors_cross_process_boundaries(self):
        # Worker pools send exceptions back pickled.
        for source in ("a: [1", "a: !!int x", "a: *b", b"\xff"):
            with self.subTest(source=source):
                with self.assertRaises(yaml.YAMLError) as caught:
                    yaml.safe_load(source)
                copy = pickle.loads(pickle.dumps(caught.exception))
                self.assertIs(type(copy), type(caught.exception))
                self.assertEqual(str(copy), str(caught.exception))

    def test_text_with_a_lone_surrogate(self):
        # Text decoded with errors="surrogateescape" (file names, bad input)
        # is refused as any other character the reader cannot take.
        text = "name: caf" + b"\xe9".decode("utf-8", "surrogateescape") + "\n"
        for loader in (yaml.SafeLoader, yaml.CSafeLoader, yaml.BaseLoader, yaml.UnsafeLoader):
            with self.subTest(loader=loader.__name__):
                with self.assertRaises(yaml.reader.ReaderError) as caught:
                    yaml.load(text, Loader=loader)
                self.assertEqual(str(caught.exception),
                                 "unacceptable character #xdce9: invalid Unicode character\n"
                                 '  in "<unicode string>", position 9')
                self.assertEqual((caught.exception.position, caught.exception.character),
                                 (9, 0xDCE9))
        with self.assertRaises(yaml.YAMLError):
            list(yaml.scan(text))

    def test_a_constructor_raises_its_own_exception(self):
        class Strict(yaml.SafeLoader):
            pass

        def port(loader, node):
            value = int(loader.construct_scalar(node))
            if not 0 < value < 65536:
                raise ValueError("port out of range: %d" % value)
            return value
        Strict.add_constructor("!port", port)
        self.assertEqual(yaml.load("p: !port 80", Loader=Strict), {"p": 80})
        with self.assertRaisesRegex(ValueError, "port out of range: 70000"):
            yaml.load("p: !port 70000", Loader=Strict)


# -- linters, formatters and diff tools ---------------------------------------

class ToolPrograms(ProgramTest):

    SOURCE = "a: 1\nb:\n  - x\n  - 'y'\nc: {d: e}\na: 2\nlong: " + "z" * 80 + "\n"

    def test_token_linter(self):
        problems = []
        for token in yaml.scan(self.SOURCE):
            mark = token.start_mark
            if isinstance(token, yaml.ScalarToken) and token.style == "'":
                problems.append("%d:%d: single quotes\n%s" % (mark.line + 1, mark.column + 1,
                                                              mark.get_snippet()))
            elif isinstance(token, yaml.FlowMappingStartToken):
                problems.append("%d:%d: flow mapping" % (mark.line + 1, mark.column + 1))
        for number, line in enumerate(self.SOURCE.splitlines(), 1):
            if len(line) > 80:
                problems.append("%d:81: line too long (%d > 80)" % (number, len(line)))
        self.assertEqual(problems, ["4:5: single quotes\n      - 'y'\n        ^",
                                    "5:4: flow mapping", "7:81: line too long (86 > 80)"])

    def test_duplicate_key_linter(self):
        def duplicates(node, found):
            if isinstance(node, yaml.MappingNode):
                seen = {}
                for key, value in node.value:
                    if key.value in seen:
                        found.append("line %d: duplicate key %r (first on line %d)"
                                     % (key.start_mark.line + 1, key.value, seen[key.value]))
                    seen.setdefault(key.value, key.start_mark.line + 1)
                    duplicates(value, found)
            elif isinstance(node, yaml.SequenceNode):
                for item in node.value:
                    duplicates(item, found)
            return found
        self.assertEqual(duplicates(yaml.compose(self.SOURCE), []),
                         ["line 6: duplicate key 'a' (first on line 1)"])
        self.assertEqual(yaml.safe_load(self.SOURCE)["a"], 2)

    def test_yaml_diff(self):
        def leaves(node, path=""):
            if isinstance(node, yaml.MappingNode):
                for key, value in node.value:
                    yield from leaves(value, "%s/%s" % (path, key.value))
            elif isinstance(node, yaml.SequenceNode):
                for index, item in enumerate(node.value):
                    yield from leaves(item, "%s/%d" % (path, index))
            else:
                yield path, (node.tag.rsplit(":", 1)[-1], node.value)

        def diff(old, new):
            a, b = dict(leaves(yaml.compose(old))), dict(leaves(yaml.compose(new)))
            return ["%s: %s -> %s" % (path, a.get(path), b.get(path))
                    for path in sorted(set(a) | set(b)) if a.get(path) != b.get(path)]
        self.assertEqual(diff("x: 1\ny: [a, b]\nz: {k: v}\n", "x: '1'\ny: [a, c]\nz: {k: v}\nw: 3\n"),
                         ["/w: None -> ('int', '3')",
                          "/x: ('int', '1') -> ('str', '1')",
                          "/y/1: ('str', 'b') -> ('str', 'c')"])

    def test_formatter(self):
        source = "a:   [1,2]\nb:    {c:  d}\n# gone\ne: >\n  folded\n  text\nf:\n- x\n"
        expected = "a: [1, 2]\nb: {c: d}\ne: >\n    folded text\nf:\n- x\n"
        self.assertEqual(yaml.emit(yaml.parse(source), indent=4), expected)
        self.assertEqual(yaml.serialize(yaml.compose(source), indent=4), expected)
        out = io.StringIO()
        self.assertIsNone(yaml.emit(yaml.parse(source), out, indent=4))
        self.assertEqual(out.getvalue(), expected)

    def test_event_rewriter(self):
        events = []
        for event in yaml.parse("image: app:old\nsidecars: [app:old, proxy]\nold: 1\n"):
            if isinstance(event, yaml.ScalarEvent) and event.value == "app:old":
                event = yaml.ScalarEvent(event.anchor, event.tag, event.implicit, "app:new",
                                         style=event.style)
            events.append(event)
        # In a flow sequence `app:new` cannot be plain; quoted, the event's
        # implicit flags ask for the non-specific tag, which reads back as
        # the same text.
        text = yaml.emit(events)
        self.assertEqual(text, "image: app:new\nsidecars: [! 'app:new', proxy]\nold: 1\n")
        self.assertEqual(yaml.safe_load(text),
                         {"image": "app:new", "sidecars": ["app:new", "proxy"], "old": 1})

    def test_hand_built_nodes(self):
        def scalar(value, tag="str", **style):
            return yaml.ScalarNode(T + tag, value, **style)
        shared = yaml.SequenceNode(T + "seq", [scalar("x")], flow_style=True)
        root = yaml.MappingNode(T + "map", [
            (scalar("name"), scalar("web")),
            (scalar("replicas"), scalar("3", "int")),
            (scalar("port"), scalar("8080")),
            (scalar("enabled"), scalar("yes", "bool")),
            (scalar("script"), scalar("a\nb\n", style="|")),
            (scalar("first"), shared),
            (scalar("again"), shared),
            (scalar("custom"), yaml.ScalarNode("!thing", "v")),
        ])
        text = yaml.serialize(root)
        self.assertEqual(text, "name: web\nreplicas: 3\nport: '8080'\nenabled: yes\n"
                               "script: |\n  a\n  b\nfirst: &id001 [x]\nagain: *id001\n"
                               "custom: !thing v\n")

        class ThingLoader(yaml.SafeLoader):
            pass
        ThingLoader.add_constructor("!thing", lambda loader, node: ("thing", node.value))
        data = yaml.load(text, Loader=ThingLoader)
        self.assertEqual(data, {"name": "web", "replicas": 3, "port": "8080", "enabled": True,
                                "script": "a\nb\n", "first": ["x"], "again": ["x"],
                                "custom": ("thing", "v")})
        self.assertIs(data["first"], data["again"])

    def test_hand_built_events(self):
        events = [yaml.StreamStartEvent(), yaml.DocumentStartEvent(explicit=True),
                  yaml.MappingStartEvent(None, None, True),
                  yaml.ScalarEvent(None, None, (True, False), "name"),
                  yaml.ScalarEvent(None, None, (True, False), "web"),
                  yaml.ScalarEvent(None, None, (False, True), "yes"),
                  yaml.SequenceStartEvent("ports", None, True, flow_style=True),
                  yaml.ScalarEvent(None, None, (True, True), "80"),
                  yaml.SequenceEndEvent(),
                  yaml.ScalarEvent(None, None, (True, False), "again"),
                  yaml.AliasEvent("ports"),
                  yaml.MappingEndEvent(), yaml.DocumentEndEvent(explicit=True),
                  yaml.StreamEndEvent()]
        text = yaml.emit(events)
        self.assertEqual(text, "---\nname: web\n'yes': &ports [80]\nagain: *ports\n...\n")
        self.assertEqual(yaml.safe_load(text), {"name": "web", "yes": [80], "again": [80]})

    def test_documents_split_and_joined_at_the_node_level(self):
        nodes = list(yaml.compose_all("--- 1\n--- [a, &x b, *x]\n--- {k: v}\n"))
        self.assertEqual([node.id for node in nodes], ["scalar", "sequence", "mapping"])
        self.assertEqual(yaml.serialize_all(nodes[1:], explicit_start=True),
                         "--- [a, &id001 b, *id001]\n--- {k: v}\n")
        self.assertEqual(yaml.serialize_all(nodes, encoding="utf-8"),
                         b"1\n--- [a, &id001 b, *id001]\n--- {k: v}\n")


# -- converters and translation files -------------------------------------------

class ConversionPrograms(ProgramTest):

    def test_json_to_yaml_and_back(self):
        document = {"name": "x", "flags": ["yes", "no", "on", "null", "", "1.0", "0x10",
                                           "2001-01-01", "~", "-"],
                    "numbers": [1, 2.5, -0.5, 1e300, 12345678901234567890],
                    "nested": {"empty_list": [], "empty_map": {}, "none": None, "t": True},
                    "text": "café ☕"}
        as_yaml = yaml.safe_dump(json.loads(json.dumps(document)), allow_unicode=True,
                                 sort_keys=False)
        self.assertEqual(as_yaml, dedent("""
            name: x
            flags:
            - 'yes'
            - 'no'
            - 'on'
            - 'null'
            - ''
            - '1.0'
            - '0x10'
            - '2001-01-01'
            - '~'
            - '-'
            numbers:
            - 1
            - 2.5
            - -0.5
            - 1.0e+300
            - 12345678901234567890
            nested:
              empty_list: []
              empty_map: {}
              none: null
              t: true
            text: café ☕
        """))
        self.assertEqual(json.loads(json.dumps(yaml.safe_load(as_yaml))), document)
        # Characters beyond the first plane are escaped, and read back.
        emoji = {"text": "ok 😀"}
        self.assertEqual(yaml.safe_load(yaml.safe_dump(emoji, allow_unicode=True)), emoji)

    def test_translation_catalogue(self):
        catalogue = {"de": {"greeting": "Grüß Gott", "bye": "Tschüß"},
                     "ja": {"greeting": "こんにちは"}}
        where = self.folder({})
        path = os.path.join(where, "messages.yaml")
        with open(path, "wb") as f:
            yaml.safe_dump(catalogue, f, allow_unicode=True, encoding="utf-8")
        with open(path, "rb") as f:
            raw = f.read()
        self.assertEqual(raw.decode("utf-8"), "de:\n  bye: Tschüß\n  greeting: Grüß Gott\n"
                                              "ja:\n  greeting: こんにちは\n")
        with open(path, encoding="utf-8") as f:
            self.assertEqual(yaml.safe_load(f), catalogue)
        with open(path, "rb") as f:
            self.assertEqual(yaml.safe_load(f), catalogue)
        # Without allow_unicode the text is ASCII with escapes.
        ascii_text = yaml.safe_dump(catalogue["de"])
        self.assertEqual(ascii_text, 'bye: "Tsch\\xFC\\xDF"\ngreeting: "Gr\\xFC\\xDF Gott"\n')
        self.assertEqual(yaml.safe_load(ascii_text), catalogue["de"])
        # Files written by editors that put a byte order mark first.
        for encoding in ("utf-8-sig", "utf-16"):
            with self.subTest(encoding=encoding):
                data = "greeting: こんにちは\n".encode(encoding)
                self.assertEqual(yaml.safe_load(io.BytesIO(data)), {"greeting": "こんにちは"})
                self.assertEqual(yaml.safe_load(data), {"greeting": "こんにちは"})

    def test_base64_payloads(self):
        payload = bytes(range(256))
        text = yaml.safe_dump({"blob": payload})
        self.assertEqual(text.splitlines()[0], "blob: !!binary |")
        self.assertEqual(yaml.safe_load(text), {"blob": payload})
        self.assertEqual(base64.b64decode("".join(text.splitlines()[1:])), payload)

    def test_command_line_sessions(self):
        where = self.folder({"deploy.yaml": InfrastructurePrograms.MANIFESTS,
                             "broken.yaml": "a: [1\n"})
        deploy, broken = (os.path.join(where, name) for name in ("deploy.yaml", "broken.yaml"))
        status, out, err = run_tool("to-json", deploy)
        self.assertEqual((status, err), (0, ""))
        documents = [json.loads(line) for line in out.splitlines()]
        self.assertEqual(documents, list(yaml.safe_load_all(InfrastructurePrograms.MANIFESTS)))
        status, back, err = run_tool("from-json", stdin=out.encode())
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(list(yaml.safe_load_all(back)), documents)
        status, out, err = run_tool("validate", deploy, broken)
        self.assertEqual((status, out), (1, ""))
        self.assertEqual(err, "%s:2:1: did not find expected ',' or ']' (while parsing a flow "
                              "sequence at line 1, column 4)\n" % broken)
        status, out, err = run_tool("to-json", stdin="\ufeffa: [1, café]\n".encode("utf-8"))
        self.assertEqual((status, out, err), (0, '{"a": [1, "café"]}\n', ""))


if __name__ == "__main__":
    import unittest
    unittest.main()
