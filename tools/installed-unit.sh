#!/usr/bin/env bash
# Runs the unit suite against the package installed in a virtual environment
# (YAML_TEST_INSTALLED=1: the guards accept only the installation's files),
# from a scratch folder outside the source tree. The tests themselves are
# read from this repository.
#
#   tools/installed-unit.sh VENV [unittest options...]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
venv=$(realpath "$1")
shift
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
YAML_TEST_INSTALLED=1 PYTHONDONTWRITEBYTECODE=1 \
  "$venv/bin/python" -P -m unittest discover -s "$repo/tests" -t "$repo" "$@"
