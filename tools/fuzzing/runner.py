"""The runner: cases by seed and index, worker processes, crash isolation,
the leak check and the report."""

import argparse
import atexit
import gc
import io
import json
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

from tests.support import suite
from tests.support.project import REPO_ROOT
from tests.support.required import SWITCH, required
from tests.support.roundtrip import event_key

from . import __doc__ as PACKAGE_DOC
from .host import SAMPLE, Dumper, Finding, _yaml, compose_all, parse_events, serialize_all, yaml
from .inputs import gen_document, load_corpus
from .modes import MODE_NAMES, MODES
from .modes.lifecycle import _testcapi

ENTRY = os.path.join(REPO_ROOT, "tools", "fuzz.py")

BUG_TEXTS = ("returned NULL without setting", "returned a result with an exception set",
             "error return without exception set")


class Context:
    def __init__(self, pool):
        self.pool = pool
        self.healthy_reference = self._healthy_result()
        self.tool = suite.tool_path("libyaml_events")
        self.scratch = tempfile.mkdtemp(prefix="yaml-fuzz-")
        atexit.register(shutil.rmtree, self.scratch, True)

    @staticmethod
    def _healthy_result():
        events = [event_key(e) for e in parse_events(SAMPLE)]
        out = io.StringIO()
        serialize_all(Dumper(out), compose_all(SAMPLE))
        return events, out.getvalue()

    def check_healthy(self):
        if self._healthy_result() != self.healthy_reference:
            raise Finding("a healthy parse and dump differ after the case")


def interpreter_oom_fault(exc):
    """True for the interpreter's own slips when an allocation fails while
    Python code raises: it then reports a Python function (never one of
    the module's) as returning NULL without an exception, or raises "error
    return without exception set" out of a Python frame.  Plain Python
    code, without the module, does both."""
    if re.match(r"<function [\w.<>]+ at 0x[0-9a-f]+> returned NULL without setting an exception$",
                str(exc)):
        return True
    tb = exc.__traceback__
    while tb is not None and tb.tb_next is not None:
        tb = tb.tb_next
    # Raised inside a Python callback, not at the module's call site.
    return tb is not None and tb.tb_frame.f_code.co_name != "mode_oom"


def case_rng(seed, index):
    return random.Random("%d:%d" % (seed, index))


def run_case(seed, index, ctx, modes=MODES):
    """Runs case `index` of `seed` in the mode the index selects from the
    table `modes`; returns (mode name, finding text or None)."""
    mode = modes[index % len(modes)]
    name = mode.name
    rng = case_rng(seed, index)
    try:
        mode.run(rng, ctx)
    except Finding as exc:
        return name, "consistency: %s" % exc
    except SystemError as exc:
        if name == "oom" and interpreter_oom_fault(exc):
            return name, None
        return name, "SystemError:\n%s" % traceback.format_exc(limit=6)
    except BaseException as exc:   # noqa: B902 - the table decides
        if isinstance(exc, KeyboardInterrupt):
            raise
        if not isinstance(exc, Exception) or not mode.outcomes.allows(exc):
            return name, "unexpected %s:\n%s" % (type(exc).__name__, traceback.format_exc(limit=8))
        text = str(exc) if not isinstance(exc, MemoryError) else ""
        if any(t in text for t in BUG_TEXTS):
            return name, "bad exception state:\n%s" % traceback.format_exc(limit=6)
        cause = exc.__context__
        while cause is not None:
            if isinstance(cause, SystemError):
                return name, "SystemError in the context:\n%s" % traceback.format_exc(limit=6)
            cause = cause.__context__
    return name, None


def memory_units_counted():
    """False where the interpreter counts no blocks (PYTHONMALLOC=malloc, as
    under the sanitizer runner): the leak check then sees nothing."""
    return hasattr(sys, "gettotalrefcount") or sys.getallocatedblocks() > 0


def memory_units():
    if hasattr(sys, "gettotalrefcount"):
        return sys.gettotalrefcount() + sys.getallocatedblocks()
    return sys.getallocatedblocks()


# Rebinding host globals and pickling under them feeds caches of the
# interpreter that keep growing slowly for hundreds of runs.
NO_LEAK_CHECK = ("host_globals",)


def leak_check(seed, index, ctx, repeats=30, deadline=None, modes=MODES):
    """Runs one case again and again; a steady growth is a leak.  Caches of
    the interpreter also grow at first, but less with every batch."""
    def batch(n):
        for _ in range(n):
            run_case(seed, index, ctx, modes)
        gc.collect()
    batch(10)
    growth = []
    for _ in range(3):
        before = memory_units()
        batch(repeats)
        growth.append(memory_units() - before)
        if growth[-1] < repeats or (deadline and time.time() > deadline):
            return None
    if growth[-1] * 2 < growth[0]:
        return None
    return "memory grows by about %d blocks per run" % (growth[-1] // repeats)


class Stats:
    def __init__(self):
        self.counts = dict.fromkeys(MODE_NAMES, 0)
        self.findings = []   # (index, mode, text)



def run_range(seed, first, count, deadline, ctx, stats, progress=None, leak_every=0,
              report=None, only=None):
    """In-process core: runs cases first..first+count-1 until the deadline,
    only those of the modes named in `only` when it is given.  Returns the
    index of the next case not run."""
    index = first
    while index < first + count and time.time() < deadline:
        if only and MODE_NAMES[index % len(MODES)] not in only:
            index += 1
            continue
        if progress:
            progress(index)
        began = time.perf_counter()
        name, finding = run_case(seed, index, ctx)
        took = time.perf_counter() - began
        stats.counts[name] += 1
        found = []
        if finding:
            found.append((index, name, finding))
        # Repeat quick cases of the modes without odd objects (whose
        # rebinding and faults keep caches of their own) to look for leaks.
        if (leak_every and index % leak_every == 0 and took < 0.02
                and MODE_NAMES[index % len(MODES)] not in NO_LEAK_CHECK):
            leak = leak_check(seed, index, ctx, deadline=deadline)
            if leak:
                found.append((index, name, "leak: " + leak))
        stats.findings.extend(found)
        if report:
            for item in found:
                report(item)
        index += 1
    return index


def default_corpus():
    return str(suite.SUITE_DIR)


def make_context(corpus):
    pool = load_corpus(corpus)
    generated = not pool
    if generated:
        rng = random.Random(0)
        pool = [gen_document(rng) for _ in range(200)]
    return Context(pool), generated


def worker_main(args):
    ctx, _ = make_context(args.corpus)
    stats = Stats()
    out = sys.stdout

    def progress(i):
        out.write("C %d\n" % i)
        out.flush()
        if i == args.crash_at:
            os.abort()   # proves the crash path of the parent

    def report(item):
        out.write("F %s\n" % json.dumps(item))
        out.flush()
    nxt = run_range(args.seed, args.first, args.iterations, args.until, ctx, stats, progress,
                    leak_every=args.leak_every, report=report, only=args.modes)
    out.write("R %d\n" % nxt)
    out.flush()
    return 0


def spawn(args, first, count, until, extra=()):
    cmd = [sys.executable]
    if sys.flags.safe_path:
        cmd.append("-P")
    cmd += [ENTRY, "--worker", "--seed", str(args.seed), "--first", str(first),
            "--iterations", str(count), "--until", repr(until), "--corpus", args.corpus or "",
            "--leak-every", str(args.leak_every)] + list(extra)
    if args.crash_at is not None:
        cmd += ["--crash-at", str(args.crash_at)]
    if args.modes:
        cmd += ["--modes", ",".join(args.modes)]
    env = dict(os.environ)
    if not env.get("PYTHONPATH"):
        env["PYTHONPATH"] = REPO_ROOT
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, text=True)
    hard_limit = max(until - time.time(), 0) + 120
    try:
        stdout, stderr = proc.communicate(timeout=hard_limit)
        timed_out = False
    except subprocess.TimeoutExpired:
        proc.kill()
        stdout, stderr = proc.communicate()
        timed_out = True
    started, findings, finished = [], [], None
    for line in stdout.splitlines():
        if line.startswith("C "):
            started.append(int(line[2:]))
        elif line.startswith("F "):
            findings.append(tuple(json.loads(line[2:])))
        elif line.startswith("R "):
            finished = int(line[2:])
    return Outcome(proc.returncode, timed_out, started, findings, finished, stderr)


class Outcome:
    """What a worker did: the cases it started, its findings, and the next
    case index when it finished normally (None when it died)."""

    def __init__(self, code, timed_out, started, findings, finished, stderr):
        self.code, self.timed_out, self.started = code, timed_out, started
        self.findings, self.finished, self.stderr = findings, finished, stderr
        if self.code != 0 or self.timed_out:
            self.finished = None


def describe_death(outcome):
    if outcome.timed_out:
        return "hang (worker killed after its time limit)"
    code = outcome.code
    what = "killed by signal %d" % -code if code < 0 else "exit status %d" % code
    tail = "\n".join(outcome.stderr.splitlines()[-40:])
    return "crash (%s)\n%s" % (what, tail)


def missing_parts(ctx, generated, args):
    """What this run lacks: the corpus, and the tools of the modes it runs."""
    wanted = set(args.modes or MODE_NAMES)
    lacking = []
    if generated:
        lacking.append("corpus %r not found or empty: generated inputs only" % args.corpus)
    if ctx.tool is None and "libyaml_diff" in wanted:
        lacking.append("reference tool libyaml_events not built: libyaml_diff compares nothing")
    if _testcapi is None and "oom" in wanted:
        lacking.append("no _testcapi in this interpreter: oom makes no allocation fail")
    return lacking


def parent_main(args):
    start = time.time()
    deadline = start + args.seconds
    print("fuzz: seed %d, up to %s s, up to %s iterations" % (args.seed, args.seconds,
          args.iterations if args.iterations else "unlimited"), flush=True)
    print("fuzz: yaml from %s, _yaml from %s" % (yaml.__file__, _yaml.__file__), flush=True)
    ctx, generated = make_context(args.corpus)
    print("fuzz: %d inputs (%s)" % (len(ctx.pool), "generated" if generated else "corpus " + args.corpus),
          flush=True)
    print("fuzz: libyaml reference %s" % (ctx.tool or "not built"), flush=True)
    lacking = missing_parts(ctx, generated, args)
    for text in lacking:
        print("fuzz: missing: %s" % text, flush=True)
    if lacking and required():
        print("fuzz: %s is set: a missing data set or tool fails the run" % SWITCH, flush=True)
        return 1
    if args.leak_every and not memory_units_counted():
        print("fuzz: leak check off: this interpreter counts no memory blocks "
              "(PYTHONMALLOC=malloc); leaks are left to the sanitizer and refleak runs",
              flush=True)
    stats = Stats()
    index = 0
    limit = args.iterations or 1 << 62
    while index < limit and time.time() < deadline:
        outcome = spawn(args, index, limit - index, deadline)
        stats.findings.extend(outcome.findings)
        done = outcome.started if outcome.finished is not None else outcome.started[:-1]
        for i in done:
            stats.counts[MODE_NAMES[i % len(MODES)]] += 1
        if outcome.finished is not None:
            if outcome.finished == index:
                break
            index = outcome.finished
            continue
        crashed = outcome.started[-1] if outcome.started else index
        death = describe_death(outcome)
        # Alone, in a fresh process: does the case crash by itself?
        alone = spawn(args, crashed, 1, time.time() + 60)
        if alone.finished is None:
            death = describe_death(alone)
            repro = "python3 -P tools/fuzz.py --seed %d --case %d" % (args.seed, crashed)
        else:
            repro = ("python3 -P tools/fuzz.py --worker --seed %d --first %d --iterations %d"
                     "  (needs the cases before it)" % (args.seed, index, crashed - index + 1))
        mode = MODE_NAMES[crashed % len(MODES)]
        stats.counts[mode] += 1
        stats.findings.append((crashed, mode, "%s\nreproduce: %s" % (death, repro)))
        print("fuzz: case %d (%s) crashed the worker" % (crashed, mode), flush=True)
        index = crashed + 1
    total = sum(stats.counts.values())
    print("fuzz: %d iterations in %.1f s" % (total, time.time() - start))
    for name in MODE_NAMES:
        print("  %-20s %d" % (name, stats.counts[name]))
    print("fuzz: %d finding%s" % (len(stats.findings), "" if len(stats.findings) == 1 else "s"))
    for index, mode, text in stats.findings:
        print("--- case %d (%s): python3 -P tools/fuzz.py --seed %d --case %d\n%s"
              % (index, mode, args.seed, index, text))
    return 1 if stats.findings else 0


def case_main(args):
    ctx, _ = make_context(args.corpus)
    name, finding = run_case(args.seed, args.case, ctx)
    print("case %d (%s): %s" % (args.case, name, finding or "no finding"))
    return 1 if finding else 0


def main(argv=None):
    parser = argparse.ArgumentParser(description=PACKAGE_DOC.split("\n\n")[0])
    parser.add_argument("--seed", type=int, default=None, help="default: from the clock, printed")
    parser.add_argument("--seconds", type=float, default=60.0, help="time budget (default 60)")
    parser.add_argument("--iterations", type=int, default=0,
                        help="case numbers to go through (default 0: until the time is up)")
    parser.add_argument("--corpus", default=default_corpus(),
                        help="folder searched for in.yaml/out.yaml/emit.yaml (default: the YAML "
                             "test suite beside the repository; generated documents without it)")
    parser.add_argument("--modes", default="",
                        help="comma-separated modes to run (default: all): " + ", ".join(MODE_NAMES))
    parser.add_argument("--case", type=int, default=None, help="run only this case, in process")
    parser.add_argument("--leak-every", type=int, default=97,
                        help="repeat every N-th case to look for growing memory (0: never)")
    parser.add_argument("--worker", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("--crash-at", type=int, default=None, help=argparse.SUPPRESS)
    parser.add_argument("--first", type=int, default=0, help=argparse.SUPPRESS)
    parser.add_argument("--until", type=float, default=None, help=argparse.SUPPRESS)
    args = parser.parse_args(argv)
    args.modes = [m for m in args.modes.split(",") if m]
    unknown = sorted(set(args.modes) - set(MODE_NAMES))
    if unknown:
        parser.error("unknown mode(s): %s" % ", ".join(unknown))
    if args.seed is None:
        args.seed = int(time.time() * 1000) % (1 << 31)
    if args.worker:
        if args.until is None:
            args.until = time.time() + args.seconds
        if not args.iterations:
            args.iterations = 1 << 62
        return worker_main(args)
    if args.case is not None:
        return case_main(args)
    return parent_main(args)
