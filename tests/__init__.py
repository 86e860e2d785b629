"""Tests of the yaml package and its extension.

The source tree's yaml/ holds the extension built for one interpreter only.
Runs under another interpreter name a staged package folder on PYTHONPATH;
that folder must win over the source tree, which `python -m` and test
discovery put at the front of sys.path. Against an installed copy
(YAML_TEST_INSTALLED=1, see tests/support/project.py) the installation must
win instead.
"""

import os
import sys


def _prefer_staged_package():
    for entry in reversed(os.environ.get("PYTHONPATH", "").split(os.pathsep)):
        if entry and os.path.isfile(os.path.join(entry, "yaml", "__init__.py")):
            if "yaml" in sys.modules:
                return  # too late to choose; the run uses what it imported
            sys.path.insert(0, entry)


from tests.support import project  # noqa: E402

if not project.installed_mode():
    _prefer_staged_package()
project.arrange_path()
