"""The YAML test suite's event notation, for host event objects.

One line per event:

    +STR / -STR
    +DOC [---]            "---" when the start is explicit
    -DOC [...]            "..." when the end is explicit
    +SEQ [[]] [&A] [<T>]  "[]" for flow style
    +MAP [{}] [&A] [<T>]  "{}" for flow style
    =VAL [&A] [<T>] Svalue
    =ALI *A

S is the style char (":" plain, "'" single, '"' double, "|" literal,
">" folded).  Values escape backslash, NUL, backspace, newline, carriage
return and tab as \\\\ \\0 \\b \\n \\r \\t; every other character is written
as is, so lines must be split at "\\n" only (see split_lines).

The lines match those of the libyaml_events tool, failures included
("!ERROR KIND LOCATION PROBLEM"), and build_host_events() builds host events
by the same rules as the libyaml_emit tool.  Nothing here imports the host
package: event classes are recognised by name and built from a module passed
in by the caller.
"""

import re
from dataclasses import dataclass
from typing import Optional

_ESCAPES = {"\\": "\\\\", "\0": "\\0", "\b": "\\b", "\n": "\\n", "\r": "\\r", "\t": "\\t"}
_ESCAPE_TABLE = str.maketrans(_ESCAPES)
_UNESCAPES = {v[1]: k for k, v in _ESCAPES.items()}
_ESCAPE_RE = re.compile(r"\\(.?)", re.S)

# Host style -> notation char; None is libyaml's "any" style, which a parser
# never reports.
_STYLE_CHARS = {"": ":", "'": "'", '"': '"', "|": "|", ">": ">"}
_STYLE_OF_CHAR = {":": "", "'": "'", '"': '"', "|": "|", ">": ">"}
_UNKNOWN_STYLE = "?"


def split_lines(text):
    """Splits notation text into lines at "\\n" only.

    str.splitlines() would also split at U+0085, U+2028 and the other breaks
    that values carry unescaped.
    """
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def escape(value):
    return value.translate(_ESCAPE_TABLE)


def unescape(text):
    """Inverse of escape(); ValueError on an escape the notation lacks."""

    def one(match):
        char = match.group(1)
        try:
            return _UNESCAPES[char]
        except KeyError:
            raise ValueError(f"unknown escape \\{char} in {text!r}") from None

    return _ESCAPE_RE.sub(one, text)


def _props(anchor, tag):
    out = ""
    if anchor is not None:
        out += f" &{anchor}"
    if tag is not None:
        out += f" <{tag}>"
    return out


def event_line(ev):
    """The notation line of one host event object (dispatch on class name)."""
    name = type(ev).__name__
    if name == "StreamStartEvent":
        return "+STR"
    if name == "StreamEndEvent":
        return "-STR"
    if name == "DocumentStartEvent":
        return "+DOC ---" if ev.explicit else "+DOC"
    if name == "DocumentEndEvent":
        return "-DOC ..." if ev.explicit else "-DOC"
    if name == "AliasEvent":
        return f"=ALI *{ev.anchor}"
    if name == "ScalarEvent":
        style = _STYLE_CHARS.get(ev.style, _UNKNOWN_STYLE)
        return f"=VAL{_props(ev.anchor, ev.tag)} {style}{escape(ev.value)}"
    if name == "SequenceStartEvent":
        flow = " []" if ev.flow_style else ""
        return f"+SEQ{flow}{_props(ev.anchor, ev.tag)}"
    if name == "MappingStartEvent":
        flow = " {}" if ev.flow_style else ""
        return f"+MAP{flow}{_props(ev.anchor, ev.tag)}"
    if name == "SequenceEndEvent":
        return "-SEQ"
    if name == "MappingEndEvent":
        return "-MAP"
    raise TypeError(f"not an event: {ev!r}")


def _class_names(exc):
    return {cls.__name__ for cls in type(exc).__mro__}


def error_line(exc):
    """The "!ERROR ..." line for a parser failure, or None when `exc` is not one."""
    names = _class_names(exc)
    if "ReaderError" in names:
        return f"!ERROR reader @{exc.position} {exc.reason}"
    for cls_name, kind in (("ScannerError", "scanner"), ("ParserError", "parser")):
        if cls_name in names and hasattr(exc, "problem_mark") and hasattr(exc, "problem"):
            mark = exc.problem_mark
            return f"!ERROR {kind} {mark.line}:{mark.column} {exc.problem}"
    if isinstance(exc, MemoryError):
        return "!ERROR memory"
    return None


def stream_lines(parser):
    """Lines of every event parser.get_event() yields, up to None.

    A reader, scanner, parser or memory failure ends the list with its
    "!ERROR" line, as libyaml_events writes it; other exceptions propagate.
    """
    lines = []
    while True:
        try:
            ev = parser.get_event()
        except Exception as exc:  # MemoryError included
            line = error_line(exc)
            if line is None:
                raise
            lines.append(line)
            return lines
        if ev is None:
            return lines
        lines.append(event_line(ev))


@dataclass(frozen=True)
class Record:
    """One parsed notation line.

    kind is the line's first word ("+STR", "=VAL", ...); style is the style
    char of a scalar; value its unescaped text; alias the name of an alias;
    flow is set for "[]" / "{}"; explicit for "+DOC ---" / "-DOC ...".
    """

    kind: str
    anchor: Optional[str] = None
    tag: Optional[str] = None
    style: Optional[str] = None
    value: Optional[str] = None
    flow: bool = False
    explicit: bool = False
    alias: Optional[str] = None


_BARE = {"+STR", "-STR", "-SEQ", "-MAP"}
_ANCHOR_RE = r"(?: &(?P<anchor>[^ ]*))?"
_COLLECTION_RE = re.compile(r"(?P<flow> \[\]| \{\})?" + _ANCHOR_RE + r"(?: <(?P<tag>.*)>)?\Z", re.S)
# A tag has no spaces of its own, but may hold ">" ("<=>"): it ends at the
# first "> " that is followed by a style char.
_SCALAR_RE = re.compile(
    _ANCHOR_RE + r"(?: <(?P<tag>.*?)>)? (?P<style>[:'\"|>])(?P<value>.*)\Z", re.S
)


def parse_line(line):
    """Parses one notation line into a Record; ValueError when malformed."""
    kind, rest = line[:4], line[4:]
    if kind in _BARE:
        if rest:
            raise ValueError(f"trailing text in {line!r}")
        return Record(kind)
    if kind in ("+DOC", "-DOC"):
        marker = " ---" if kind == "+DOC" else " ..."
        if rest not in ("", marker):
            raise ValueError(f"bad document line {line!r}")
        return Record(kind, explicit=bool(rest))
    if kind in ("+SEQ", "+MAP"):
        m = _COLLECTION_RE.match(rest)
        if not m or (m.group("flow") and m.group("flow") != (" []" if kind == "+SEQ" else " {}")):
            raise ValueError(f"bad collection line {line!r}")
        return Record(kind, anchor=m.group("anchor"), tag=m.group("tag"), flow=bool(m.group("flow")))
    if kind == "=ALI":
        if not rest.startswith(" *"):
            raise ValueError(f"bad alias line {line!r}")
        return Record(kind, alias=rest[2:])
    if kind == "=VAL":
        m = _SCALAR_RE.match(rest)
        if not m:
            raise ValueError(f"bad scalar line {line!r}")
        return Record(
            kind,
            anchor=m.group("anchor"),
            tag=m.group("tag"),
            style=m.group("style"),
            value=unescape(m.group("value")),
        )
    raise ValueError(f"unknown event line {line!r}")


def parse_event_text(text):
    """Records of every non-empty line of a test.event text."""
    return [parse_line(line) for line in split_lines(text) if line]


def record_line(rec):
    """The notation line of a Record; inverse of parse_line."""
    kind = rec.kind
    if kind in _BARE:
        return kind
    if kind == "+DOC":
        return "+DOC ---" if rec.explicit else "+DOC"
    if kind == "-DOC":
        return "-DOC ..." if rec.explicit else "-DOC"
    if kind in ("+SEQ", "+MAP"):
        flow = (" []" if kind == "+SEQ" else " {}") if rec.flow else ""
        return f"{kind}{flow}{_props(rec.anchor, rec.tag)}"
    if kind == "=ALI":
        return f"=ALI *{rec.alias}"
    if kind == "=VAL":
        return f"=VAL{_props(rec.anchor, rec.tag)} {rec.style}{escape(rec.value)}"
    raise ValueError(f"unknown record kind {kind!r}")


def build_host_events(records, events_module, options=None):
    """Host event objects for `records`, built by libyaml_emit's rules.

    options (all optional): explicit_start, explicit_end (bools), version
    (a (major, minor) tuple), tags (a dict handle -> prefix, in directive
    order), encoding (a str or None).  The classes are taken from
    events_module by name.
    """
    options = options or {}
    explicit_start = bool(options.get("explicit_start"))
    explicit_end = bool(options.get("explicit_end"))
    version = options.get("version")
    tags = options.get("tags")
    encoding = options.get("encoding")
    ev = events_module
    out = []
    for rec in records:
        kind = rec.kind
        if kind == "+STR":
            out.append(ev.StreamStartEvent(None, None, encoding))
        elif kind == "-STR":
            out.append(ev.StreamEndEvent(None, None))
        elif kind == "+DOC":
            doc_tags = dict(tags) if tags is not None else None
            out.append(ev.DocumentStartEvent(None, None, rec.explicit or explicit_start, version, doc_tags))
        elif kind == "-DOC":
            out.append(ev.DocumentEndEvent(None, None, rec.explicit or explicit_end))
        elif kind == "=ALI":
            out.append(ev.AliasEvent(rec.alias, None, None))
        elif kind == "=VAL":
            # Untagged: either resolution allowed; tagged (bare "!" too): the
            # tag is written.
            implicit = rec.tag is None
            out.append(
                ev.ScalarEvent(
                    rec.anchor, rec.tag, (implicit, implicit), rec.value, None, None,
                    _STYLE_OF_CHAR[rec.style],
                )
            )
        elif kind == "+SEQ":
            out.append(ev.SequenceStartEvent(rec.anchor, rec.tag, rec.tag is None, None, None, rec.flow))
        elif kind == "+MAP":
            out.append(ev.MappingStartEvent(rec.anchor, rec.tag, rec.tag is None, None, None, rec.flow))
        elif kind == "-SEQ":
            out.append(ev.SequenceEndEvent(None, None))
        elif kind == "-MAP":
            out.append(ev.MappingEndEvent(None, None))
        else:
            raise ValueError(f"unknown record kind {kind!r}")
    return out
