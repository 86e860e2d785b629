"""Instruction counts per operation under callgrind: a comparison that holds
on a machine too busy for wall-clock figures.

    PYTHONPATH=. python3 -P bench/instructions.py CORPUS.yaml [OP ...]

For each operation the interpreter runs twice under valgrind's callgrind,
once with the set-up alone and once with the set-up and the operation; the
difference, in instructions, is the operation's own cost (collector paused
in both, so its timing cannot shift counts between runs). Operations:
raw_parse_str, raw_parse_bytes, raw_parse_file, get_event_bo,
node_trivial_bo, emit, serialize (binding-only rows as in bench/run.py).
Needs valgrind (tools/install-deps.sh installs it). Use a small corpus
(0.5 MB): callgrind runs some fifty times slower than the plain interpreter.
"""

import gc
import io
import os
import re
import subprocess
import sys

BENCH_DIR = os.path.dirname(os.path.realpath(__file__))
OPS = ("raw_parse_str", "raw_parse_bytes", "raw_parse_file", "get_event_bo", "node_trivial_bo", "emit",
       "serialize")


def load_runner():
    sys.path.insert(0, BENCH_DIR)
    import run

    return run


def child(op, path, setup_only):
    run = load_runner()
    yaml, _yaml = run.import_own_yaml()
    with open(path, "rb") as f:
        raw = f.read()
    text = raw.decode("utf-8")
    loader = run.trivial_resolver_class(_yaml.CParser, run.TRIVIAL_TAG)
    dumper = run.trivial_resolver_class(_yaml.CEmitter, run.TRIVIAL_TAG)
    events = graph = None
    if op == "emit":
        events = run.parsed_events(_yaml, text)
    elif op == "serialize":
        graph = loader(text).get_single_node()
    gc.collect()
    gc.disable()
    if op == "get_event_bo":
        run.rebind_globals(_yaml, "event")
    elif op == "node_trivial_bo":
        run.rebind_globals(_yaml, "node")
    if setup_only:
        return
    if op == "raw_parse_str":
        _yaml.CParser(text).raw_parse()
    elif op == "raw_parse_bytes":
        _yaml.CParser(raw).raw_parse()
    elif op == "raw_parse_file":
        _yaml.CParser(io.BytesIO(raw)).raw_parse()
    elif op == "get_event_bo":
        parser = _yaml.CParser(text)
        while parser.get_event() is not None:
            pass
    elif op == "node_trivial_bo":
        loader(text).get_single_node()
    elif op == "emit":
        emitter = _yaml.CEmitter(io.StringIO())
        for event in events:
            emitter.emit(event)
    elif op == "serialize":
        d = dumper(io.StringIO())
        d.open()
        d.serialize(graph)
        d.close()
    else:
        raise SystemExit("unknown operation %r" % op)


def count(op, path, setup_only):
    cmd = ["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null", os.path.realpath(sys.executable),
           "-P", os.path.realpath(__file__), "--child", op, path] + (["--setup"] if setup_only else [])
    proc = subprocess.run(cmd, capture_output=True, text=True)
    m = re.search(r"Collected : (\d+)", proc.stderr)
    if proc.returncode != 0 or not m:
        raise SystemExit("callgrind failed for %s:\n%s" % (op, proc.stderr[-2000:]))
    return int(m.group(1))


def main(argv):
    if argv[:1] == ["--child"]:
        child(argv[1], argv[2], "--setup" in argv[3:])
        return 0
    if not argv:
        print(__doc__)
        return 2
    path, ops = argv[0], argv[1:] or list(OPS)
    run = load_runner()
    yaml, _yaml = run.import_own_yaml()
    events = _yaml.CParser(open(path, "rb").read()).raw_parse()
    print("corpus: %s (%d bytes, %d events)" % (path, os.path.getsize(path), events))
    print("yaml._yaml: %s" % _yaml.__file__)
    print("| operation | instructions (M) | per event |")
    print("|---|---:|---:|")
    for op in ops:
        n = count(op, path, False) - count(op, path, True)
        print("| %s | %.1f | %.0f |" % (op, n / 1e6, n / events))
        sys.stdout.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
