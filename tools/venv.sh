#!/usr/bin/env bash
# Makes a fresh virtual environment, never with the system's site packages,
# and installs pinned requirement files into it without resolving
# dependencies (each file names every package it needs), then checks that
# nothing is missing.
#
#   tools/venv.sh PYTHON DIR [REQUIREMENTS_FILE...]
set -euo pipefail
python=$1
dir=$2
shift 2
rm -rf "$dir"
"$python" -m venv "$dir"
pip=("$dir/bin/python" -m pip --disable-pip-version-check --require-virtualenv)
for requirements in "$@"; do
  "${pip[@]}" install --quiet --no-deps -r "$requirements"
done
if [ $# -gt 0 ]; then
  "${pip[@]}" check
fi
