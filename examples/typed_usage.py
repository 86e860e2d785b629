"""A small fully annotated program over the package's typed surface.

It reads a YAML file through the parser's event level, reports where each
mapping key sits, writes the same events back through the emitter, and shows
how a syntax error carries its position. CI type-checks it with
`mypy --strict` against the installed package, then runs it.

    python examples/typed_usage.py examples/invoice.yaml
"""

import io
import sys
from dataclasses import dataclass
from typing import NamedTuple

import yaml
from yaml._yaml import (
    AliasEvent,
    CEmitter,
    CParser,
    Mark,
    MappingEndEvent,
    MappingStartEvent,
    ScalarEvent,
    ScannerError,
    SequenceEndEvent,
    SequenceStartEvent,
    StreamStartEvent,
    get_version_string,
)


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


def where(mark: Mark) -> str:
    return "line %d, column %d" % (mark.line + 1, mark.column + 1)


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
                    mark: Mark = event.start_mark
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
        mark: Mark = exc.problem_mark
        return "%s at %s" % (exc.problem, where(mark))
    finally:
        parser.dispose()
    return None


def main(argv: list[str]) -> int:
    if len(argv) != 2:
        print("usage: typed_usage.py FILE", file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8") as f:
        text = f.read()
    print("package %s on libyaml %s" % (yaml.__version__, get_version_string()))
    for key in mapping_keys(text):
        print("%-28s line %d, column %d" % (key.path, key.line, key.column))
    print(reemit(text), end="")
    print(first_error("a: 'unterminated\n"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
