"""What a round trip through libyaml's emitter may change, and nothing else.

parse -> emit -> parse must give the same events (marks aside) except for
the rewrites libyaml's emitter makes on purpose, each named below with its
reason; compose -> serialize -> compose must give isomorphic graphs.  The
round-trip tests and the fuzzer both judge with these functions.
"""

from .graphs import isomorphism_problem

def read_events(loader_class, data):
    """Every event an instance of `loader_class` (a CParser subclass) reads
    from `data`."""
    loader = loader_class(data)
    events = []
    while True:
        event = loader.get_event()
        if event is None:
            return events
        events.append(event)


def read_documents(loader_class, data):
    """The node graph of every document read from `data`."""
    loader = loader_class(data)
    nodes = []
    while loader.check_node():
        nodes.append(loader.get_node())
    return nodes


FIELDS = ("anchor", "tag", "value", "implicit", "style", "flow_style", "explicit", "version",
          "tags")


def event_key(event):
    """Everything of an event that a round trip must keep (marks aside)."""
    return (type(event).__name__,) + tuple(getattr(event, f, None) for f in FIELDS)


def _plain(style):
    return style in ("", None)


def rewrite_reason(a, b):
    """The reason libyaml's emitter turned event `a` into `b`, or None when
    the difference is not one it makes on purpose."""
    name = type(a).__name__
    if name != type(b).__name__ or getattr(a, "anchor", None) != getattr(b, "anchor", None):
        return None
    if name == "DocumentEndEvent" and not a.explicit and b.explicit:
        return ("document end made explicit: libyaml closes an open-ended document "
                "(a kept trailing break, or directives follow) with '...'")
    if name == "DocumentStartEvent":
        if (a.version == b.version and (a.tags or None) == (b.tags or None)
                and (a.explicit == b.explicit or (not a.explicit and b.explicit))):
            return ("document start made explicit: libyaml writes '---' before every "
                    "document but an implicit first one, and keeps the directives")
        return None
    if name != "ScalarEvent" or a.value != b.value:
        return None
    if (_plain(a.style) and b.style in ("'", '"')
            and (b.tag == a.tag or (a.tag is None and b.tag == "!" and not a.implicit[1]))):
        return ("plain refused by libyaml's scalar analysis (multi-line, empty, indicator "
                "or non-printable text), written quoted; with '!' when the quoted form "
                "would not resolve like the plain one")
    if a.style in ("|", ">") and b.style in ("'", '"') and a.tag == b.tag:
        return ("block style refused by libyaml for this value (leading blanks or tabs after "
                "a break, trailing spaces) or its context, written quoted")
    if a.style == "'" and b.style == '"' and a.tag == b.tag:
        return ("single quotes refused for characters that must be escaped (non-printable, "
                "or outside ASCII without allow_unicode), written double-quoted")
    if a.tag == "!" and b.tag is None and a.implicit[0] and _plain(a.style) and _plain(b.style):
        return ("non-specific tag '!' on a plain scalar arrives with plain_implicit set, "
                "so libyaml leaves it out")
    return None


def events_problem(first, second, rewrites=None):
    """None when `second` (read back from what was emitted for `first`)
    differs from `first` only by libyaml's own rewrites; else the first
    other difference.  `rewrites`, a Counter when given, counts each reason."""
    if [type(e) for e in first] != [type(e) for e in second]:
        return "event kinds changed: %s became %s" % (
            [type(e).__name__ for e in first], [type(e).__name__ for e in second])
    for a, b in zip(first, second):
        if event_key(a) == event_key(b):
            continue
        reason = rewrite_reason(a, b)
        if reason is None:
            return "%.300r became %.300r" % (a, b)
        if rewrites is not None:
            rewrites[reason] += 1
    return None


def vanished_first_document(first, second):
    """True when the first document of `first` is missing from `second` only
    because libyaml writes an empty plain root scalar as no text at all: a
    first document with an implicit start and nothing else leaves no trace."""
    return (len(second) == len(first) - 1 and bool(first)
            and type(first[0]).__name__ == "ScalarNode" and first[0].value == "")


def documents_problem(first, second):
    """None when the node graphs `second` (composed back from what was
    serialized for the graphs `first`) match them; else the first mismatch."""
    if vanished_first_document(first, second):
        first = first[1:]
    if len(first) != len(second):
        return "%d documents became %d" % (len(first), len(second))
    for index, (a, b) in enumerate(zip(first, second)):
        problem = isomorphism_problem(a, b)
        if problem:
            return "document %d: %s" % (index, problem)
    return None
