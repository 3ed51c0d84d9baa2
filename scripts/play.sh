#!/usr/bin/env bash
# One player of a two-player game against a running matchmaking service
# (./scripts/serve.sh in another terminal): installs what it needs (when
# missing), builds examples/network_player in build-play/ and runs it. Start
# it in two terminals; the second waits for the first one's build.
# Arguments go to the player: --service URL[,URL...] (default
# http://127.0.0.1:8750), --hopper ID, --frames N.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build-play
mkdir -p "$dir"
(
  flock 9
  ./scripts/install_deps.sh player >&2
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    echo "== Configuring the player's build in $dir/ ==" >&2
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKRMM_BUILD_TESTS=OFF \
      -DKRMM_BUILD_BENCH=OFF -DKRMM_BUILD_TOOLS=OFF -DKRMM_BUILD_SERVER=OFF \
      -DKRMM_BUILD_EXAMPLES=ON >&2
  fi
  echo "== Building network_player ==" >&2
  cmake --build "$dir" -j "$(nproc)" --target network_player >&2
) 9>"$dir/.build-lock"
exec "./$dir/examples/network_player" "$@"
