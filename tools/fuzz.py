#!/usr/bin/env python3
"""Seeded, time-bounded fuzzer for yaml._yaml (the package tools/fuzzing).

    python3 -P tools/fuzz.py [--seed N] [--seconds S] [--iterations N] [--corpus DIR]
                             [--modes M,...] [--case I]

The yaml package comes from PYTHONPATH, or from this repository when
PYTHONPATH is empty; one from anywhere else is refused before it loads.
"""

import os
import sys

if __name__ == "__main__":
    # The repository (for tools.fuzzing and tests.support) goes right after
    # the PYTHONPATH entries, ahead of the interpreter's own folders.
    repo = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    if repo not in sys.path:
        given = [p for p in os.environ.get("PYTHONPATH", "").split(os.pathsep) if p]
        sys.path.insert(len(given) if sys.flags.safe_path else len(given) + 1, repo)
    from tools.fuzzing.runner import main
    sys.exit(main())
