#!/usr/bin/env bash
# Runs a command with the sanitizer runtimes preloaded, for an extension built
# with -DYAML_SANITIZE=ON, and fails when any sanitizer report was written,
# also by a child process, even when the command itself succeeded.
#
#   tools/asan-run.sh REPORT_DIR COMMAND [ARGS...]
#
# Leak detection is off: the interpreter keeps most of its allocations until
# exit on purpose, which buries real leaks under thousands of reports.
# Reference and memory leaks are checked by tools/refleak.py, tools/memflat.py,
# tools/oom_sweep.py and tools/valgrind-check.sh instead.
set -uo pipefail
report_dir=$1
shift
compiler=${CXX:-g++}
asan=$("$compiler" -print-file-name=libasan.so)
ubsan=$("$compiler" -print-file-name=libubsan.so)
if [ ! -e "$asan" ] || [ ! -e "$ubsan" ]; then
  echo "asan-run: sanitizer runtimes not found ($asan, $ubsan)" >&2
  exit 1
fi
rm -rf "$report_dir"
mkdir -p "$report_dir"
export LD_PRELOAD="$asan:$ubsan${LD_PRELOAD:+:$LD_PRELOAD}"
export ASAN_OPTIONS="detect_leaks=0:halt_on_error=1:abort_on_error=0:exitcode=86:log_path=$report_dir/asan:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=87:log_path=$report_dir/ubsan"
# Sanitized frames are several times larger than plain ones; the nesting
# limits of the composer and serializer are sized for plain frames.
ulimit -s 262144 2>/dev/null || ulimit -s unlimited 2>/dev/null || true
# Python's small-object allocator hides overruns inside its arenas; plain
# malloc lets ASan see every object.
export PYTHONMALLOC=malloc
"$@"
status=$?
reports=$(find "$report_dir" -type f | sort)
if [ -n "$reports" ]; then
  echo "asan-run: sanitizer reports written:" >&2
  for r in $reports; do
    echo "== $r" >&2
    cat "$r" >&2
  done
  exit 1
fi
if [ $status -ne 0 ]; then
  echo "asan-run: command failed with status $status" >&2
  exit $status
fi
echo "asan-run: no sanitizer report"
