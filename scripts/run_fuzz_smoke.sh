#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer built in) and runs each for a bounded time on its
# seed corpus, tests/<folder>/fuzz/corpus. A crash fails the script and names
# the reproducer. Usage: run_fuzz_smoke.sh [seconds per target, default 25;
# a target listed below with its own time keeps it unless seconds are given]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-25}

# libFuzzer and the sanitizer runtimes come with clang's runtime package.
missing=()
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi

dir=build-fuzz
# <test folder>/<target>[:seconds]: each target's corpus is
# tests/<test folder>/fuzz/corpus. The service's fuzzer talks to it over a
# loopback socket per input: a short run covers its routes.
fuzzers=(records/fuzz_records fuzz/fuzz_pushed_messages server/fuzz_server:15)
# -O1 with line tables: a quick build whose reports still name source lines.
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_FLAGS_RELEASE="-O1 -gline-tables-only" \
  -DCMAKE_CXX_FLAGS_RELEASE="-O1 -gline-tables-only" -DKRMM_BUILD_BENCH=OFF >/dev/null
targets=()
for fuzzer in "${fuzzers[@]}"; do
  entry=${fuzzer%%:*}
  targets+=("${entry#*/}")
done
cmake --build "$dir" -j "$(nproc)" --target "${targets[@]}"

failed=0
for fuzzer in "${fuzzers[@]}"; do
  entry=${fuzzer%%:*}
  limit=$seconds
  [ "$entry" != "$fuzzer" ] && [ $# -eq 0 ] && limit=${fuzzer#*:}
  folder=${entry%/*}
  target=${entry#*/}
  corpus=tests/$folder/fuzz/corpus
  # New inputs go to a scratch copy: the corpus in the repository stays as it is.
  work=$dir/corpus-$target
  artifacts=$PWD/$dir/crashes-$target/
  rm -rf "$work" "$artifacts" && mkdir -p "$work" "$artifacts"
  echo "== $target: ${limit}s on $corpus =="
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
       "$dir/tests/$folder/fuzz/$target" -max_total_time="$limit" -timeout=10 -print_final_stats=1 \
       -artifact_prefix="$artifacts" "$work" "$corpus" >"$dir/$target.log" 2>&1; then
    tail -n 40 "$dir/$target.log"
    for reproducer in "$artifacts"*; do
      [ -e "$reproducer" ] && echo "FAILED: $target crashed; reproducer: $reproducer"
    done
    failed=1
  else
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$dir/$target.log" || true
  fi
done
exit $failed
