#!/usr/bin/env bash
# Installs what building and testing need, from Debian's packages, when it is
# missing. Safe to run again: it does nothing when everything is present.
# (Build and test tools from the package index are pinned in
# tools/requirements/ and installed into virtual environments by the steps
# that use them.)
set -euo pipefail

packages=(cmake g++ make pkg-config libyaml-dev python3-dev python3-venv valgrind python3.11-dbg)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything present"
  exit 0
fi
echo "install-deps: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
