#!/usr/bin/env bash
# Installs what the build needs (when missing), then builds and runs every test
# twice: a normal build (then each test program under valgrind's memcheck, the
# consumer project built against the library four ways, and the C# binding's
# test under Mono), and one under AddressSanitizer and
# UndefinedBehaviorSanitizer; last, a short run of each libFuzzer target. Both
# builds include halyard-server, whose network tests (net_server, and
# net_halyard for the networked client) start it on 127.0.0.1 and stay out of
# the valgrind pass.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install_deps.sh

jobs=$(nproc)
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKRMM_BUILD_SERVER=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

echo "== Build and test =="
run_suite build
./scripts/run_valgrind.sh build
./scripts/run_consumer_tests.sh build
./scripts/run_csharp_tests.sh build
echo "== Build and test under AddressSanitizer + UndefinedBehaviorSanitizer =="
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-sanitize -DKRMM_SANITIZE=ON -DKRMM_BUILD_BENCH=OFF
./scripts/run_fuzz_smoke.sh
