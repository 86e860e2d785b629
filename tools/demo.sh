#!/usr/bin/env bash
# Set-up and the main job: installs what is missing, installs the package with
# `pip install .` into the virtual environment .venv, then runs its
# command-line tool on the bundled example (validate it, print it as JSON).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
python=${PYTHON:-$(command -v python3)}
if [ ! -x .venv/bin/python ]; then
  "$python" -m venv .venv
fi
.venv/bin/python -m pip install --quiet --disable-pip-version-check .
# -P: the source folder yaml/ must not shadow the installed package.
.venv/bin/python -P -m yaml validate -v examples/invoice.yaml
.venv/bin/python -P -m yaml to-json --indent 2 examples/invoice.yaml
