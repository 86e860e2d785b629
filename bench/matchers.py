"""Micro-benchmark of yaml._speedups' implicit-type rows and scalar
constructors against Python regular expressions and Python conversions, over
the plain scalars of the generated corpora.

    PYTHONPATH=. python3 -P bench/matchers.py [--size MB] [--rounds N]

Figures are ns per value, medians of N alternating rounds over the same
values, timed in cache-sized blocks (see BLOCK). `call floor` is the same loop calling a built-in with one argument
(len): the native rows pay that call too, so "net" is a row minus the floor,
what the matcher or constructor costs itself. The regular expressions are
tried as the stock resolver tries its rows: only those registered under the
value's first character, in order, each against the whole value; the
package's own Resolver.resolve is timed beside them as it is (with whatever
it keeps between calls).
"""

import argparse
import importlib.util
import os
import statistics
import sys
import time

BENCH_DIR = os.path.dirname(os.path.realpath(__file__))
REPO_ROOT = os.path.dirname(BENCH_DIR)


def load(name, path):
    spec = importlib.util.spec_from_file_location(name, path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


run = load("bench_run", os.path.join(BENCH_DIR, "run.py"))
gen_corpus = load("bench_gen_corpus", os.path.join(BENCH_DIR, "gen_corpus.py"))


def plain_scalars(_yaml, text):
    """The values of the plain scalars of `text`, in document order."""
    return [event.value for event in run.parsed_events(_yaml, text)
            if type(event).__name__ == "ScalarEvent" and event.implicit[0]]


def first_characters(rows):
    """The stock resolver's registration: first character -> rows, in order."""
    starts = {"bool": "yYnNtTfFoO", "float": "-+0123456789.", "int": "-+0123456789", "merge": "<",
              "null": "~nN", "timestamp": "0123456789", "value": "="}
    table = {}
    for tag, pattern in rows:
        name = tag.rsplit(":", 1)[1]
        for char in starts[name] + ("" if name != "null" else "\0"):
            table.setdefault("" if char == "\0" else char, []).append((tag, pattern))
    return table


def regex_resolver(rows):
    table = first_characters(rows)

    def resolve(value):
        for tag, pattern in table.get(value[:1], ()):
            if pattern.fullmatch(value):
                return tag
        return None

    return resolve


# Values are timed in blocks small enough to stay in the processor's caches,
# each block many times over: a loader hands the matcher text that was just
# read, so memory latency is not part of its cost.
BLOCK = 1024
REPEAT = 50


def blocks(items):
    return [items[i:i + BLOCK] for i in range(0, len(items), BLOCK)]


def time_loop(func, values):
    elapsed = 0.0
    for block in blocks(values):
        start = time.perf_counter()
        for _ in range(REPEAT):
            for value in block:
                func(value)
        elapsed += time.perf_counter() - start
    return elapsed / (len(values) * REPEAT) * 1e9


def time_pairs(func, pairs):
    elapsed = 0.0
    for block in blocks(pairs):
        start = time.perf_counter()
        for _ in range(REPEAT):
            for tag, value in block:
                func(tag, value)
        elapsed += time.perf_counter() - start
    return elapsed / (len(pairs) * REPEAT) * 1e9


def main(argv=None):
    ap = argparse.ArgumentParser(description="yaml._speedups matcher and constructor micro-benchmark")
    ap.add_argument("--size", type=float, default=0.25, help="MB of each generated corpus (default 0.25)")
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--kinds", default="config,records")
    args = ap.parse_args(argv)

    yaml, _yaml = run.import_own_yaml()
    import yaml._speedups as speedups
    if not run.inside_repo(speedups.__file__):
        sys.exit("bench: yaml._speedups comes from %s, outside %s" % (speedups.__file__, REPO_ROOT))
    sys.path.insert(0, REPO_ROOT)
    from tests.test_implicit_types import IMPLICIT_ROWS, REFERENCE

    print("# implicit-type rows and scalar constructors, ns per value\n")
    print("```")
    for line in run.machine_lines():
        print(line)
    print("python: %s\nyaml._speedups: %s" % (sys.version.split()[0], speedups.__file__))
    print("rounds: %d (median shown)\n```" % args.rounds)

    resolve_re = regex_resolver(REFERENCE.rows)
    resolver = yaml.resolver.Resolver()

    def package_resolve(value):
        return resolver.resolve(yaml.nodes.ScalarNode, value, (True, False))

    for kind in args.kinds.split(","):
        values = plain_scalars(_yaml, gen_corpus.generate(kind, args.size)[0])
        # Both sides must agree before their times mean anything.
        disagree = [v for v in values if speedups._resolve_scalar(v) != resolve_re(v)]
        if disagree:
            sys.exit("bench: native and regular-expression rows disagree on %r" % disagree[:5])
        typed = [(speedups._resolve_scalar(v), v) for v in values]
        typed = [(tag, v) for tag, v in typed if tag and not tag.endswith((":merge", ":value"))]
        one, two = "call floor (len)", "call floor, two arguments (isinstance)"
        pairs = [(value, str) for _, value in typed]
        # (label, measurement, the floor it is net of)
        rows = [
            (one, lambda: time_loop(len, values), None),
            ("native rows (_resolve_scalar)", lambda: time_loop(speedups._resolve_scalar, values), one),
            ("regular expressions (the tests' reference)", lambda: time_loop(resolve_re, values), one),
            ("the package's Resolver.resolve", lambda: time_loop(package_resolve, values), one),
            (two, lambda: time_pairs(isinstance, pairs), None),
            ("native constructors (_construct_scalar)", lambda: time_pairs(speedups._construct_scalar, typed), two),
            ("Python constructors (the tests' reference)", lambda: time_pairs(REFERENCE.construct, typed), two),
        ]
        times = {label: [] for label, _, _ in rows}
        for _ in range(args.rounds):
            for label, measure, _ in rows:
                times[label].append(measure())
        median = {label: statistics.median(t) for label, t in times.items()}
        net = {label: median[label] - median[floor] for label, _, floor in rows if floor}
        counts = {}
        for tag, _ in typed:
            name = tag.rsplit(":", 1)[1]
            counts[name] = counts.get(name, 0) + 1
        print("\n## %s: %d plain scalars, %d of a non-str type (%s)\n" % (
            kind, len(values), len(typed), ", ".join("%s %d" % item for item in sorted(counts.items()))))
        print("| row | ns/value | net of its call floor |\n|---|---:|---:|")
        for label, _, _ in rows:
            print("| %s | %.1f | %s |" % (label, median[label], "%.1f" % net[label] if label in net else ""))
        def ratio(slow, fast):
            # A floor that moved more than the row it is taken from (a busy
            # machine) leaves no figure.
            return "%.1f x" % (net[slow] / net[fast]) if net[fast] > 0 and net[slow] > 0 else "n/a"

        print("\nnet, regular expressions / native rows: %s; Python / native constructors: %s" % (
            ratio("regular expressions (the tests' reference)", "native rows (_resolve_scalar)"),
            ratio("Python constructors (the tests' reference)", "native constructors (_construct_scalar)")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
