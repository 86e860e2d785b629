"""Out-of-memory sweep: every libyaml allocation of a representative parse
and emit is made to fail in turn.

Runs with tests/tools/libfailalloc.so preloaded (LD_PRELOAD); the library is
found through $YAML_FAILALLOC. For each workload the allocations libyaml
makes are counted once, then the workload is run again for N = 1..count with
the Nth allocation failing. Each run must end in MemoryError or with the same
result as the run without failures, and leave no libyaml block behind (the
interposer tallies libyaml's allocations and releases). A crash ends the
process, which fails the check as well.

    LD_PRELOAD=build/tests/tools/libfailalloc.so \\
    YAML_FAILALLOC=build/tests/tools/libfailalloc.so \\
    PYTHONPATH=.:. python3 -P tools/oom_sweep.py
"""

import ctypes
import gc
import io
import os
import sys

from tests.support.project import inside_repo
from tests.support.streams import ChunkedStream
from tests.support.workloads import every_event

import yaml
import yaml._yaml as ext

DOC = """\
%YAML 1.1
%TAG !e! tag:example.com,2000:
---
anchored: &a [1, 2, {k: v, "q": 'single'}]
alias: *a
tagged: !e!thing "quoted \\u00e9"
verbatim: !<tag:example.com,2000:x> value
block: |
  literal
  text
folded: >-
  folded
  text
? complex key
: - item
  - &b item2
  - *b
...
--- second document
---
- [nested, [deeper, {x: y}]]
"""

BROKEN = "a: [1, 2\nb: {c\n"


def describe(obj):
    """A comparable picture of tokens, events and nodes (marks included)."""
    if isinstance(obj, yaml.nodes.Node):
        if isinstance(obj.value, list):
            value = [describe(v) for v in obj.value]
        else:
            value = obj.value
        return (type(obj).__name__, obj.tag, value, str(obj.start_mark), str(obj.end_mark))
    if isinstance(obj, tuple):
        return tuple(describe(v) for v in obj)
    if obj is None:
        return None
    fields = sorted((k, v) for k, v in vars(obj).items() if not k.endswith("_mark"))
    return (type(obj).__name__, repr(fields), str(obj.start_mark), str(obj.end_mark))


def tokens(source):
    parser = yaml.CLoader(source)
    out = []
    while parser.check_token():
        parser.peek_token()
        out.append(describe(parser.get_token()))
    return out


def events(source):
    parser = yaml.CLoader(source)
    out = []
    while parser.check_event():
        parser.peek_event()
        out.append(describe(parser.get_event()))
    return out


def nodes(source):
    parser = yaml.CLoader(source)
    out = []
    while parser.check_node():
        out.append(describe(parser.get_node()))
    return out


def single_node(source):
    return describe(yaml.CLoader(source).get_single_node())


def raw_counts(source):
    return ext.CParser(source).raw_scan(), ext.CParser(source).raw_parse()


def broken(source):
    """A scanner error: the error is the result."""
    try:
        events(source)
    except yaml.error.MarkedYAMLError as exc:
        return type(exc).__name__, str(exc)
    return None




def emit(encoding):
    out = io.BytesIO() if encoding else io.StringIO()
    emitter = yaml.CDumper(out, encoding=encoding, width=30, allow_unicode=False)
    for event in every_event():
        emitter.emit(event)
    return out.getvalue()


def serialize(graphs):
    out = io.StringIO()
    dumper = yaml.CDumper(out, explicit_start=True, version=(1, 1),
                         tags={"!e!": "tag:example.com,2000:"}, canonical=False)
    dumper.open()
    for graph in graphs:
        dumper.serialize(graph)
    dumper.close()
    return out.getvalue()


def composed(source):
    parser = yaml.CLoader(source)
    graphs = []
    while parser.check_node():
        graphs.append(parser.get_node())
    return graphs


WORKLOADS = [
    ("tokens over str", lambda: tokens(DOC)),
    ("tokens over chunked reads", lambda: tokens(ChunkedStream(DOC.encode("utf-8"), 7))),
    ("events over bytes", lambda: events(DOC.encode("utf-8"))),
    ("events over chunked reads", lambda: events(ChunkedStream(DOC, 7))),
    ("nodes over str", lambda: nodes(DOC)),
    ("single node", lambda: single_node("a: &x [1, 2]\nb: *x\n")),
    ("raw scan and raw parse", lambda: raw_counts(DOC)),
    ("scanner error", lambda: broken(BROKEN)),
    ("emit every event kind, text", lambda: emit(None)),
    ("emit every event kind, utf-16-le", lambda: emit("utf-16-le")),
    ("serialize with anchors", lambda: serialize(composed(DOC))),
]


def main():
    for module in (yaml, ext):
        if not inside_repo(module.__file__):
            sys.exit("oom_sweep: not this project's module: %s" % module.__file__)
    path = os.environ.get("YAML_FAILALLOC")
    if not path:
        sys.exit("oom_sweep: YAML_FAILALLOC names no interposer library")
    lib = ctypes.CDLL(path)
    for fn in ("failalloc_calls", "failalloc_failed", "failalloc_outstanding", "failalloc_failed_at"):
        getattr(lib, fn).restype = ctypes.c_long
    lib.failalloc_arm.argtypes = [ctypes.c_long]
    if not lib.failalloc_ready():
        sys.exit("oom_sweep: libyaml is not loaded in this process")
    # The interposer must be the allocator libyaml actually calls.
    lib.failalloc_arm(0)
    ext.CParser("a").raw_parse()
    if lib.failalloc_calls() == 0:
        sys.exit("oom_sweep: the interposer sees no libyaml allocation; is it preloaded?")

    problems = []
    total_runs = total_memory_errors = 0
    for label, work in WORKLOADS:
        # The result without failures, and the number of allocations it takes.
        gc.collect()
        lib.failalloc_arm(0)
        expected = work()
        gc.collect()
        count = lib.failalloc_calls()
        if lib.failalloc_outstanding() != 0:
            problems.append("%s: %d libyaml blocks outstanding without any failure"
                            % (label, lib.failalloc_outstanding()))
        memory_errors = 0
        blocks_before = None
        for n in range(1, count + 1):
            if n == 2:
                # The first failing run warms up what the interpreter caches.
                gc.collect()
                blocks_before = sys.getallocatedblocks()
            lib.failalloc_arm(n)
            try:
                result = work()
            except MemoryError:
                memory_errors += 1
            except BaseException as exc:
                problems.append("%s, allocation %d (libyaml code offset %#x): %s: %s"
                                % (label, n, lib.failalloc_failed_at(), type(exc).__name__, exc))
            else:
                if result != expected:
                    problems.append("%s, allocation %d: a different result without an error" % (label, n))
            lib.failalloc_disarm()
            sys.exc_info()
            gc.collect()
            if lib.failalloc_failed() != 1:
                problems.append("%s, allocation %d: %d failures injected" % (label, n, lib.failalloc_failed()))
            left = lib.failalloc_outstanding()
            if left:
                problems.append("%s, allocation %d: %d libyaml blocks never released" % (label, n, left))
        gc.collect()
        grown = sys.getallocatedblocks() - blocks_before if blocks_before is not None else 0
        # An object lost by every failing run would add at least one block per run.
        if grown > max(8, (count - 1) // 2):
            problems.append("%s: interpreter blocks grew by %d over %d failing runs" % (label, grown, count - 1))
        print("%-36s %4d allocations swept, %4d MemoryError, %4d clean; interpreter blocks %+d"
              % (label, count, memory_errors, count - memory_errors, grown))
        total_runs += count
        total_memory_errors += memory_errors
        if memory_errors == 0:
            problems.append("%s: no failed allocation reached the caller as MemoryError" % label)
    print("oom_sweep: %d workloads, %d allocations swept, %d MemoryError, %d problems"
          % (len(WORKLOADS), total_runs, total_memory_errors, len(problems)))
    for problem in problems[:50]:
        print("  " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
