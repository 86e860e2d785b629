#!/usr/bin/env bash
# Set-up and the main job: installs what is missing, builds, and runs the
# bundled example.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/build.sh >/dev/null
python3 examples/show.py examples/invoice.yaml
