#!/usr/bin/env bash
# Installs what the matchmaking service needs (when missing), builds
# halyard-server in build-server/ and runs it on 127.0.0.1:8750 with the
# default hoppers (1, 2 and 10 players) and tokens for anyone from
# POST /v1/sessions. Arguments are added to those (--help lists them; a later
# --listen wins). The build reports on standard error; the service's first
# line on standard output is "listening on http://HOST:PORT". Ctrl-C stops it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install_deps.sh server >&2
dir=build-server
if [ ! -f "$dir/CMakeCache.txt" ]; then
  echo "== Configuring the service's build in $dir/ ==" >&2
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKRMM_BUILD_EXTRAS=OFF \
    -DKRMM_BUILD_SERVER=ON >&2
fi
echo "== Building halyard-server (the first build takes a minute or two) ==" >&2
cmake --build "$dir" -j "$(nproc)" --target halyard-server >&2
exec "./$dir/server/halyard-server" --listen 127.0.0.1:8750 --dev-sessions "$@"
