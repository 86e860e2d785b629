"""The fuzzer finds what it is meant to find: a short fixed-seed run over
every mode is clean, and faults planted in the module's seams (a
SystemError, an undocumented exception, data changed on a round trip,
memory that grows, a dead worker) are each reported."""

import importlib.util
import os
import subprocess
import sys
import time
import unittest
from unittest import mock

from tests.support.project import REPO_ROOT, OwnPackageTest

FUZZ_PATH = os.path.join(REPO_ROOT, "tools", "fuzz.py")


def load_fuzz():
    spec = importlib.util.spec_from_file_location("fuzz_tool_under_test", FUZZ_PATH)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


fuzz = load_fuzz()
CTX, _GENERATED = fuzz.make_context(fuzz.default_corpus())


def run(count, seed=20240601, modes=None):
    """Runs `count` cases (only those of the named modes when given)."""
    stats = fuzz.Stats()
    if modes is None:
        fuzz.run_range(seed, 0, count, time.time() + 600, CTX, stats)
        return stats
    wanted = [fuzz.MODE_NAMES.index(m) for m in modes]
    for index in range(count):
        mode_index = wanted[index % len(wanted)]
        index = index * len(fuzz.MODES) + mode_index
        name, finding = fuzz.run_case(seed, index, CTX)
        stats.counts[name] += 1
        if finding:
            stats.findings.append((index, name, finding))
    return stats


class FuzzToolTest(OwnPackageTest):
    def test_imports_the_project_package(self):
        for module in (fuzz.yaml, fuzz._yaml):
            self.assertTrue(fuzz._inside(module.__file__, [REPO_ROOT] + sys.path), module.__file__)

    def test_fixed_seed_run_is_clean_and_covers_every_mode(self):
        stats = run(len(fuzz.MODES) * 6)
        self.assertEqual(stats.findings, [])
        for name in fuzz.MODE_NAMES:
            self.assertEqual(stats.counts[name], 6, name)

    def test_cases_repeat_from_seed_and_index(self):
        first = fuzz.make_input(fuzz.case_rng(7, 3), CTX.pool)
        again = fuzz.make_input(fuzz.case_rng(7, 3), CTX.pool)
        other = fuzz.make_input(fuzz.case_rng(7, 4), CTX.pool)
        self.assertEqual(first, again)
        self.assertNotEqual(first, other)

    def test_planted_system_error_is_a_finding(self):
        def broken(self):
            raise SystemError("error return without exception set")
        patches = [mock.patch.object(fuzz.Loader, name, broken, create=True)
                   for name in ("get_event", "raw_parse", "peek_event", "check_event")]
        for patch in patches:
            patch.start()
        try:
            stats = run(4, modes=["parse"])
        finally:
            for patch in patches:
                patch.stop()
        self.assertEqual(len(stats.findings), 4)
        for _index, mode, text in stats.findings:
            self.assertEqual(mode, "parse")
            self.assertIn("SystemError", text)

    def test_undocumented_exception_type_is_a_finding(self):
        def broken(self):
            raise KeyError("planted")
        with mock.patch.object(fuzz.Loader, "check_node", broken, create=True), \
                mock.patch.object(fuzz.Loader, "get_single_node", broken, create=True):
            stats = run(3, modes=["compose"])
        self.assertEqual([text.splitlines()[0] for _i, _m, text in stats.findings],
                         ["unexpected KeyError:"] * 3)

    def test_documented_errors_are_outcomes(self):
        for error in (fuzz.yaml.error.YAMLError, MemoryError, RecursionError):
            with self.subTest(error=error.__name__):
                def raising(self, error=error):
                    raise error()
                with mock.patch.object(fuzz.Loader, "get_token", raising, create=True), \
                        mock.patch.object(fuzz.Loader, "raw_scan", raising, create=True):
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
                    self.assertEqual(fuzz.interpreter_oom_fault(exc), excused)

    def test_changed_round_trip_is_a_finding(self):
        real = fuzz._yaml.CEmitter

        class Corrupting(real):
            def emit(self, event):
                if type(event) is fuzz.ev.ScalarEvent:
                    event = fuzz.ev.ScalarEvent(event.anchor, event.tag, event.implicit,
                                                event.value + "!", style=event.style)
                return real.emit(self, event)
        with mock.patch.object(fuzz._yaml, "CEmitter", Corrupting):
            stats = run(12, modes=["events_roundtrip"])
        self.assertGreater(len(stats.findings), 0)
        for _index, _mode, text in stats.findings:
            self.assertTrue(text.startswith("consistency: "), text)

    def test_growing_memory_is_a_finding(self):
        if not fuzz.memory_units_counted():
            self.skipTest("this interpreter counts no memory blocks (PYTHONMALLOC=malloc)")
        kept = []

        def leaky(rng, ctx):
            kept.append([object() for _ in range(4)])

        def tidy(rng, ctx):
            [object() for _ in range(4)]
        for func, leaks in ((leaky, True), (tidy, False)):
            with self.subTest(func=func.__name__):
                with mock.patch.object(fuzz, "MODES", [("m", func, fuzz.PARSE_OK)]):
                    result = fuzz.leak_check(1, 0, CTX)
                if leaks:
                    self.assertRegex(result or "", r"^memory grows by about \d+ blocks per run$")
                else:
                    self.assertIsNone(result)

    def test_dead_worker_is_isolated_and_reported(self):
        env = dict(os.environ, PYTHONPATH=os.pathsep.join(p for p in sys.path if p))
        proc = subprocess.run([sys.executable, "-P", FUZZ_PATH, "--seed", "3", "--iterations", "30",
                               "--seconds", "120", "--crash-at", "17", "--leak-every", "0"],
                              capture_output=True, text=True, env=env, timeout=600)
        self.assertEqual(proc.returncode, 1, proc.stdout + proc.stderr)
        out = proc.stdout
        self.assertIn("fuzz: seed 3,", out)
        self.assertIn("fuzz: case 17 (%s) crashed the worker" % fuzz.MODE_NAMES[17 % len(fuzz.MODES)], out)
        self.assertIn("fuzz: 30 iterations", out)
        self.assertIn("fuzz: 1 finding\n", out)
        self.assertIn("killed by signal 6", out)
        self.assertIn("reproduce: python3 -P tools/fuzz.py --seed 3 --case 17", out)


if __name__ == "__main__":
    unittest.main()
