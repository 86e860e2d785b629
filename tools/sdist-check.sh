#!/usr/bin/env bash
# Builds the sdist (with build isolation), checks that it holds what a build
# needs and nothing private, then builds a wheel from it.
#
#   tools/sdist-check.sh TOOLS_VENV OUT
set -euo pipefail
cd "$(dirname "$0")/.."
tools=$(realpath "$1")
out=$(realpath -m "$2")
rm -rf "$out"
"$tools/bin/python" -m build --sdist --outdir "$out" .
sdist=$(ls "$out"/*.tar.gz)
"$tools/bin/python" -P - "$sdist" <<'PY'
import glob, sys, tarfile
with tarfile.open(sys.argv[1]) as tar:
    names = sorted(m.name.split("/", 1)[1] for m in tar.getmembers() if m.isfile())
for name in names:
    print("  " + name)
private = [n for n in names if n.split("/")[0] in (".ci", "tests", "tools", "bench", ".gitignore")
           or n.endswith((".so", ".pyc"))]
needed = ["pyproject.toml", "CMakeLists.txt", "LICENSE", "README.md", "PKG-INFO",
          "yaml/__init__.py", "yaml/_yaml.cpp", "yaml/py.typed"]
# every stub of the checkout: a wheel built from the sdist must type the whole API
needed += sorted(glob.glob("yaml/*.pyi")) or ["yaml/*.pyi"]
missing = [n for n in needed if n not in names]
for folder in ("module", "frame", "parser", "emitter", "speedups", "cmake"):
    if not any(n.startswith(folder + "/") for n in names):
        missing.append(folder + "/")
if private or missing:
    sys.exit("sdist-check: private files %s, missing %s" % (private, missing))
print("sdist-check: %d files, nothing private" % len(names))
PY
"$tools/bin/python" -m pip wheel --disable-pip-version-check --no-deps --wheel-dir "$out/wheel" "$sdist"
ls "$out"/wheel/*.whl
