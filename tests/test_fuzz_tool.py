"""The fuzzer finds what it is meant to find: a short fixed-seed run over
every mode is clean, a fault planted in every mode is reported, each mode's
table of outcomes refuses the wrong exception class and the right class
for another reason, and a changed round trip, growing memory, a call not
refused and a dead worker are each reported."""

import os
import subprocess
import sys
import time
import unittest
from unittest import mock

from tests.support import suite
from tests.support.project import REPO_ROOT, OwnPackageTest, assert_own_package
from tools.fuzzing import host, inputs, outcomes, runner
from tools.fuzzing.modes import MODE_NAMES, MODES, Mode, hosts, lifecycle

FUZZ_PATH = os.path.join(REPO_ROOT, "tools", "fuzz.py")
CTX, _GENERATED = runner.make_context(runner.default_corpus())
PARSER_METHODS = [m for m in lifecycle.PARSER_METHODS if m != "__init__"]
EMITTER_METHODS = ["emit", "open", "serialize", "close", "dispose"]


def run(count, seed=20240601, modes=None):
    """Runs `count` cases of each named mode (of every mode when None)."""
    stats = runner.Stats()
    for name in modes or MODE_NAMES:
        mode_index = MODE_NAMES.index(name)
        for k in range(count):
            index = k * len(MODES) + mode_index
            got, finding = runner.run_case(seed, index, CTX)
            stats.counts[got] += 1
            if finding:
                stats.findings.append((index, got, finding))
    return stats


def planted(*_args, **_kwargs):
    raise ZeroDivisionError("planted")


def returns_none(*_args, **_kwargs):
    return None


def patches(replacement, *targets):
    """mock patches replacing each (owner, attribute names) with `replacement`."""
    return [mock.patch.object(owner, name, replacement, create=True)
            for owner, names in targets for name in names]


# For each mode, the module seams its cases reach first, so that every case
# meets the planted fault.
PLANTS = {
    "scan": [(host.Loader, ["__init__"])],
    "parse": [(host.Loader, ["get_event", "raw_parse", "check_event", "peek_event"])],
    "compose": [(host.Loader, ["check_node", "get_single_node"])],
    "events_roundtrip": [(host.Loader, ["get_event"])],
    "graph_roundtrip": [(host.Loader, ["check_node"])],
    "read_stream": [(host.Loader, ["__init__"])],
    "resolver_faults": [(hosts.FaultyResolverLoader, ["__init__"])],
    "host_globals": [(host.Loader, ["__init__"])],
    "emit_odd_events": [(host.Dumper, ["__init__"]), (hosts.FaultyResolverDumper, ["__init__"])],
    "serialize_odd_nodes": [(host.Dumper, ["__init__"]), (hosts.FaultyResolverDumper, ["__init__"])],
    "mark": [(host._yaml, ["Mark"])],
    "dispose_misuse": [(host.Dumper, EMITTER_METHODS), (host.Loader, PARSER_METHODS)],
    "reentry": [(hosts.ReentrantLoader, ["__init__"]), (hosts.ReentrantDumper, ["__init__"])],
    "oom": [(host.Loader, ["__init__"])],
    "libyaml_diff": [(host.Loader, ["__init__"])],
}


class FuzzToolTest(OwnPackageTest):
    def test_drives_the_project_package(self):
        package, extension = assert_own_package(self)
        self.assertIs(host.yaml, package)
        self.assertIs(host._yaml, extension)

    def test_fixed_seed_run_is_clean_and_covers_every_mode(self):
        stats = runner.Stats()
        runner.run_range(20240601, 0, len(MODES) * 6, time.time() + 600, CTX, stats)
        self.assertEqual(stats.findings, [])
        for name in MODE_NAMES:
            self.assertEqual(stats.counts[name], 6, name)

    def test_cases_repeat_from_seed_and_index(self):
        first = inputs.make_input(runner.case_rng(7, 3), CTX.pool)
        again = inputs.make_input(runner.case_rng(7, 3), CTX.pool)
        other = inputs.make_input(runner.case_rng(7, 4), CTX.pool)
        self.assertEqual(first, again)
        self.assertNotEqual(first, other)


class PlantedFaultsTest(OwnPackageTest):
    def test_every_mode_reports_a_planted_fault(self):
        self.assertEqual(sorted(PLANTS), sorted(MODE_NAMES))
        suite.require_tool(self, "libyaml_events")   # libyaml_diff compares with it
        for name in MODE_NAMES:
            with self.subTest(mode=name):
                active = patches(planted, *PLANTS[name])
                for patch in active:
                    patch.start()
                try:
                    stats = run(4, modes=[name])
                finally:
                    for patch in active:
                        patch.stop()
                self.assertEqual(len(stats.findings), 4, stats.findings)
                for _index, mode, text in stats.findings:
                    self.assertEqual(mode, name)
                    self.assertIn("ZeroDivisionError", text)
                    self.assertIn("planted", text)

    def test_planted_system_error_is_a_finding(self):
        def broken(self):
            raise SystemError("error return without exception set")
        with mock.patch.object(host.Loader, "get_event", broken), \
                mock.patch.object(host.Loader, "raw_parse", broken), \
                mock.patch.object(host.Loader, "check_event", broken):
            stats = run(4, modes=["parse"])
        self.assertEqual([text.splitlines()[0] for _i, _m, text in stats.findings],
                         ["SystemError:"] * 4)

    def test_calls_not_refused_after_a_failed_init_are_findings(self):
        # A parser or emitter whose __init__ failed must refuse every call;
        # one that answers instead (as if still usable) is reported.
        active = patches(returns_none, (host.Dumper, EMITTER_METHODS[:-1]),
                         (host.Loader, PARSER_METHODS[:-1]))
        for patch in active:
            patch.start()
        try:
            stats = run(6, modes=["dispose_misuse"])
        finally:
            for patch in active:
                patch.stop()
        self.assertEqual(len(stats.findings), 6)
        for _index, _mode, text in stats.findings:
            self.assertRegex(text, r"^consistency: \w+ after a failed C(Emitter|Parser)\.__init__ "
                                   r"\(.+\) was not refused \(returned None\)$")

    def test_reentry_that_is_not_refused_is_a_finding(self):
        with mock.patch.object(hosts, "BUSY", "a message the module never writes"):
            stats = run(12, modes=["reentry"])
        self.assertGreater(len(stats.findings), 0)
        for _index, _mode, text in stats.findings:
            self.assertRegex(text, r"re-entering \w+")

    def test_changed_round_trips_are_findings(self):
        real = host._yaml.CEmitter

        class Corrupting(real):
            def emit(self, event):
                if type(event) is host.ev.ScalarEvent:
                    event = host.ev.ScalarEvent(event.anchor, event.tag, event.implicit,
                                                event.value + "!", style=event.style)
                return real.emit(self, event)

        def twice(self, node, real=host.Dumper.serialize):
            real(self, node)
            real(self, node)
        for mode, patch in (("events_roundtrip", mock.patch.object(host._yaml, "CEmitter", Corrupting)),
                            ("graph_roundtrip", mock.patch.object(host.Dumper, "serialize", twice))):
            with self.subTest(mode=mode):
                with patch:
                    stats = run(12, modes=[mode])
                self.assertGreater(len(stats.findings), 0)
                for _index, _mode, text in stats.findings:
                    self.assertTrue(text.startswith("consistency: "), text)

    def test_growing_memory_is_a_finding(self):
        if not runner.memory_units_counted():
            self.skipTest("this interpreter counts no memory blocks (PYTHONMALLOC=malloc)")
        kept = []

        def leaky(rng, ctx):
            kept.append([object() for _ in range(4)])

        def tidy(rng, ctx):
            [object() for _ in range(4)]
        for func, leaks in ((leaky, True), (tidy, False)):
            with self.subTest(func=func.__name__):
                result = runner.leak_check(1, 0, CTX, modes=[Mode("m", func, outcomes.PARSE)])
                if leaks:
                    self.assertRegex(result or "", r"^memory grows by about \d+ blocks per run$")
                else:
                    self.assertIsNone(result)


class OutcomeTablesTest(OwnPackageTest):
    """Each mode allows the exceptions its calls document, and only those."""

    def test_allowed_and_refused(self):
        yaml_error = host.yaml.error
        cases = [
            ("scan", host.yaml.scanner.ScannerError(None, None, "p", None), True),
            ("scan", MemoryError(), True),
            ("scan", RecursionError("maximum nesting depth exceeded (10000 levels)"), True),
            ("scan", RecursionError("planted"), False),
            ("scan", TypeError("a string value is expected"), False),
            ("scan", host.Injected("x"), False),
            ("read_stream", TypeError("a string value is expected"), True),
            ("read_stream", TypeError("'int' object is not callable"), True),
            ("read_stream", TypeError("planted"), False),
            ("read_stream", ValueError("planted"), False),
            ("resolver_faults", host.Injected("x"), True),
            ("resolver_faults", TypeError("planted"), False),
            ("host_globals", NameError("name 'ScalarNode' is not defined"), True),
            ("host_globals", NameError("planted"), False),
            ("host_globals", KeyError("planted"), False),
            ("emit_odd_events", RuntimeError("dictionary changed size during iteration"), True),
            ("emit_odd_events", RuntimeError("planted"), False),
            ("emit_odd_events", ValueError("too many tags"), True),
            ("emit_odd_events", ValueError("need more than 1 value to unpack"), False),
            ("serialize_odd_nodes", ValueError("need more than 1 value to unpack"), True),
            ("serialize_odd_nodes", ValueError("too many values to unpack (expected 2)"), True),
            ("serialize_odd_nodes", ValueError("planted"), False),
            ("serialize_odd_nodes", OverflowError("planted"), False),
            ("mark", IndexError("tuple index out of range"), True),
            ("mark", yaml_error.YAMLError("planted"), False),
            ("mark", host.Injected("x"), False),
            ("dispose_misuse", RuntimeError("the emitter is not initialised: CEmitter.__init__ "
                                            "was not called or failed"), True),
            ("dispose_misuse", RuntimeError("the emitter is already running: a callback may not "
                                            "re-enter it"), False),
            ("dispose_misuse", TypeError("an integer is required"), False),
            ("reentry", RuntimeError("planted"), False),
            ("oom", TypeError("a string value is expected"), True),
            ("oom", TypeError("planted"), False),
            ("libyaml_diff", host.Injected("x"), False),
        ]
        tables = {m.name: m.outcomes for m in MODES}
        for mode, exc, allowed in cases:
            with self.subTest(mode=mode, exc=repr(exc)):
                self.assertEqual(tables[mode].allows(exc), allowed)

    def test_documented_errors_are_outcomes_of_a_run(self):
        for error in (host.yaml.error.YAMLError, MemoryError):
            with self.subTest(error=error.__name__):
                def raising(self, error=error):
                    raise error()
                with mock.patch.object(host.Loader, "get_token", raising), \
                        mock.patch.object(host.Loader, "raw_scan", raising), \
                        mock.patch.object(host.Loader, "check_token", raising):
                    stats = run(3, modes=["scan"])
                self.assertEqual(stats.findings, [])

    def test_only_the_interpreters_own_slips_are_excused_under_failing_allocations(self):
        def mode_oom(raise_in_callback, message):
            def callback():
                raise SystemError(message)
            if raise_in_callback:
                callback()
            raise SystemError(message)

        module_null = ("<method 'get_event' of 'yaml._yaml.CParser' objects> "
                       "returned NULL without setting an exception")
        python_null = "<function OddStream.read at 0x7f00aa> returned NULL without setting an exception"
        cases = [(False, module_null, False), (False, "error return without exception set", False),
                 (False, python_null, True), (True, "error return without exception set", True)]
        for in_callback, message, excused in cases:
            with self.subTest(in_callback=in_callback, message=message):
                try:
                    mode_oom(in_callback, message)
                except SystemError as exc:
                    self.assertEqual(runner.interpreter_oom_fault(exc), excused)


class CommandLineTest(OwnPackageTest):
    def run_fuzz(self, *args, env=None):
        env = dict(os.environ if env is None else env,
                   PYTHONPATH=os.pathsep.join(p for p in sys.path if p))
        return subprocess.run([sys.executable, "-P", FUZZ_PATH, *args],
                              capture_output=True, text=True, env=env, timeout=600)

    def test_dead_worker_is_isolated_and_reported(self):
        proc = self.run_fuzz("--seed", "3", "--iterations", "30", "--seconds", "120",
                             "--crash-at", "17", "--leak-every", "0", "--modes",
                             ",".join(n for n in MODE_NAMES if n != "dispose_misuse"))
        self.assertEqual(proc.returncode, 1, proc.stdout + proc.stderr)
        out = proc.stdout
        self.assertIn("fuzz: seed 3,", out)
        self.assertIn("fuzz: case 17 (%s) crashed the worker" % MODE_NAMES[17 % len(MODES)], out)
        self.assertIn("fuzz: 28 iterations", out)   # cases 11 and 26 are dispose_misuse
        self.assertIn("fuzz: 1 finding\n", out)
        self.assertIn("killed by signal 6", out)
        self.assertIn("reproduce: python3 -P tools/fuzz.py --seed 3 --case 17", out)

    def test_missing_corpus_fails_only_under_the_switch(self):
        base = {k: v for k, v in os.environ.items() if k != "YAML_REQUIRE_ALL"}
        for switch, status in ((None, 0), ("1", 1)):
            with self.subTest(switch=switch):
                env = dict(base, YAML_REQUIRE_ALL=switch) if switch else base
                proc = self.run_fuzz("--seed", "1", "--iterations", "1", "--modes", "scan",
                                     "--corpus", os.path.join(REPO_ROOT, "no-such-corpus"), env=env)
                self.assertEqual(proc.returncode, status, proc.stdout + proc.stderr)
                self.assertIn("fuzz: missing: corpus", proc.stdout)
                self.assertEqual("fuzz: 1 iterations" in proc.stdout, switch is None, proc.stdout)


if __name__ == "__main__":
    unittest.main()
