#!/usr/bin/env bash
# Brings the library into a game's own build (examples/consumer, C programs)
# the ways the README shows, and runs a whole two-player match through the
# emulator each time; where the loopback client is there, also the game's
# integration test, a match on simulated time with the static testing
# library (KRMatchmakingSystemTesting):
#   1. installed: `cmake --install` into a prefix, which is then moved (the
#      package must not remember where it was built or installed), and
#      find_package(KRMatchmakingSystem COMPONENTS halyard Testing) from
#      there; a component it does not know must fail with a message;
#   2. pkg-config: the same prefix, compiled and linked with the C compiler
#      and `pkg-config --cflags --libs` alone;
#   3. add_subdirectory of this repository, which must look up neither
#      GoogleTest nor Google Benchmark;
#   4. add_subdirectory with the game's own backend client library
#      (KRMM_CLIENT_LIBRARY; the installed loopback stands in for it), which
#      must not look up Jansson either.
#
# Usage: scripts/run_consumer_tests.sh [build-dir]
#   build-dir  an already built tree of this repository to install from; by
#              default the library alone is built under build-consumer/
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/build-consumer
jobs=$(nproc)
consumer=$root/examples/consumer
# A compiler cache speeds up the two source builds where there is one.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

log() { echo "== $* =="; }
fail() { echo "FAILED: $*" >&2; exit 1; }

# run <name> <program> [argument...]: the program's output goes to a log,
# shown on failure.
run() {
  local name=$1 program=$2
  shift 2
  if "$program" "$@" >"$out/$name.log" 2>&1; then
    echo "$name: $(tail -n1 "$out/$name.log")"
  else
    cat "$out/$name.log" >&2
    fail "$name did not play its match"
  fi
}

# no_lookup <cache> <variable>...: the configure never searched for these.
no_lookup() {
  local cache=$1 var; shift
  for var in "$@"; do
    if grep -q "^${var}[:=]" "$cache"; then
      fail "$(dirname "$cache") looked up ${var%%_*}"
    fi
  done
}

rm -rf "$out"
mkdir -p "$out"

library=${1:-}
if [ -z "$library" ]; then
  log "Building the library alone"
  library=$out/library
  cmake -S "$root" -B "$library" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
  cmake --build "$library" -j "$jobs"
fi

log "Installing into a prefix, then moving it"
cmake --install "$library" --prefix "$out/staging" >/dev/null
mv "$out/staging" "$out/prefix"
prefix=$out/prefix
if grep -rl "$root" "$prefix"; then
  fail "the installed files above name a folder of this machine"
fi
find "$prefix" -type f -o -type l | sed "s|^$prefix/|  |" | sort

scenario=$consumer/match_scenario.json

log "1. find_package from the installed prefix"
cmake -S "$consumer" -B "$out/package" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$out/package" >/dev/null
run package "$out/package/consumer"
run package-simulated "$out/package/simulated_match" "$scenario"
mkdir -p "$out/unknown-component"
cat >"$out/unknown-component/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(unknown_component LANGUAGES C)
find_package(KRMatchmakingSystem CONFIG REQUIRED COMPONENTS Testing Tseting)
CMAKE
if cmake -S "$out/unknown-component" -B "$out/unknown-component/build" \
    -DCMAKE_PREFIX_PATH="$prefix" >"$out/unknown-component.log" 2>&1 ||
    ! grep -q 'unknown component "Tseting"' "$out/unknown-component.log"; then
  cat "$out/unknown-component.log" >&2
  fail "an unknown component was not refused with its name"
fi

log "2. pkg-config from the installed prefix"
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
libdir=$(pkg-config --variable=libdir KRMatchmakingSystem)
# shellcheck disable=SC2046 # the flags are meant to split
cc -std=c99 -Wall -Wextra -Werror -o "$out/pkgconfig-consumer" "$consumer/consumer.c" \
  $(pkg-config --cflags --libs KRMatchmakingSystem halyard) -Wl,-rpath,"$libdir"
run pkgconfig "$out/pkgconfig-consumer"
# shellcheck disable=SC2046
cc -std=c99 -Wall -Wextra -Werror -o "$out/pkgconfig-simulated" "$consumer/simulated_match.c" \
  $(pkg-config --cflags --libs KRMatchmakingSystemTesting) -Wl,-rpath,"$libdir"
run pkgconfig-simulated "$out/pkgconfig-simulated" "$scenario"

log "3. add_subdirectory of the repository"
cmake -S "$consumer" -B "$out/subdirectory" -DKRMM_SOURCE_DIR="$root" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
no_lookup "$out/subdirectory/CMakeCache.txt" GTest_DIR benchmark_DIR
cmake --build "$out/subdirectory" -j "$jobs" >/dev/null
run subdirectory "$out/subdirectory/consumer"
run subdirectory-simulated "$out/subdirectory/simulated_match" "$scenario"

log "4. add_subdirectory with the game's own client library"
cmake -S "$consumer" -B "$out/own-client" -DKRMM_SOURCE_DIR="$root" \
  -DKRMM_CLIENT_LIBRARY="$prefix/lib/libhalyard.so" -DKRMM_CLIENT_INCLUDE_DIR="$prefix/include" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
no_lookup "$out/own-client/CMakeCache.txt" GTest_DIR benchmark_DIR JANSSON_INCLUDE_DIR \
  JANSSON_FOUND pkgcfg_lib_JANSSON_jansson
cmake --build "$out/own-client" -j "$jobs" >/dev/null
run own-client "$out/own-client/consumer"
