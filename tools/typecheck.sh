#!/usr/bin/env bash
# Type checks against the package installed in a virtual environment (made by
# tools/wheel-env.sh, with mypy beside it), from a scratch folder so that
# nothing named yaml is found but the installation:
#   stubtest  every stub of the package (yaml/*.pyi) against the modules the
#             interpreter loads, with tools/stubtest-allowlist.txt;
#   example   mypy --strict on examples/typed_usage.py, then the program
#             itself on the bundled example; then mypy --strict on
#             examples/typed_misuse.py, which must report exactly the error
#             codes its lines are marked with ("# expect: CODE") and no other.
#
#   tools/typecheck.sh stubtest|example VENV
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
check=$1
python=$(realpath "$2")/bin/python
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

# The package mypy sees must be the installation, not a source tree.
"$python" -P -c 'import yaml, sys; sys.exit("site-packages/yaml/" not in yaml.__file__ and "found " + yaml.__file__)'

expect_errors() {
  local file=$1 status=0
  "$python" -P -m mypy --strict --show-error-codes --no-error-summary "$file" >mypy.out || status=$?
  if [ "$status" -ne 1 ]; then
    cat mypy.out
    echo "typecheck: mypy exited with $status on $file; it must find the marked errors" >&2
    return 1
  fi
  grep -nE '# expect: [a-z-]+$' "$file" | sed -E 's/^([0-9]+):.*# expect: ([a-z-]+)$/\1 \2/' | sort >expected
  grep ': error: ' mypy.out | sed -E 's/^.*:([0-9]+): error: .*\[([a-z-]+)\]$/\1 \2/' | sort >reported
  if [ ! -s expected ] || ! diff expected reported >/dev/null; then
    cat mypy.out
    echo "typecheck: $file: expected (<) and reported (>) errors, as line and code:" >&2
    diff expected reported >&2 || true
    return 1
  fi
  echo "$(basename "$file"): mypy reports the $(wc -l <expected) marked errors and no other"
}

case "$check" in
  stubtest)
    "$python" -P -m mypy.stubtest yaml --allowlist "$repo/tools/stubtest-allowlist.txt" ;;
  example)
    "$python" -P -m mypy --strict "$repo/examples/typed_usage.py"
    "$python" -P "$repo/examples/typed_usage.py" "$repo/examples/invoice.yaml"
    expect_errors "$repo/examples/typed_misuse.py" ;;
  *)
    echo "typecheck: unknown check $check" >&2
    exit 2 ;;
esac
