#!/usr/bin/env bash
# Runs a command with the system's libyaml hidden from the dynamic loader, as
# on a machine without it: in a private mount namespace (nothing changes for
# the rest of the machine) every libyaml object the loader could find, through
# its cache or its default folders, is covered by an empty file.
#
#   tools/hide-libyaml.sh COMMAND [ARGS...]
set -euo pipefail
if [ "${YAML_LIBYAML_HIDDEN:-}" != 1 ]; then
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(--map-root-user)
  exec unshare "${as_root[@]}" --mount --propagation private \
    env YAML_LIBYAML_HIDDEN=1 bash "$0" "$@"
fi
empty=$(mktemp)
trap 'rm -f "$empty"' EXIT
mapfile -t objects < <(
  { ldconfig -p | awk '/libyaml/ {print $NF}'
    find /lib /lib64 /usr/lib /usr/lib64 /usr/local/lib -maxdepth 2 -name 'libyaml*.so*' 2>/dev/null
  } | xargs -r realpath -e 2>/dev/null | sort -u)
if [ ${#objects[@]} -eq 0 ]; then
  echo "hide-libyaml: no system libyaml found to hide" >&2
  exit 1
fi
for object in "${objects[@]}"; do
  mount --bind "$empty" "$object"
  echo "hide-libyaml: hidden $object"
done
"$@"
