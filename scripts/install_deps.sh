#!/usr/bin/env bash
# Installs the Debian packages the build needs, only when one is missing.
# Usage: scripts/install_deps.sh [library|csharp|server|player]
#   library  only what the library and the simulator need (no GoogleTest,
#            no Google Benchmark)
#   csharp   only Mono's compiler and runtime, for the C# binding's test
#   server   what halyard-server needs besides (libevent, OpenSSL)
#   player   what the networked client and its example need besides (libcurl)
set -euo pipefail
packages=(cmake g++ make pkg-config libjansson-dev)
case "${1:-}" in
  library) ;;
  csharp) packages=(mono-mcs mono-runtime) ;;
  server) packages+=(libevent-dev libssl-dev) ;;
  player) packages+=(libcurl4-openssl-dev) ;;
  *) packages+=(libgtest-dev libgmock-dev libbenchmark-dev libexpat1-dev python3 libevent-dev
                libssl-dev libcurl4-openssl-dev) ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
