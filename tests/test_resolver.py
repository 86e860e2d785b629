"""YAML 1.1 implicit typing of plain scalars, as the composer and the
serializer ask for it."""

import re
import unittest

from tests.support.project import OwnPackageTest

import yaml
from yaml.nodes import MappingNode, ScalarNode, SequenceNode
from yaml.resolver import BaseResolver, Resolver

T = "tag:yaml.org,2002:"
PLAIN, QUOTED = (True, False), (False, True)

# value -> type name it resolves to when plain
TYPED = {
    "null": ["", "~", "null", "Null", "NULL"],
    "bool": ["yes", "Yes", "YES", "no", "No", "NO", "true", "True", "TRUE",
             "false", "False", "FALSE", "on", "On", "ON", "off", "Off", "OFF"],
    "int": ["0", "1", "-1", "+7", "1_000", "0b1010", "-0b1_0", "0x1F", "0xdead_BEEF",
            "017", "-017", "0_", "190:20:30", "1:0", "+12:59", "12:30"],
    "float": ["1.5", "-1.5", "1.", ".5", "1.0e+3", "1.0E-3", "-2.5e-3", "1_000.5", "1_0.5_",
              ".inf", ".Inf", ".INF", "-.inf", "+.inf", ".nan", ".NaN", ".NAN",
              "190:20:30.15", "6.8523015e+5"],
    "timestamp": ["2001-12-14", "2001-12-14t21:59:43.10-05:00",
                  "2001-12-14 21:59:43.10 -5", "2001-12-15T02:59:43.1Z",
                  "2001-12-15 2:59:43.10", "2002-1-1 0:00:00"],
    "merge": ["<<"],
    "value": ["="],
    # Words that look typed but are not, in YAML 1.1.
    "str": ["y", "n", "Y", "N", "yES", "tRUE", "nULL", "none", "NaN", "inf", ".",
            "-", "09", "0o17", "1e3", "1E3", "1e+3", "1.0e3", "-.5", "+.5",
            "+.nan", "2001-1-1", "0b", "0x", "0b2", "1:60", "1.2.3", "1e", "e3",
            "2001-12-14x", "1,000", "0x1G", "abc", " 1", "1 ", "<", "==",
            "2001-12-14 21:59", "~~", "null null", "- 1"],
}


class ImplicitTypes(OwnPackageTest):

    def test_plain_values(self):
        r = Resolver()
        for kind, values in TYPED.items():
            for value in values:
                with self.subTest(value=value):
                    self.assertEqual(r.resolve(ScalarNode, value, PLAIN), T + kind)

    def test_quoted_and_untyped_values_are_strings(self):
        r = Resolver()
        for values in TYPED.values():
            for value in values:
                with self.subTest(value=value):
                    self.assertEqual(r.resolve(ScalarNode, value, QUOTED), T + "str")
                    self.assertEqual(r.resolve(ScalarNode, value, (False, False)), T + "str")

    def test_base_resolver_never_types(self):
        r = BaseResolver()
        for values in TYPED.values():
            for value in values:
                self.assertEqual(r.resolve(ScalarNode, value, PLAIN), T + "str")

    def test_collections(self):
        for cls in (BaseResolver, Resolver):
            r = cls()
            self.assertEqual(r.resolve(SequenceNode, None, True), T + "seq")
            self.assertEqual(r.resolve(MappingNode, [], False), T + "map")

    def test_composer_and_serializer_ask_the_same(self):
        # Through the real parser: plain, quoted and explicitly tagged.
        root = yaml.compose("[1, '1', \"1\", !!str 1, ~, '', yes, 'yes', 1.0, x]")
        self.assertEqual([n.tag[len(T):] for n in root.value],
                         ["int", "str", "str", "str", "null", "str", "bool", "str",
                          "float", "str"])


class Registration(OwnPackageTest):

    def test_added_resolver_stays_on_its_class(self):
        class Mine(Resolver):
            pass
        Mine.add_implicit_resolver("!color", re.compile(r"#[0-9a-f]{6}"), "#")
        Mine.add_implicit_resolver("!empty", r"", "")
        Mine.add_implicit_resolver("!any", r"any.*", None)
        self.assertEqual(Mine().resolve(ScalarNode, "#00ff00", PLAIN), "!color")
        self.assertEqual(Mine().resolve(ScalarNode, "anything", PLAIN), "!any")
        # Earlier rows win: the empty value stays null.
        self.assertEqual(Mine().resolve(ScalarNode, "", PLAIN), T + "null")
        self.assertEqual(Resolver().resolve(ScalarNode, "#00ff00", PLAIN), T + "str")
        for other in (Resolver, BaseResolver, yaml.Loader, yaml.Dumper):
            with self.subTest(cls=other.__name__):
                tags = {tag for rows in other.yaml_implicit_resolvers.values()
                        for tag, _ in rows}
                self.assertFalse(tags & {"!color", "!empty", "!any"})

    def test_module_function_reaches_loader_and_dumper(self):
        class L(yaml.Loader):
            pass

        class D(yaml.Dumper):
            pass
        yaml.add_implicit_resolver("!pct", r"[0-9]+%", "0123456789", Loader=L, Dumper=D)
        L.add_constructor("!pct", lambda loader, node: int(node.value[:-1]) / 100)
        self.assertEqual(yaml.load("[50%, '50%']", Loader=L), [0.5, "50%"])
        self.assertEqual(yaml.load("50%"), "50%")
        # The dumper now quotes text that would read back as a percentage.
        self.assertEqual(yaml.dump(["50%"], Dumper=D), "- '50%'\n")
        self.assertEqual(yaml.dump(["50%"]), "- 50%\n")


if __name__ == "__main__":
    unittest.main()
