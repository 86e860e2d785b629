"""Data sets and tools that a run may lack: a skip with a clear message on
a developer's machine, a failure under CI.

ctest sets YAML_REQUIRE_ALL=1 in the environment of every entry, so a run
without the YAML test suite, a reference tool or a built check cannot pass
by skipping the tests that need them.  Nothing here imports the host
package.
"""

import os

SWITCH = "YAML_REQUIRE_ALL"


def required():
    """True when nothing may be missing (the switch is set and not "0")."""
    return os.environ.get(SWITCH, "") not in ("", "0")


def missing(testcase, what):
    """Skips `testcase` (a unittest.TestCase) for the missing `what`, or
    fails it when the switch is set."""
    if required():
        testcase.fail("%s (%s is set: a missing data set or tool fails the run)" % (what, SWITCH))
    testcase.skipTest(what)
