#!/usr/bin/env bash
# Builds the library and the matchmaking simulator, then runs a simulated
# session on the in-process backend emulator. Arguments go to the simulator
# (--help lists them).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install_deps.sh >&2
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target krmm_simulator >/dev/null
exec ./build/tools/simulator/krmm_simulator "$@"
