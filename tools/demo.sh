#!/usr/bin/env bash
# Set-up and the main job: installs what is missing, builds, then runs the
# command-line tool on the bundled example (validate it, print it as JSON).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/build.sh >/dev/null
python3 -m yaml validate -v examples/invoice.yaml
python3 -m yaml to-json --indent 2 examples/invoice.yaml
