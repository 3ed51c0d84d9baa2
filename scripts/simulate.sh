#!/usr/bin/env bash
# Builds the library and the matchmaking simulator (in build-simulator/, with
# neither GoogleTest nor Google Benchmark), then runs a simulated session on
# the in-process backend emulator, or with --backend URL against a running
# matchmaking service (./scripts/serve.sh). Arguments go to the simulator
# (--help lists them). The build reports on standard error, so standard output holds
# only the simulator's report.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install_deps.sh library >&2
./scripts/install_deps.sh player >&2  # libcurl, for --backend
dir=build-simulator
if [ ! -f "$dir/CMakeCache.txt" ]; then
  echo "== Configuring the simulator's build in $dir/ ==" >&2
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKRMM_BUILD_TESTS=OFF \
    -DKRMM_BUILD_BENCH=OFF -DKRMM_BUILD_EXAMPLES=OFF -DKRMM_BUILD_TOOLS=ON >/dev/null
fi
echo "== Building the simulator (the first build takes a few minutes) ==" >&2
cmake --build "$dir" -j "$(nproc)" --target krmm_simulator >&2
exec "./$dir/tools/simulator/krmm_simulator" "$@"
