"""Workloads shared by the reliability checks (tools/refleak.py,
tools/oom_sweep.py)."""

from yaml.events import (AliasEvent, DocumentEndEvent, DocumentStartEvent,
                         MappingEndEvent, MappingStartEvent, ScalarEvent,
                         SequenceEndEvent, SequenceStartEvent, StreamEndEvent,
                         StreamStartEvent)


def every_event():
    """One event of every kind, with every option the emitter reads."""
    return [
        StreamStartEvent(encoding="utf-8"),
        DocumentStartEvent(explicit=True, version=(1, 1), tags={"!e!": "tag:example.com,2000:"}),
        MappingStartEvent("m", "tag:example.com,2000:map", False, flow_style=False),
        ScalarEvent(None, None, (True, False), "plain"),
        SequenceStartEvent("s", None, True, flow_style=True),
        ScalarEvent("x", "!e!int", (False, False), "1", style="'"),
        AliasEvent("x"),
        SequenceEndEvent(),
        ScalarEvent(None, None, (False, True), "literal\ntext\n", style="|"),
        ScalarEvent(None, None, (False, True), "folded " * 20, style=">"),
        MappingEndEvent(),
        DocumentEndEvent(explicit=True),
        DocumentStartEvent(explicit=False),
        ScalarEvent(None, None, (True, True), "second \u00e9", style='"'),
        DocumentEndEvent(explicit=False),
        StreamEndEvent(),
    ]

