"""The modes: each takes (rng, ctx) and returns normally, raises an
exception that its outcomes table allows, or raises Finding.

scan, parse, compose: every method of the three levels over mutated inputs.
events_roundtrip, graph_roundtrip: parse/emit/parse and
compose/serialize/compose must keep the data.  read_stream: streams with
wrong types, odd sizes, str and bytes mixed, raising.  resolver_faults,
host_globals: resolver methods and host classes raising or returning odd
objects, globals rebound or deleted.  emit_odd_events, serialize_odd_nodes:
odd attribute values, impostor classes, tag mappings changing under
iteration, graphs changing while written.  mark: position records from odd
values.  dispose_misuse: calls after a failed __init__, before __init__,
after dispose, in the wrong order.  reentry: callbacks re-entering their
own parser or emitter, which must refuse.  oom: allocations failing for a
short window inside a call.  libyaml_diff: our events against
tests/tools/libyaml_events, whole and in odd pieces.
"""

from collections import namedtuple

from .. import outcomes
from .emitting import mode_emit_odd_events, mode_serialize_odd_nodes
from .hosts import mode_host_globals, mode_reentry, mode_resolver_faults
from .lifecycle import mode_dispose_misuse, mode_mark, mode_oom
from .parsing import mode_compose, mode_libyaml_diff, mode_parse, mode_read_stream, mode_scan
from .roundtrip import mode_events_roundtrip, mode_graph_roundtrip

Mode = namedtuple("Mode", "name run outcomes")

MODES = (
    Mode("scan", mode_scan, outcomes.PARSE),
    Mode("parse", mode_parse, outcomes.PARSE),
    Mode("compose", mode_compose, outcomes.PARSE),
    Mode("events_roundtrip", mode_events_roundtrip, outcomes.PARSE),
    Mode("graph_roundtrip", mode_graph_roundtrip, outcomes.PARSE),
    Mode("read_stream", mode_read_stream, outcomes.READ),
    Mode("resolver_faults", mode_resolver_faults, outcomes.RESOLVER),
    Mode("host_globals", mode_host_globals, outcomes.HOST_GLOBALS),
    Mode("emit_odd_events", mode_emit_odd_events, outcomes.EMIT),
    Mode("serialize_odd_nodes", mode_serialize_odd_nodes, outcomes.SERIALIZE),
    Mode("mark", mode_mark, outcomes.MARK),
    Mode("dispose_misuse", mode_dispose_misuse, outcomes.MISUSE),
    Mode("reentry", mode_reentry, outcomes.REENTRY),
    Mode("oom", mode_oom, outcomes.OOM),
    Mode("libyaml_diff", mode_libyaml_diff, outcomes.PARSE),
)
MODE_NAMES = tuple(m.name for m in MODES)
