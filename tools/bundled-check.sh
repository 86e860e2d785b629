#!/usr/bin/env bash
# Proves that a repaired wheel needs no libyaml on the machine and loads its
# own copy. With the system's libyaml hidden (tools/hide-libyaml.sh):
#   1. the plain wheel's environment cannot import the extension, so the
#      hiding works;
#   2. the repaired wheel's environment imports it, and /proc/self/maps shows
#      libyaml mapped from the wheel's yaml_libyaml.libs/ and nowhere else;
#   3. from a folder outside the source tree it loads, dumps and runs the
#      command-line tool on the bundled example;
#   4. the unit suite passes against it (the reference programs of the
#      differential tests get a private copy of libyaml of their own);
#   5. with the bundled copy covered as well, the import fails.
#
#   tools/bundled-check.sh BUNDLED_VENV PLAIN_VENV TOOLS_DIR
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
if [ "${YAML_LIBYAML_HIDDEN:-}" != 1 ]; then
  bundled=$(realpath "$1") plain=$(realpath "$2") tools=$(realpath "$3")
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  # Before hiding: the reference programs keep a copy of the system libyaml.
  mkdir "$scratch/lib" "$scratch/tools"
  cp -L "$(ldconfig -p | awk '/libyaml-0\.so\.2 / {print $NF; exit}')" "$scratch/lib/libyaml-0.so.2"
  for program in "$tools"/*; do
    name=$(basename "$program")
    case "$name" in
      *.so) ln -s "$program" "$scratch/tools/$name" ;;
      *) [ -f "$program" ] && [ -x "$program" ] || continue
         printf '#!/bin/sh\nLD_LIBRARY_PATH=%s exec %s "$@"\n' "$scratch/lib" "$program" \
           > "$scratch/tools/$name"
         chmod +x "$scratch/tools/$name" ;;
    esac
  done
  YAML_TOOLS_DIR="$scratch/tools" SCRATCH="$scratch" \
    bash "$repo/tools/hide-libyaml.sh" bash "$0" "$bundled" "$plain"
  exit
fi
bundled=$1 plain=$2
cd "$SCRATCH"

echo "== 1. plain wheel without the system libyaml"
if out=$("$plain/bin/python" -P -c "import yaml" 2>&1); then
  echo "bundled-check: the plain wheel imported: libyaml is not hidden" >&2
  exit 1
fi
echo "$out" | tail -1

echo "== 2. repaired wheel: where libyaml comes from"
"$bundled/bin/python" -P - <<'PY'
import os, sys, sysconfig
import yaml, yaml._yaml
site = os.path.realpath(sysconfig.get_path("platlib"))
with open("/proc/self/maps") as f:
    mapped = sorted({line.split(None, 5)[5].strip() for line in f
                     if len(line.split(None, 5)) == 6 and "libyaml" in line})
print("yaml from      ", yaml.__file__)
print("_yaml from     ", yaml._yaml.__file__)
print("libyaml version", yaml._yaml.get_version_string())
for path in mapped:
    print("mapped         ", path)
libs = os.path.join(site, "yaml_libyaml.libs")
if not mapped or any(os.path.dirname(os.path.realpath(p)) != libs for p in mapped):
    sys.exit("bundled-check: libyaml is not (only) the wheel's copy in %s" % libs)
if not os.path.isfile(os.path.join(libs, "LICENSE.libyaml")):
    sys.exit("bundled-check: libyaml's licence is not beside the bundled copy")
PY

echo "== 3. load, dump and the command-line tool"
"$bundled/bin/python" -P -c 'import yaml; data = yaml.load("a: [1, 2.5, yes, ~]\n"); print(data); print(yaml.dump(data), end="")'
"$bundled/bin/python" -P -m yaml validate -v "$repo/examples/invoice.yaml"
"$bundled/bin/python" -P -m yaml to-json "$repo/examples/invoice.yaml" | head -c 200; echo

echo "== 4. unit suite"
bash "$repo/tools/installed-unit.sh" "$bundled"

echo "== 5. bundled copy covered as well"
for object in "$bundled"/lib/python*/site-packages/yaml_libyaml.libs/libyaml*; do
  mount --bind "$(mktemp -p "$SCRATCH")" "$object"
done
if out=$("$bundled/bin/python" -P -c "import yaml" 2>&1); then
  echo "bundled-check: imported with the bundled copy covered" >&2
  exit 1
fi
echo "$out" | tail -1
echo "bundled-check: the repaired wheel runs on its own copy of libyaml"
