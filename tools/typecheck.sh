#!/usr/bin/env bash
# Type checks against the package installed in a virtual environment (made by
# tools/wheel-env.sh, with mypy beside it), from a scratch folder so that
# nothing named yaml is found but the installation:
#   stubtest  every stub of the package (yaml/*.pyi) against the modules the
#             interpreter loads, with tools/stubtest-allowlist.txt;
#   example   mypy --strict on examples/typed_usage.py, then the program
#             itself on the bundled example.
#
#   tools/typecheck.sh stubtest|example VENV
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
check=$1
python=$(realpath "$2")/bin/python
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
case "$check" in
  stubtest)
    "$python" -P -m mypy.stubtest yaml --allowlist "$repo/tools/stubtest-allowlist.txt" ;;
  example)
    "$python" -P -m mypy --strict "$repo/examples/typed_usage.py"
    "$python" -P "$repo/examples/typed_usage.py" "$repo/examples/invoice.yaml" ;;
  *)
    echo "typecheck: unknown check $check" >&2
    exit 2 ;;
esac
