"""Benchmark runner: one table per corpus, every figure a ratio to libyaml
measured in the same run.

    PYTHONPATH=. python3 -P bench/run.py [--corpus DIR] [--runs N] [--quick]
                                         [--binding-only] [--kinds a,b] [--stream-mb N]

Each measurement runs in a fresh child process (so its peak memory is its
own) which times the operation `--runs` times; the table shows the median.
The libyaml floor (bench/libyaml_floor, built by CMake into build/bench/) is
timed before and after each corpus and its runs pooled.

Without --corpus a corpus is generated (4 MB per kind, 0.1 MB with --quick)
into build/bench/corpus[-quick]/. --quick also takes one run per
measurement and a small stream for the memory check: it shows the runner
works, its figures mean nothing.

Binding-only rows rebind the module's host-class globals (`yaml._yaml.<Name>`)
to a cheap built-in callable, so that only the module's own work is timed:
`operator.itemgetter` (accepts any positional arguments) for token, event
and scalar node classes, and a subclass of BaseException (any positional
arguments, and it takes the `end_mark` attribute the composer sets) for
collection nodes. emit and serialize recognise their input by the class
objects themselves, so they always run with the host classes.
"""

import argparse
import json
import os
import platform
import statistics
import subprocess
import sys
import time

BENCH_DIR = os.path.dirname(os.path.realpath(__file__))
REPO_ROOT = os.path.dirname(BENCH_DIR)
KINDS = ("config", "records", "unicode", "anchors")

# ---------------------------------------------------------------------------
# The package under test, and proof of where it came from.


def inside_repo(path):
    real = os.path.realpath(path)
    return os.path.commonpath([real, REPO_ROOT]) == REPO_ROOT


def import_own_yaml():
    """The project's own `yaml` and `yaml._yaml`; exits when either comes
    from outside the repository."""
    import importlib.util

    # Look before importing: a package found elsewhere is never run.
    spec = importlib.util.find_spec("yaml")
    if spec is None or not spec.origin or not inside_repo(spec.origin):
        sys.exit("bench: the yaml package found is %s, outside %s; put the repository first on "
                 "PYTHONPATH and run with -P" % (spec.origin if spec else None, REPO_ROOT))
    import yaml
    import yaml._yaml

    for module in (yaml, yaml._yaml):
        if not inside_repo(module.__file__):
            sys.exit("bench: %s comes from %s, outside %s; put the repository first on "
                     "PYTHONPATH and run with -P" % (module.__name__, module.__file__, REPO_ROOT))
    return yaml, yaml._yaml


# ---------------------------------------------------------------------------
# Child side: one measurement.

EVENT_CLASSES = ("StreamStartEvent", "StreamEndEvent", "DocumentStartEvent", "DocumentEndEvent",
                 "AliasEvent", "ScalarEvent", "SequenceStartEvent", "SequenceEndEvent",
                 "MappingStartEvent", "MappingEndEvent")
TOKEN_CLASSES = ("StreamStartToken", "StreamEndToken", "DirectiveToken", "DocumentStartToken",
                 "DocumentEndToken", "BlockSequenceStartToken", "BlockMappingStartToken",
                 "BlockEndToken", "FlowSequenceStartToken", "FlowMappingStartToken",
                 "FlowSequenceEndToken", "FlowMappingEndToken", "KeyToken", "ValueToken",
                 "BlockEntryToken", "FlowEntryToken", "AliasToken", "AnchorToken", "TagToken",
                 "ScalarToken")


class CheapCollection(BaseException):
    """Built in C from any positional arguments; accepts `end_mark`."""


def rebind_globals(module, kind):
    """Rebinds the host classes `kind` looks up; returns the saved values."""
    import operator

    cheap = operator.itemgetter
    names = {"token": TOKEN_CLASSES, "event": EVENT_CLASSES}.get(kind)
    saved = {}
    if names:
        for name in names:
            saved[name] = getattr(module, name)
            setattr(module, name, cheap)
    elif kind == "node":
        for name, value in (("ScalarNode", cheap), ("SequenceNode", CheapCollection),
                            ("MappingNode", CheapCollection)):
            saved[name] = getattr(module, name)
            setattr(module, name, value)
    return saved


def restore_globals(module, saved):
    for name, value in saved.items():
        setattr(module, name, value)


def max_rss_kb():
    """Peak resident size of this process in KiB. VmHWM belongs to the
    process image, so unlike ru_maxrss it does not start from the parent's
    peak at the fork."""
    try:
        with open("/proc/self/status") as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    import resource

    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss


class GeneratedStream:
    """A file-like object that yields `total` bytes of a record list, built
    on the fly: the input is never held in memory."""

    def __init__(self, total):
        self.sent = 0
        # A block of records; repeating it keeps the one sequence going.
        block = []
        for i in range(500):
            block.append("- id: %d\n  name: record number %d\n  email: r%d@example.org\n"
                         "  active: %s\n  score: %d.5\n" % (i, i, i, "true" if i % 2 else "false", i))
        self.block = "".join(block).encode("utf-8")
        # Whole blocks only, so the stream ends after a complete record.
        self.total = -(-total // len(self.block)) * len(self.block)
        self.offset = 0
        self.name = "<generated>"

    def read(self, size=-1):
        if self.sent >= self.total:
            return b""
        if size is None or size < 0:
            size = 1 << 16
        size = min(size, self.total - self.sent)
        out = []
        got = 0
        while got < size:
            piece = self.block[self.offset:self.offset + size - got]
            out.append(piece)
            got += len(piece)
            self.offset = (self.offset + len(piece)) % len(self.block)
        self.sent += got
        return b"".join(out)


def parsed_events(_yaml, text):
    """Every event of `text`, built with the host classes."""
    parser = _yaml.CParser(text)
    events = []
    while True:
        event = parser.get_event()
        if event is None:
            return events
        events.append(event)


def trivial_resolver_class(base, tag):
    class TrivialResolver(base):
        def descend_resolver(self, current_node, current_index):
            pass

        def ascend_resolver(self):
            pass

        def resolve(self, kind, value, implicit):
            return tag

    return TrivialResolver


TRIVIAL_TAG = "tag:yaml.org,2002:str"


def child_main(spec):
    """Runs one measurement described by `spec`; prints a JSON result."""
    import io

    yaml, _yaml = import_own_yaml()
    op = spec["op"]
    path = spec.get("file")
    runs = spec["runs"]
    binding_only = spec.get("binding_only", False)
    text = data = None
    if path:
        with open(path, "rb") as f:
            raw = f.read()
        text = raw.decode("utf-8")

    TrivialLoader = trivial_resolver_class(_yaml.CParser, TRIVIAL_TAG)
    TrivialDumper = trivial_resolver_class(_yaml.CEmitter, TRIVIAL_TAG)

    def drain(method):
        n = 0
        while method() is not None:
            n += 1
        return n

    # Prepared inputs (built with the host classes before any rebinding).
    if op == "emit":
        events = parsed_events(_yaml, text)
    elif op in ("serialize_trivial", "serialize_default"):
        loader = TrivialLoader if op == "serialize_trivial" else yaml.CLoader
        graph = loader(text).get_single_node()
    elif op == "load":
        if not hasattr(yaml, "load"):
            print(json.dumps({"na": "yaml.load missing"}))
            return
    elif op == "dump":
        if not hasattr(yaml, "dump"):
            print(json.dumps({"na": "yaml.dump missing"}))
            return
        data = yaml.load(text, Loader=yaml.SafeLoader)
    elif op == "json_dumps":
        data = json.loads(text)

    def once():
        if op == "raw_scan":
            return _yaml.CParser(text).raw_scan()
        if op == "raw_parse_str":
            return _yaml.CParser(text).raw_parse()
        if op == "raw_parse_bytes":
            return _yaml.CParser(raw).raw_parse()
        if op == "raw_parse_file":
            return _yaml.CParser(io.BytesIO(raw)).raw_parse()
        if op == "get_token":
            return drain(_yaml.CParser(text).get_token)
        if op == "get_event":
            return drain(_yaml.CParser(text).get_event)
        if op == "get_event_file":
            return drain(_yaml.CParser(io.BytesIO(raw)).get_event)
        if op == "node_default":
            return yaml.CLoader(text).get_single_node() is not None
        if op == "node_trivial":
            return TrivialLoader(text).get_single_node() is not None
        if op == "emit":
            out = io.StringIO()
            emitter = _yaml.CEmitter(out)
            for event in events:
                emitter.emit(event)
            return len(out.getvalue())
        if op in ("serialize_trivial", "serialize_default"):
            out = io.StringIO()
            dumper = (TrivialDumper if op == "serialize_trivial" else yaml.CDumper)(out)
            dumper.open()
            dumper.serialize(graph)
            dumper.close()
            return len(out.getvalue())
        if op == "load":
            return yaml.load(text, Loader=yaml.SafeLoader) is not None
        if op == "dump":
            return len(yaml.dump(data, Dumper=yaml.SafeDumper))
        if op == "json_loads":
            return json.loads(text) is not None
        if op == "json_dumps":
            return len(json.dumps(data))
        if op == "stream_get_event":
            return drain(_yaml.CParser(GeneratedStream(spec["stream_bytes"])).get_event)
        raise SystemExit("bench: unknown operation %r" % op)

    saved = {}
    if binding_only:
        kind = {"get_token": "token", "get_event": "event", "get_event_file": "event",
                "stream_get_event": "event", "node_trivial": "node", "node_default": "node"}.get(op)
        saved = rebind_globals(_yaml, kind)
    import gc

    base = max_rss_kb()
    times = []
    result = None
    try:
        for _ in range(runs):
            if spec.get("gc_off"):
                gc.disable()
            start = time.perf_counter()
            result = once()
            times.append(time.perf_counter() - start)
            gc.enable()
            gc.collect()
    finally:
        gc.enable()
        restore_globals(_yaml, saved)
    print(json.dumps({"times": times, "rss_base_kb": base, "rss_peak_kb": max_rss_kb(),
                      "result": result if isinstance(result, (int, bool)) else None}))


# ---------------------------------------------------------------------------
# Parent side: corpora, the floor, the tables.


FAILURES = []


def run_child(spec, timeout=1800):
    cmd = [sys.executable, "-P", os.path.realpath(__file__), "--child", json.dumps(spec)]
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join(p for p in (os.path.dirname(import_own_yaml()[0].__path__[0]),
                                                    env.get("PYTHONPATH")) if p)
    proc = subprocess.run(cmd, capture_output=True, text=True, env=env, timeout=timeout)
    if proc.returncode != 0:
        FAILURES.append((spec["op"], proc.stderr))
        return {"error": (proc.stderr.strip().splitlines() or ["exit %d" % proc.returncode])[-1]}
    return json.loads(proc.stdout.strip().splitlines()[-1])


def norm_of(op):
    return "emit" if op == "json_dumps" else "parse"


def run_floor(floor, path, runs, modes):
    proc = subprocess.run([floor, path, str(runs), ",".join(modes)], capture_output=True, text=True,
                          check=True)
    return json.loads(proc.stdout)


def median(values):
    return statistics.median(values) if values else float("nan")


def machine_lines():
    lines = ["machine: %s, %s, %d cores" % (platform.node(), platform.machine(), os.cpu_count() or 0)]
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    lines.append("cpu: " + line.split(":", 1)[1].strip())
                    break
    except OSError:
        pass
    try:
        lines.append("load average: %.2f %.2f %.2f" % os.getloadavg())
    except OSError:
        pass
    return lines


# (row label, child op, floor the time is compared with, count used per event)
def rows_for(kind, has_json, binding_only):
    rows = [
        ("raw_scan (str)", "raw_scan", "scan", {}),
        ("raw_parse (str)", "raw_parse_str", "parse", {}),
        ("raw_parse (bytes)", "raw_parse_bytes", "parse", {}),
        ("raw_parse (file)", "raw_parse_file", "parse", {}),
    ]
    host = [] if binding_only else [False]
    for bo in host + [True]:
        tag = " [binding-only]" if bo else ""
        rows += [
            ("get_token (str)" + tag, "get_token", "scan", {"binding_only": bo}),
            ("get_event (str)" + tag, "get_event", "parse", {"binding_only": bo}),
            ("get_event (file)" + tag, "get_event_file", "parse", {"binding_only": bo}),
        ]
        if not bo:
            # The default resolver tells node kinds apart by the host classes.
            rows.append(("get_single_node default", "node_default", "parse", {}))
        rows += [
            ("get_single_node trivial" + tag, "node_trivial", "parse", {"binding_only": bo}),
        ]
        if bo:
            # The same with the cyclic collector paused while it runs: what the
            # collector's full passes over the growing graph cost.
            rows.append(("get_single_node trivial [binding-only, gc off]", "node_trivial", "parse",
                         {"binding_only": True, "gc_off": True}))
    rows += [
        ("emit (pre-built events)", "emit", "emit", {}),
        ("serialize trivial resolver", "serialize_trivial", "emit", {}),
        ("serialize default resolver", "serialize_default", "emit", {}),
        ("yaml.load", "load", "parse", {}),
        ("yaml.dump", "dump", "emit", {}),
    ]
    if has_json:
        # Bracketed by the YAML twin's parse and emit floors, so their ratio
        # to yaml.load / yaml.dump is taken under the same load.
        rows += [("json.loads (JSON twin)", "json_loads", None, {"json": True, "norm": "parse"}),
                 ("json.dumps (JSON twin)", "json_dumps", None, {"json": True, "norm": "emit"})]
    return rows


def fmt(value, spec):
    return "n/a" if value is None or value != value else format(value, spec)


def corpus_table(kind, corpus_dir, floor, runs, binding_only, out):
    """Measures one corpus and writes its tables. Each row is bracketed by
    runs of the libyaml floor it is compared with, and its ratio uses those
    adjacent floor runs: load that comes and goes on a shared machine then
    moves both sides of the ratio."""
    ypath = os.path.join(corpus_dir, kind + ".yaml")
    jpath = os.path.join(corpus_dir, kind + ".json")
    if not os.path.exists(ypath):
        return None
    has_json = os.path.exists(jpath)
    size = os.path.getsize(ypath)
    pooled = {m: [] for m in ("scan", "parse", "parse_read", "parse_emit", "emit")}

    def floor_runs(modes):
        got = run_floor(floor, ypath, runs, modes)
        for m in modes:
            pooled[m].extend(got[m])
        return got

    info = floor_runs(list(pooled))
    results = []
    for label, op, base, extra in rows_for(kind, has_json, binding_only):
        spec = {"op": op, "file": jpath if extra.get("json") else ypath, "runs": runs,
                "binding_only": extra.get("binding_only", False), "gc_off": extra.get("gc_off", False)}
        norm = base or extra.get("norm")
        before = floor_runs([norm])[norm]
        r = run_child(spec)
        after = floor_runs([norm])[norm]
        r["floor"] = median(before + after)
        results.append((label, op, base, r))
    floor_runs(["parse_read", "parse_emit"])
    fl = {m: median(v) for m, v in pooled.items()}
    events, tokens = info["events"], info["tokens"]

    def rel(r):
        """Row time over its adjacent floor, or None."""
        return median(r["times"]) / r["floor"] if "times" in r else None

    def find(op=None, label=None):
        for lb, o, _, r in results:
            if (op is None or o == op) and (label is None or lb == label):
                return rel(r)
        return None

    w = out.write
    w("\n## %s (%s, %.2f MB, %d events, %d tokens)\n\n" % (kind, os.path.basename(ypath), size / 1e6,
                                                             events, tokens))
    w("| operation | MB/s | ns/event | × floor | floor | peak MB (Δ) |\n")
    w("|---|---:|---:|---:|---|---:|\n")
    for m, label in (("scan", "libyaml scan"), ("parse", "libyaml parse"),
                     ("parse_read", "libyaml parse, read handler"),
                     ("parse_emit", "libyaml parse + emit to memory"),
                     ("emit", "libyaml emit of parsed events to memory")):
        n = tokens if m == "scan" else events
        w("| %s | %s | %s | 1.00 | %s | |\n" % (label, fmt(size / fl[m] / 1e6, ".1f"),
                                              fmt(fl[m] / n * 1e9, ".1f"), m))
    for label, op, base, r in results:
        if "na" in r or "error" in r:
            w("| %s | n/a | n/a | n/a | %s | %s |\n" % (label, base or "", r.get("na") or r.get("error")))
            continue
        tm = median(r["times"])
        n = tokens if base == "scan" else events
        fsize = os.path.getsize(jpath) if op.startswith("json") else size
        peak = r["rss_peak_kb"] / 1024
        delta = (r["rss_peak_kb"] - r["rss_base_kb"]) / 1024
        w("| %s | %s | %s | %s | %s | %.0f (%+.0f) |\n" % (label, fmt(fsize / tm / 1e6, ".1f"),
                                                           fmt(tm / n * 1e9, ".1f"), fmt(rel(r), ".2f"),
                                                           base or "(%s)" % norm_of(op),
                                                           peak, delta))

    # Targets: ratios of the rows' own floor ratios, all from this run.
    def ratio(a, b):
        return a / b if a is not None and b else None

    raw_str = find("raw_parse_str")
    checks = [
        ("raw_parse str: libyaml parse / raw_parse", ratio(1, raw_str), ">=", 0.95),
        ("raw_parse bytes: libyaml parse / raw_parse", ratio(1, find("raw_parse_bytes")), ">=", 0.95),
        ("raw_parse file: libyaml parse / raw_parse", ratio(1, find("raw_parse_file")), ">=", 0.9),
        ("get_event (str) [binding-only] / raw_parse (str)",
         ratio(find(label="get_event (str) [binding-only]"), raw_str), "<=", 1.8),
        ("get_single_node trivial [binding-only] / raw_parse (str)",
         ratio(find(label="get_single_node trivial [binding-only]"), raw_str), "<=", 2.2),
        ("same, collector paused (gc off) / raw_parse (str)",
         ratio(find(label="get_single_node trivial [binding-only, gc off]"), raw_str), "<=", 2.2),
        ("emit / libyaml emit", find("emit"), "<=", 3.0),
        ("serialize trivial / libyaml emit", find("serialize_trivial"), "<=", 4.0),
        ("yaml.load / json.loads", ratio(find("load"), find("json_loads")), "<=", 12.0),
        ("yaml.dump / json.dumps", ratio(find("dump"), find("json_dumps")), "<=", 15.0),
    ]
    w("\n| target | ratio | goal | met |\n|---|---:|---|---|\n")
    for name, value, cmp, goal in checks:
        met = "n/a" if value is None else ("yes" if (value >= goal if cmp == ">=" else value <= goal) else "NO")
        w("| %s | %s | %s %.2f | %s |\n" % (name, fmt(value, ".2f"), cmp, goal, met))
    out.flush()
    return True


def main(argv=None):
    ap = argparse.ArgumentParser(description="yaml._yaml benchmark runner")
    ap.add_argument("--corpus", help="folder with KIND.yaml / KIND.json (default: generate one)")
    ap.add_argument("--runs", type=int, help="runs per measurement (default 5, 1 with --quick)")
    ap.add_argument("--quick", action="store_true", help="small corpus, one run: checks the runner works")
    ap.add_argument("--binding-only", action="store_true",
                    help="only the binding-only variants of the object-building rows")
    ap.add_argument("--kinds", default=",".join(KINDS))
    ap.add_argument("--stream-mb", type=float, help="size of the generated file-object stream (default 200)")
    ap.add_argument("--floor", default=os.path.join(REPO_ROOT, "build", "bench", "libyaml_floor"))
    ap.add_argument("--child", help=argparse.SUPPRESS)
    args = ap.parse_args(argv)
    if args.child:
        child_main(json.loads(args.child))
        return 0

    yaml, _yaml = import_own_yaml()
    runs = args.runs or (1 if args.quick else 5)
    stream_mb = args.stream_mb if args.stream_mb is not None else (2 if args.quick else 200)
    if not os.path.exists(args.floor):
        sys.exit("bench: %s is missing; build it with cmake --build build --target libyaml_floor" % args.floor)
    corpus = args.corpus
    if not corpus:
        corpus = os.path.join(REPO_ROOT, "build", "bench", "corpus-quick" if args.quick else "corpus")
        # In a child, so this process stays small.
        subprocess.run([sys.executable, "-P", os.path.join(BENCH_DIR, "gen_corpus.py"), corpus,
                        "--size", "0.1" if args.quick else "4"], check=True, stdout=subprocess.DEVNULL)

    out = sys.stdout
    out.write("# yaml._yaml benchmark\n\n```\n")
    for line in machine_lines():
        out.write(line + "\n")
    out.write("python: %s (%s)\n" % (sys.version.split()[0], sys.executable))
    out.write("libyaml: %s\n" % _yaml.get_version_string())
    out.write("yaml: %s\nyaml._yaml: %s\n" % (yaml.__file__, _yaml.__file__))
    out.write("corpus: %s\nruns per measurement: %d (median shown)%s\n"
              % (os.path.realpath(corpus), runs, ", binding-only rows only" if args.binding_only else ""))
    out.write("yaml.load/dump: %s\n```\n" % ("present" if hasattr(yaml, "load") else "n/a (not in this package)"))
    out.write("\n× floor = median time / median time of the libyaml floor named in the row, "
              "timed just before and just after that row; a floor in parentheses is the YAML "
              "twin's, used only to put the JSON rows on the same footing. Δ = peak RSS over the "
              "child's RSS after its set-up. Targets are ratios of these ratios.\n")
    out.flush()
    done = 0
    for kind in [k for k in args.kinds.split(",") if k]:
        if corpus_table(kind, corpus, args.floor, runs, args.binding_only, out):
            done += 1
    if not done:
        sys.exit("bench: no KIND.yaml found in %s" % corpus)

    # Memory while streaming through a file object.
    total = int(stream_mb * 1e6)
    base = run_child({"op": "raw_parse_bytes", "file": None, "runs": 0})
    r = run_child({"op": "stream_get_event", "runs": 1, "stream_bytes": total})
    out.write("\n## file-object stream (%.0f MB generated on the fly, get_event with host classes)\n\n" % (total / 1e6))
    if "times" in r:
        baseline = base.get("rss_peak_kb", r["rss_base_kb"])
        over = (r["rss_peak_kb"] - baseline) / 1024
        out.write("| events | MB/s | peak RSS MB | interpreter baseline MB | over baseline MB | goal | met |\n")
        out.write("|---:|---:|---:|---:|---:|---|---|\n")
        out.write("| %d | %.1f | %.0f | %.0f | %.1f | <= 50 | %s |\n" % (
            r["result"], total / r["times"][0] / 1e6, r["rss_peak_kb"] / 1024, baseline / 1024, over,
            "yes" if over <= 50 else "NO"))
    else:
        out.write("error: %s\n" % r.get("error"))
    if FAILURES:
        for op, stderr in FAILURES:
            sys.stderr.write("bench: %s failed:\n%s\n" % (op, stderr))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
