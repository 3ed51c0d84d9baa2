#!/usr/bin/env bash
# Runs every test program of a normal (not sanitized) build under valgrind's
# memcheck; fails naming each program with a memory error or leak.
# Usage: run_valgrind.sh <build dir>   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}

if ! command -v valgrind >/dev/null; then
  apt-get update
  apt-get install -y --no-install-recommends valgrind
fi

failed=()
for program in "$dir"/tests/test_*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  echo "== valgrind $(basename "$program") =="
  # Run from the program's folder, as CTest does (tests find their data
  # relative to it). Only errors are shown; the output goes to a log beside it.
  if ! (cd "$(dirname "$program")" &&
        valgrind -q --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
          "./$(basename "$program")") >"$program.valgrind.log" 2>&1; then
    grep -E "^==[0-9]+==|FAILED|Failure" "$program.valgrind.log" | head -n 60 || true
    failed+=("$(basename "$program")")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "valgrind found errors in: ${failed[*]}"
  exit 1
fi
echo "valgrind: every test program is clean"
