"""Where the YAML test suite and the libyaml reference tools live.

The suite is a folder of cases; each case folder (or each numbered subfolder
00, 01, ... of one) holds ``in.yaml`` and ``test.event``, and maybe ``error``,
``out.yaml`` and ``emit.yaml``.  Tests that need the suite or the tools skip
with a message naming what is missing, or fail under CI (see required.py).
"""

import os
import subprocess
from pathlib import Path

from .eventfmt import split_lines
from .required import missing

REPO_ROOT = Path(__file__).resolve().parents[2]

SUITE_DIR = Path(
    os.environ.get("YAML_TEST_SUITE_DIR")
    or REPO_ROOT.parent / "shared" / "yaml-test-suite" / "cases"
)


def iter_cases(suite_dir=None):
    """Yields (case_id, path) for every case folder holding an in.yaml.

    Case ids are the folder paths relative to the suite, with "/" between
    parts ("229Q", "JEF9/01"); the cases come sorted by id.
    """
    root = Path(suite_dir) if suite_dir is not None else SUITE_DIR
    if not root.is_dir():
        return
    cases = []
    for in_yaml in root.rglob("in.yaml"):
        folder = in_yaml.parent
        cases.append((folder.relative_to(root).as_posix(), folder))
    cases.sort()
    yield from cases


def require_suite(testcase):
    """Skips `testcase` (a unittest.TestCase), or fails it under CI, when
    the suite is missing or holds no case."""
    if not SUITE_DIR.is_dir():
        missing(testcase, f"YAML test suite not found at {SUITE_DIR} "
                          "(set YAML_TEST_SUITE_DIR to its cases folder)")
    elif next(SUITE_DIR.rglob("in.yaml"), None) is None:
        missing(testcase, f"YAML test suite at {SUITE_DIR} holds no case (no in.yaml below it)")


def _is_program(path):
    return path.is_file() and os.access(path, os.X_OK)


def tool_path(name):
    """Path of the built reference tool `name`, or None when it is not built.

    $YAML_TOOLS_DIR wins when set; otherwise build*/tests/tools/NAME under the
    repository root is searched, and the most recently built one is taken.
    """
    tools_dir = os.environ.get("YAML_TOOLS_DIR")
    if tools_dir:
        path = Path(tools_dir) / name
        return path if _is_program(path) else None
    found = [p for p in REPO_ROOT.glob(f"build*/tests/tools/{name}") if _is_program(p)]
    if not found:
        return None
    return max(found, key=lambda p: p.stat().st_mtime)


def require_tool(testcase, name):
    """Returns the path of tool `name`; skips `testcase`, or fails it under
    CI, when the tool is missing."""
    path = tool_path(name)
    if path is None:
        missing(testcase, f"reference tool {name} not built (build tests/tools, or set "
                          "YAML_TOOLS_DIR to the folder holding it)")
    return path


def run_tool(path, *args):
    """Runs a reference tool; returns the CompletedProcess with bytes output."""
    return subprocess.run(
        [os.fspath(path), *map(os.fspath, args)],
        stdout=subprocess.PIPE,
        stderr=subprocess.PIPE,
        check=False,
    )


def event_lines(events_tool, yaml_path):
    """libyaml's own event lines for the file at yaml_path."""
    proc = run_tool(events_tool, yaml_path)
    if proc.returncode != 0:
        raise RuntimeError(
            f"{events_tool} {yaml_path} exited with {proc.returncode}: "
            f"{proc.stderr.decode(errors='replace')}"
        )
    return split_lines(proc.stdout.decode("utf-8", "surrogateescape"))

