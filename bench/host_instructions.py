"""Instruction counts of load and dump through the host package next to
json on the same data: ratios that hold on a machine too busy for
wall-clock figures.

    PYTHONPATH=. python3 -P bench/host_instructions.py CORPUS_DIR KIND [KIND ...]

CORPUS_DIR holds KIND.yaml and KIND.json as bench/gen_corpus.py writes
them. Each operation runs once under valgrind's callgrind after a set-up
(reading the files; for the dumps, loading the data), and the set-up's own
count is subtracted. Unlike bench/instructions.py the collector is left as
a program finds it, so its share of the work is counted.
"""

import os
import re
import subprocess
import sys

OPS = ("json_loads", "load_all", "json_dumps", "dump_all")


def child(op, directory, kind, setup_only):
    import json

    import yaml
    here = os.path.dirname(os.path.dirname(os.path.realpath(__file__)))
    if not os.path.realpath(yaml.__file__).startswith(here):
        raise SystemExit("imported yaml from %s, not from this project" % yaml.__file__)
    with open(os.path.join(directory, kind + ".yaml"), encoding="utf-8") as f:
        text = f.read()
    with open(os.path.join(directory, kind + ".json"), encoding="utf-8") as f:
        json_text = f.read()
    if op == "json_dumps":
        data = json.loads(json_text)
    elif op == "dump_all":
        data = list(yaml.safe_load_all(text))
    if setup_only:
        return
    if op == "json_loads":
        json.loads(json_text)
    elif op == "load_all":
        list(yaml.safe_load_all(text))
    elif op == "json_dumps":
        json.dumps(data)
    else:
        yaml.safe_dump_all(data)


def count(op, directory, kind, setup_only):
    cmd = ["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null",
           os.path.realpath(sys.executable), "-P", os.path.realpath(__file__),
           "--child", op, directory, kind] + (["--setup"] if setup_only else [])
    proc = subprocess.run(cmd, capture_output=True, text=True)
    m = re.search(r"Collected : (\d+)", proc.stderr)
    if proc.returncode != 0 or not m:
        raise SystemExit("callgrind failed for %s:\n%s" % (op, proc.stderr[-2000:]))
    return int(m.group(1))


def main(argv):
    if argv[:1] == ["--child"]:
        child(argv[1], argv[2], argv[3], "--setup" in argv[4:])
        return
    if len(argv) < 2:
        raise SystemExit(__doc__)
    directory, kinds = argv[0], argv[1:]
    for kind in kinds:
        own = {op: count(op, directory, kind, False) - count(op, directory, kind, True)
               for op in OPS}
        print("%s: json.loads %d, load_all %d (x%.1f); json.dumps %d, dump_all %d (x%.1f)" % (
            kind, own["json_loads"], own["load_all"], own["load_all"] / own["json_loads"],
            own["json_dumps"], own["dump_all"], own["dump_all"] / own["json_dumps"]))
        sys.stdout.flush()


if __name__ == "__main__":
    main(sys.argv[1:])
