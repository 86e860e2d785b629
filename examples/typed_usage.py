"""A small fully annotated program over the package's typed API.

It loads an invoice with the safe loader, checks it through a loader of its
own that refuses duplicate keys and expands `!env` tags, writes it back with
a dumper that knows `Decimal`, round-trips a `YAMLObject` class, reports
where a broken document goes wrong, and at the event level (the native
parser and emitter) lists where each mapping key sits and re-emits the text.
CI type-checks it with `mypy --strict` against the installed package, then
runs it; it exits with status 1 when a round trip changes the data.

    python examples/typed_usage.py examples/invoice.yaml
"""

import io
import os
import sys
from dataclasses import dataclass
from decimal import Decimal
from typing import Any, NamedTuple

import yaml
from yaml._yaml import (
    AliasEvent,
    CEmitter,
    CParser,
    MappingEndEvent,
    MappingStartEvent,
    ScalarEvent,
    ScannerError,
    SequenceEndEvent,
    SequenceStartEvent,
    StreamStartEvent,
    get_version_string,
)

# ---------------------------------------------------------------------------
# The package API, as programs use it


class StrictLoader(yaml.SafeLoader):
    """The safe types, duplicate keys refused, `!env NAME` read from the
    environment."""

    def construct_mapping(self, node: yaml.Node, deep: bool = False) -> dict[Any, Any]:
        if isinstance(node, yaml.MappingNode):
            seen: set[Any] = set()
            for key_node, _ in node.value:
                key = self.construct_object(key_node, deep=True)
                if key in seen:
                    raise yaml.constructor.ConstructorError(
                        "while constructing a mapping", node.start_mark,
                        "found duplicate key %r" % (key,), key_node.start_mark)
                seen.add(key)
        return super().construct_mapping(node, deep=deep)


def construct_env(loader: StrictLoader, node: yaml.Node) -> str:
    name = loader.construct_scalar(node)
    return os.environ.get(name, "")


StrictLoader.add_constructor("!env", construct_env)


class InvoiceDumper(yaml.SafeDumper):
    """The safe types plus Decimal, written as a float."""


def represent_decimal(dumper: InvoiceDumper, data: Decimal) -> yaml.ScalarNode:
    return dumper.represent_scalar("tag:yaml.org,2002:float", str(data))


InvoiceDumper.add_representer(Decimal, represent_decimal)


class Item(yaml.YAMLObject):
    """An invoice line, loaded from and dumped as `!item {sku, quantity}`."""

    yaml_tag = "!item"
    yaml_loader = yaml.SafeLoader
    yaml_dumper = yaml.SafeDumper

    def __init__(self, sku: str, quantity: int) -> None:
        self.sku = sku
        self.quantity = quantity

    def __eq__(self, other: object) -> bool:
        return (isinstance(other, Item) and (self.sku, self.quantity)
                == (other.sku, other.quantity))

    def __repr__(self) -> str:
        return "Item(%r, %r)" % (self.sku, self.quantity)


def load_invoice(path: str) -> dict[str, Any]:
    with open(path, encoding="utf-8") as f:
        data = yaml.safe_load(f)
    if not isinstance(data, dict):
        raise SystemExit("%s: expected a mapping at the top" % path)
    return data


def problem(text: str) -> str:
    """What is wrong with `text`, with the line and column, and the line
    itself under a caret when the mark has it."""
    try:
        yaml.load(text, Loader=StrictLoader)
    except yaml.YAMLError as exc:
        if isinstance(exc, yaml.MarkedYAMLError) and exc.problem_mark is not None:
            mark = exc.problem_mark
            snippet = mark.get_snippet()
            where = "line %d, column %d" % (mark.line + 1, mark.column + 1)
            return "%s at %s%s" % (exc.problem, where, "\n" + snippet if snippet else "")
        return str(exc)
    return "no problem"


def api_tour(path: str) -> list[str]:
    """Loads, dumps and reloads with the package's functions and classes;
    the round trips that changed the data."""
    changed: list[str] = []
    invoice = load_invoice(path)
    print("invoice %s for %s, %d products"
          % (invoice["invoice"], invoice["bill-to"]["family"], len(invoice["product"])))

    text: str = yaml.dump(invoice, Dumper=InvoiceDumper, sort_keys=False)
    raw: bytes = yaml.safe_dump(invoice, encoding="utf-8", allow_unicode=True)
    buffer = io.StringIO()
    yaml.dump_all([invoice, {"total": Decimal("4443.52")}], buffer, Dumper=InvoiceDumper,
                  explicit_start=True)
    print("dumped as %d characters, %d bytes, %d characters in a stream"
          % (len(text), len(raw), len(buffer.getvalue())))
    if yaml.safe_load(text) != invoice:
        changed.append("dump to str")
    if yaml.safe_load(raw) != invoice:
        changed.append("safe_dump to bytes")
    if list(yaml.safe_load_all(buffer.getvalue())) != [invoice, {"total": 4443.52}]:
        changed.append("dump_all to a stream")

    os.environ.setdefault("INVOICE_CONTACT", "Nancy")
    checked = yaml.load("contact: !env INVOICE_CONTACT\ntotal: 4443.52\n", Loader=StrictLoader)
    print("contact from the environment: %s" % checked["contact"])
    print(problem("total: 1\ntotal: 2\n"))
    print(problem("product:\n  - quantity: 4: 1\n"))

    items = [Item("BL394D", 4), Item("BL4438H", 1)]
    item_text = yaml.safe_dump(items)
    print(item_text, end="")
    if yaml.safe_load(item_text) != items:
        changed.append("YAMLObject")
    return changed


# ---------------------------------------------------------------------------
# The event level: the native parser and emitter


class Key(NamedTuple):
    path: str
    line: int
    column: int


@dataclass
class Frame:
    """An open collection: its path, and for a mapping the key whose value
    comes next (None while a key is expected)."""
    path: str
    mapping: bool
    key: str | None = None

    def child_path(self) -> str:
        """The path of the value that comes next, and the frame moves on."""
        if not self.mapping:
            return self.path + "[]"
        path, self.key = self.key or self.path, None
        return path


def mapping_keys(text: str) -> list[Key]:
    """Every mapping key with its dotted path and position (from 1)."""
    parser = CParser(text)
    keys: list[Key] = []
    frames: list[Frame] = []
    try:
        while (event := parser.get_event()) is not None:
            if isinstance(event, (MappingStartEvent, SequenceStartEvent)):
                path = frames[-1].child_path() if frames else ""
                frames.append(Frame(path, isinstance(event, MappingStartEvent)))
            elif isinstance(event, (MappingEndEvent, SequenceEndEvent)):
                frames.pop()
            elif isinstance(event, (ScalarEvent, AliasEvent)) and frames:
                top = frames[-1]
                if isinstance(event, ScalarEvent) and top.mapping and top.key is None:
                    top.key = "%s.%s" % (top.path, event.value) if top.path else str(event.value)
                    mark = event.start_mark
                    if mark is not None:
                        keys.append(Key(top.key, mark.line + 1, mark.column + 1))
                else:
                    top.child_path()
    finally:
        parser.dispose()
    return keys


def reemit(text: str) -> str:
    """The document written again in the emitter's own layout."""
    parser = CParser(text)
    out = io.StringIO()
    emitter = CEmitter(out, indent=4, width=60)
    try:
        while (event := parser.get_event()) is not None:
            if isinstance(event, StreamStartEvent):
                event.encoding = None  # text output
            emitter.emit(event)
    finally:
        parser.dispose()
        emitter.dispose()
    return out.getvalue()


def first_error(text: str) -> str | None:
    """The scanner's complaint about `text`, with its position, if any."""
    parser = CParser(text)
    try:
        parser.raw_scan()
    except ScannerError as exc:
        mark = exc.problem_mark
        if mark is None:
            return exc.problem
        return "%s at line %d, column %d" % (exc.problem, mark.line + 1, mark.column + 1)
    finally:
        parser.dispose()
    return None


def main(argv: list[str]) -> int:
    if len(argv) != 2:
        print("usage: typed_usage.py FILE", file=sys.stderr)
        return 2
    print("package %s on libyaml %s" % (yaml.__version__, get_version_string()))
    changed = api_tour(argv[1])
    with open(argv[1], encoding="utf-8") as f:
        text = f.read()
    for key in mapping_keys(text):
        print("%-28s line %d, column %d" % (key.path, key.line, key.column))
    print(reemit(text), end="")
    print(first_error("a: 'unterminated\n"))
    if changed:
        print("round trips that changed the data: %s" % ", ".join(changed), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
