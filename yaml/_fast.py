"""The switch between the native fast path and the Python pipeline.

`yaml._speedups` loads and dumps plain data without the Python pipeline's
nodes, resolver calls and constructor dispatch. The functions of the
package take it only for classes whose behaviour it reproduces exactly;
everything else, and every call made while `enabled` is false, goes
through the Python pipeline.

`enabled` starts false when the environment variable YAML_PURE_PYTHON is
set to anything but "" or "0" at import, and may be changed at any time
(the tests run every loading and dumping test both ways through it).
"""

import os

enabled = os.environ.get("YAML_PURE_PYTHON", "") in ("", "0")
