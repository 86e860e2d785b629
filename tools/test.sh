#!/usr/bin/env bash
# Builds and runs the whole test suite under every interpreter present.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/build.sh
ctest --test-dir build --output-on-failure -j2
