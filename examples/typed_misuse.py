"""Mistakes the package's types catch: `mypy --strict` must report exactly
the error written at the end of each marked line, and nothing else.

Every marked line fails at run time too (or does something other than what
it seems to say), so the types are not stricter than the package; this file
is only type-checked, never run.
"""

import io
from decimal import Decimal
from fractions import Fraction
from typing import Any

import yaml


def construct_env(loader: yaml.SafeLoader, node: yaml.Node) -> str:
    return loader.construct_scalar(node)


def construct_python(loader: yaml.FullLoader, node: yaml.Node) -> Any:
    return loader.construct_python_tuple(node)


def represent_fraction(dumper: yaml.SafeDumper, data: Fraction) -> yaml.ScalarNode:
    return dumper.represent_scalar("tag:yaml.org,2002:float", str(float(data)))


class ListLoader(yaml.SafeLoader):
    def construct_mapping(self, node: yaml.Node) -> list[Any]:  # expect: override
        return []


class Badge(yaml.YAMLObject):
    yaml_tag = 5  # expect: assignment


def misuse(data: Any, text: str, out: io.StringIO, binary: io.BytesIO) -> None:
    yaml.safe_load(42)  # expect: arg-type
    yaml.load(text, Loader=yaml.SafeDumper)  # expect: arg-type
    written: str = yaml.dump(data, stream=out)  # expect: assignment
    encoded: str = yaml.safe_dump(data, encoding="utf-8")  # expect: assignment
    yaml.dump(data, 42)  # expect: call-overload
    yaml.safe_dump(data, binary)  # expect: arg-type
    yaml.safe_dump(data, indent="4")  # expect: call-overload
    yaml.safe_load_all(text)[0]  # expect: index
    # Registered on Loader, FullLoader and UnsafeLoader, never on SafeLoader.
    yaml.add_constructor("!env", construct_env)  # expect: arg-type
    yaml.SafeLoader.add_constructor("!tuple", construct_python)  # expect: arg-type
    yaml.SafeDumper.add_representer(Decimal, represent_fraction)  # expect: arg-type
    for token in yaml.scan(text):
        print(token.value)  # expect: attr-defined
    try:
        yaml.safe_load(text)
    except yaml.MarkedYAMLError as exc:
        print(exc.problem_mark.line)  # expect: union-attr
