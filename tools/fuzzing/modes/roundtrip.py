"""Round trips: parse/emit/parse and compose/serialize/compose must keep
the data, judged by the rules the round-trip tests use."""

import io

from tests.support.roundtrip import documents_problem, events_problem

from ..host import Dumper, Finding, _yaml, compose_all, parse_events, serialize_all, yaml
from ..inputs import make_input
from ..outcomes import PARSE

EMIT_OPTIONS = dict(canonical=[None, False], indent=[None, 1, 2, 4, 9, 11],
                    width=[None, -1, 1, 20, 80, 10 ** 6], allow_unicode=[None, True],
                    line_break=[None, "\n", "\r", "\r\n"])


def emit_options(rng):
    return {k: rng.choice(v) for k, v in EMIT_OPTIONS.items()}


def _first_reading(read, data):
    """What `read` gives for the input, or None when the input is refused."""
    try:
        return read(data)
    except Exception as exc:
        if PARSE.allows(exc):
            return None
        raise


def mode_events_roundtrip(rng, ctx):
    first = _first_reading(parse_events, make_input(rng, ctx.pool))
    if first is None:
        return
    out = io.StringIO()
    emitter = _yaml.CEmitter(out, **emit_options(rng))
    try:
        for event in first:
            emitter.emit(event)
    except yaml.error.EmitterError:
        return   # libyaml may refuse an event sequence its parser gave
    text = out.getvalue()
    try:
        second = parse_events(text)
    except yaml.error.YAMLError as exc:
        raise Finding("emitted text does not parse back (%s): %r" % (type(exc).__name__, text[:300]))
    problem = events_problem(first, second)
    if problem:
        raise Finding("%s in %r" % (problem, text[:300]))


def mode_graph_roundtrip(rng, ctx):
    first = _first_reading(compose_all, make_input(rng, ctx.pool))
    if first is None:
        return
    out = io.StringIO()
    try:
        serialize_all(Dumper(out, **emit_options(rng)), first)
    except yaml.error.EmitterError:
        return
    text = out.getvalue()
    try:
        second = compose_all(text)
    except yaml.error.YAMLError as exc:
        raise Finding("serialized graph does not compose back (%s): %r" % (type(exc).__name__, text[:300]))
    problem = documents_problem(first, second)
    if problem:
        raise Finding("graph changed: %s in %r" % (problem, text[:300]))
