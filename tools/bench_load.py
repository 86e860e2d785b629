#!/usr/bin/env python3
"""Prints load time and peak memory for alias bombs of growing depth, and
load/dump throughput on a plain document.

Run from the repository root: PYTHONPATH=. python3 -P tools/bench_load.py
An alias bomb of n levels names 9**n strings if expanded; loading it must
grow with its text (n), not with 9**n.
"""

import sys
import time
import tracemalloc

import yaml

if not yaml.__file__.startswith(sys.path[0].rsplit("/tools", 1)[0]):
    print("warning: yaml comes from %s" % yaml.__file__)


def alias_bomb(levels, width=9):
    lines = ["l0: &l0 [%s]" % ", ".join(["lol"] * width)]
    for i in range(1, levels):
        lines.append("l%d: &l%d [%s]" % (i, i, ", ".join(["*l%d" % (i - 1)] * width)))
    return "\n".join(lines) + "\n"


def measure(fn, memory=True):
    if memory:
        tracemalloc.start()
    start = time.perf_counter()
    result = fn()
    elapsed = time.perf_counter() - start
    peak = tracemalloc.get_traced_memory()[1] if memory else 0
    if memory:
        tracemalloc.stop()
    return result, elapsed, peak


def main():
    print("yaml from", yaml.__file__)
    print("%-8s %10s %14s %12s %12s" % ("levels", "text bytes", "expanded", "load ms", "peak KiB"))
    for levels in (5, 10, 20, 40, 80):
        text = alias_bomb(levels)
        _, elapsed, peak = measure(lambda: yaml.load(text))
        print("%-8d %10d %14.3g %12.2f %12.1f"
              % (levels, len(text), 9.0 ** levels, elapsed * 1000, peak / 1024))

    doc = {"items": [{"id": i, "name": "item %d" % i, "price": i * 1.25,
                      "tags": ["a", "b", "yes"], "active": i % 2 == 0}
                     for i in range(20000)]}
    text, elapsed, _ = measure(lambda: yaml.dump(doc), memory=False)
    print("dump: %d bytes in %.3f s (%.1f MB/s)" % (len(text), elapsed, len(text) / elapsed / 1e6))
    back, elapsed, _ = measure(lambda: yaml.load(text), memory=False)
    assert back == doc
    print("load: %d bytes in %.3f s (%.1f MB/s)" % (len(text), elapsed, len(text) / elapsed / 1e6))


if __name__ == "__main__":
    main()
