#!/usr/bin/env bash
# A fresh virtual environment for one interpreter holding the package as a
# user gets it: the wheel built by that environment's pip (tools/wheel.sh,
# repaired with --bundle-libyaml) and installed, with the type-checking tools
# beside it.
#
#   tools/wheel-env.sh [--bundle-libyaml] PYTHON DIR   ->  DIR/dist/*.whl, DIR/venv
set -euo pipefail
cd "$(dirname "$0")/.."
options=()
if [ "${1:-}" = "--bundle-libyaml" ]; then
  options=(--bundle-libyaml)
  shift
fi
python=$1
dir=$(realpath -m "$2")
bash tools/venv.sh "$python" "$dir/venv" tools/requirements/typecheck.txt
bash tools/wheel.sh "${options[@]}" "$dir/venv/bin/python" "$dir/dist"
"$dir/venv/bin/python" -m pip install --disable-pip-version-check --no-index --no-deps "$dir"/dist/*.whl
