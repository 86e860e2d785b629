#!/usr/bin/env bash
# Memory errors and definite leaks of the extension and libyaml, with
# valgrind's memcheck over a representative workload: every operation of
# tools/refleak.py once (all parser levels over every input kind, failing
# inputs, raising streams, host classes and resolvers, emit, serialize,
# emitter errors, marks and pickling).
#
#   PYTHONPATH=<package parent>:<source> tools/valgrind-check.sh [PYTHON]
#
# The interpreter keeps some of its own memory until exit and has reports of
# its own under memcheck; only reports with a frame in the extension
# (_yaml.*.so) or in libyaml count. Python's allocator is bypassed
# (PYTHONMALLOC=malloc) so every object is a heap block memcheck follows.
set -euo pipefail
cd "$(dirname "$0")/.."
python=${1:-python3}
# Shims (pyenv) are scripts: memcheck must run the interpreter itself.
real=$("$python" -c 'import os, sys; print(os.path.realpath(sys.executable))')
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
PYTHONMALLOC=malloc valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite \
  --errors-for-leak-kinds=definite --num-callers=50 --log-file="$log" \
  "$real" -P tools/refleak.py --once || status=$?
"$real" - "$log" "$status" <<'EOF'
import re, sys
log, status = sys.argv[1], int(sys.argv[2])
text = open(log).read()
# Records are separated by lines holding only the "==pid==" prefix.
records = re.split(r"^==\d+== ?\n", text, flags=re.M)
ours = re.compile(r"_yaml\.cpython|libyaml")
counted = [r for r in records
           if ours.search(r) and re.search(r"definitely lost|Invalid|uninitialised|Mismatched|overlap", r)]
summary = re.search(r"definitely lost: ([\d,]+) bytes in ([\d,]+) blocks", text)
errors = re.search(r"ERROR SUMMARY: (\d+) errors", text)
print("valgrind: interpreter run status %d; all definite losses: %s bytes in %s blocks; "
      "all error contexts %s; reports in the extension or libyaml: %d"
      % (status, summary.group(1) if summary else "?", summary.group(2) if summary else "?",
         errors.group(1) if errors else "?", len(counted)))
for record in counted[:20]:
    print(record)
if status not in (0,) or not summary:
    print("valgrind: the workload did not complete")
    sys.exit(1)
sys.exit(1 if counted else 0)
EOF
