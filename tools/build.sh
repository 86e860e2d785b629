#!/usr/bin/env bash
# Configures and builds the extension for `python3` (or $PYTHON) into yaml/,
# plus the test tools, in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
python=${PYTHON:-$(command -v python3)}
cmake -S . -B build -DPython3_EXECUTABLE="$python" -DYAML_WERROR=ON >/dev/null
cmake --build build --parallel 2
