"""Event streams as text, in the YAML test suite's event notation.

One line per event:

    +STR / -STR
    +DOC [---]            "---" when the start is explicit
    -DOC [...]            "..." when the end is explicit
    +SEQ [[]] [&A] [<T>]  "[]" for flow style
    +MAP [{}] [&A] [<T>]  "{}" for flow style
    =VAL [&A] [<T>] Svalue
    =ALI *A

S is the style char (":" plain, "'" single, '"' double, "|" literal,
">" folded). Values escape backslash, NUL, backspace, newline, carriage
return and tab as \\\\ \\0 \\b \\n \\r \\t and keep every other character, so
a text in this notation splits into lines at "\\n" only.

Events are recognised by class name, so events of any module that follows
the package's event classes print the same.
"""

_ESCAPES = {"\\": "\\\\", "\0": "\\0", "\b": "\\b", "\n": "\\n", "\r": "\\r", "\t": "\\t"}
_ESCAPE_TABLE = str.maketrans(_ESCAPES)

# Scalar style -> notation char. The native parser reports a plain scalar as
# "", the package's loaders as None; "?" stands for any other value.
STYLE_CHARS = {"": ":", None: ":", "'": "'", '"': '"', "|": "|", ">": ">"}
UNKNOWN_STYLE = "?"


def escape(value):
    """`value` with the notation's six escapes applied."""
    return value.translate(_ESCAPE_TABLE)


def _props(anchor, tag):
    out = ""
    if anchor is not None:
        out += " &" + anchor
    if tag is not None:
        out += " <" + tag + ">"
    return out


def event_line(event):
    """The notation line of one event object; TypeError for anything else."""
    name = type(event).__name__
    if name == "StreamStartEvent":
        return "+STR"
    if name == "StreamEndEvent":
        return "-STR"
    if name == "DocumentStartEvent":
        return "+DOC ---" if event.explicit else "+DOC"
    if name == "DocumentEndEvent":
        return "-DOC ..." if event.explicit else "-DOC"
    if name == "AliasEvent":
        return "=ALI *" + event.anchor
    if name == "ScalarEvent":
        style = STYLE_CHARS.get(event.style, UNKNOWN_STYLE)
        return "=VAL%s %s%s" % (_props(event.anchor, event.tag), style, escape(event.value))
    if name == "SequenceStartEvent":
        return "+SEQ" + (" []" if event.flow_style else "") + _props(event.anchor, event.tag)
    if name == "MappingStartEvent":
        return "+MAP" + (" {}" if event.flow_style else "") + _props(event.anchor, event.tag)
    if name == "SequenceEndEvent":
        return "-SEQ"
    if name == "MappingEndEvent":
        return "-MAP"
    raise TypeError("not an event: %r" % (event,))
