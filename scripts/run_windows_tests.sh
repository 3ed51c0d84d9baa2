#!/usr/bin/env bash
# Cross-builds the Windows DLLs (KRMatchmakingSystem.dll and halyard.dll) with
# MinGW-w64 for i686 (the shipped 32-bit DLL) and x86-64, checks their export
# tables, runs the test suite under Wine, then installs each build into a
# prefix and builds and runs the C consumer (examples/consumer) against the
# installed import libraries.
#
# Everything comes from Debian's packages: the cross compilers, Wine, Jansson
# (built here from its Debian source package) and GoogleTest (from the
# googletest source package). Built dependencies and the Wine prefix are kept
# under build-windows/ so a second run only rebuilds what changed.
#
# Usage: scripts/run_windows_tests.sh [--i686-smoke]
#   --i686-smoke  for i686 build only the DLLs, the testing library (installed
#                 with them), the platform tests and the C
#                 header program, and run those with the export checks (the
#                 full suite always runs for x86-64); CI uses this for time
#
# KRMM_WINDOWS_DEPS_CACHE may name a folder outside the work tree for the
# built dependencies, so fresh clones reuse them.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/build-windows
jobs=$(nproc)
deps_cache=${KRMM_WINDOWS_DEPS_CACHE:-$out/deps}
i686_suite=full
if [ "${1:-}" = "--i686-smoke" ]; then
  i686_suite=smoke
fi

log() { echo "== $* =="; }

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# --- Packages ---------------------------------------------------------------
install_packages() {
  local wanted=(cmake make dpkg-dev googletest
                g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
                binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 wine wine64)
  local missing=() p
  for p in "${wanted[@]}"; do
    installed "$p" || missing+=("$p")
  done
  # Source lines mirroring the binary ones, for `apt-get source jansson`.
  local src_list=/etc/apt/sources.list.d/krmm-deb-src.sources
  local need_update=0
  if [ ! -f "$src_list" ] && [ ! -f "${src_list%.sources}.list" ]; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed -e 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$src_list"
    else
      # A one-line-style system: the same lines as deb-src.
      src_list=/etc/apt/sources.list.d/krmm-deb-src.list
      sed -n -e 's/^deb /deb-src /p' /etc/apt/sources.list >"$src_list"
    fi
    need_update=1
  fi
  # 32-bit Wine needs the i386 architecture; it may still not be installable.
  if ! installed wine32:i386; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      dpkg --add-architecture i386
      need_update=1
    fi
  fi
  if [ ${#missing[@]} -gt 0 ] || [ $need_update = 1 ] || ! installed wine32:i386; then
    log "Installing packages: ${missing[*]:-none} (and wine32 if it can be had)"
    apt-get update
    if [ ${#missing[@]} -gt 0 ]; then
      DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
    fi
    if ! installed wine32:i386; then
      DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends wine32:i386 ||
        echo "wine32 cannot be installed here: the i686 tests will be skipped"
    fi
  fi
}

# --- Dependencies built for Windows ----------------------------------------
# build_deps <arch>: Jansson and GoogleTest, installed under $out/deps/<arch>.
build_deps() {
  local arch=$1
  local toolchain=$root/cmake/toolchains/mingw-$arch.cmake
  local deps=$deps_cache/$arch
  local srcdir=$deps_cache/src
  mkdir -p "$srcdir"
  if ! ls -d "$srcdir"/jansson-*/ >/dev/null 2>&1; then
    log "Fetching Jansson's Debian source package"
    (cd "$srcdir" && apt-get source jansson)
  fi
  local jansson_src
  jansson_src=$(ls -d "$srcdir"/jansson-*/ | head -n1)
  # Rebuild when a source package or the toolchain file changes.
  local stamp
  stamp="$(basename "$jansson_src") googletest-$(dpkg-query -W -f='${Version}' googletest) \
$(cat "$root"/cmake/toolchains/mingw-common.cmake "$toolchain" | sha256sum | cut -c1-16)"
  if [ -f "$deps/stamp" ] && [ "$(cat "$deps/stamp")" = "$stamp" ]; then
    return
  fi
  log "Building Jansson and GoogleTest for $arch"
  rm -rf "$deps"
  cmake -S "$jansson_src" -B "$deps/build/jansson" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" \
    -DJANSSON_BUILD_SHARED_LIBS=OFF -DJANSSON_EXAMPLES=OFF -DJANSSON_WITHOUT_TESTS=ON \
    -DJANSSON_BUILD_DOCS=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=ON >/dev/null
  cmake --build "$deps/build/jansson" -j "$jobs" --target install >/dev/null
  cmake -S /usr/src/googletest -B "$deps/build/googletest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" -DBUILD_GMOCK=ON >/dev/null
  cmake --build "$deps/build/googletest" -j "$jobs" --target install >/dev/null
  rm -rf "$deps/build"
  echo "$stamp" >"$deps/stamp"
}

# --- The project -------------------------------------------------------------
# build_project <arch> [targets...]: everything when no target is named.
build_project() {
  local arch=$1; shift
  local targets=()
  if [ $# -gt 0 ]; then
    targets=(--target "$@")
  fi
  log "Cross-building for $arch ${*:-(everything)}"
  cmake -S "$root" -B "$out/$arch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKRMM_WINDOWS_DEPS="$deps_cache/$arch" \
    -DKRMM_WINEPREFIX="$out/wineprefix" -DKRMM_BUILD_BENCH=OFF >/dev/null
  cmake --build "$out/$arch" -j "$jobs" "${targets[@]}"
}

# --- The installed package, as a game uses it ---------------------------------
# consume_installed <arch> [wine loader]: installs the cross build into a
# prefix, checks what landed there, builds examples/consumer against the
# installed import libraries with find_package, and plays its match under
# the loader when one is given.
consume_installed() {
  local arch=$1 loader=${2:-}
  local prefix=$out/$arch-prefix consumer=$out/$arch-consumer file
  log "Installing the $arch build and building the consumer against it"
  rm -rf "$prefix" "$consumer"
  cmake --install "$out/$arch" --prefix "$prefix" >/dev/null
  for file in bin/KRMatchmakingSystem.dll lib/libKRMatchmakingSystem.dll.a \
      lib/KRMatchmakingSystem.def include/KRMatchmakingSystem.h \
      include/KRMatchmakingSystemVersion.h bin/halyard.dll lib/libhalyard.dll.a include/halyard.h \
      lib/cmake/KRMatchmakingSystem/KRMatchmakingSystemConfig.cmake \
      lib/pkgconfig/KRMatchmakingSystem.pc lib/pkgconfig/halyard.pc; do
    if [ ! -e "$prefix/$file" ]; then
      echo "not installed: $file"
      return 1
    fi
  done
  # The DLL's version resource carries the project's version (UTF-16 text).
  local version
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$out/$arch/CMakeCache.txt")
  if ! strings -el "$prefix/bin/KRMatchmakingSystem.dll" | grep -qx "$version"; then
    echo "KRMatchmakingSystem.dll has no version resource for $version"
    return 1
  fi
  cmake -S "$root/examples/consumer" -B "$consumer" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKRMatchmakingSystem_DIR="$prefix/lib/cmake/KRMatchmakingSystem" >/dev/null
  cmake --build "$consumer" >/dev/null
  if [ -z "$loader" ]; then
    echo "$arch consumer built; no loader to run it here"
    return 0
  fi
  # A game ships the DLLs beside its program.
  cp "$prefix"/bin/*.dll "$consumer/"
  if "$loader" "$consumer/consumer.exe" >"$consumer/run.log" 2>&1; then
    echo "$arch consumer: $(tail -n1 "$consumer/run.log" | tr -d '\r')"
  else
    cat "$consumer/run.log"
    return 1
  fi
}

# 32-bit programs run only with wine32 installed and a kernel that executes
# 32-bit binaries (some refuse them: the loader then fails to start).
wine32_runs() {
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# One 64-bit prefix serves both loaders. The server is started once and kept
# up for the run, so parallel tests never race to start it.
start_wine() {
  export WINEPREFIX=$out/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "Creating the Wine prefix"
    WINEARCH=win64 /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -w
  fi
  /usr/lib/wine/wineserver -p || true  # 2: one is running already
  trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
  /usr/lib/wine/wine64 "$out/x86_64/bin/test_c_header.exe" >/dev/null 2>&1 || true
  if wine32_runs; then
    /usr/lib/wine/wine "$out/i686/bin/test_c_header.exe" >/dev/null 2>&1 || true
  fi
}

install_packages
i686_targets=()
if ! wine32_runs; then
  # No i686 program can run here: the DLLs alone, for their export checks.
  # Test programs left from an earlier build would still be listed (and run
  # to list their tests), so they go.
  i686_targets=(KRMatchmakingSystem halyard KRMatchmakingSystemTesting)
  rm -f "$out"/i686/bin/test_*.exe
elif [ $i686_suite = smoke ]; then
  i686_targets=(KRMatchmakingSystem halyard KRMatchmakingSystemTesting test_platform test_c_header)
fi
for arch in i686 x86_64; do
  build_deps "$arch"
done
build_project i686 "${i686_targets[@]}"
build_project x86_64

# Wine programs read the console they inherit: a terminal or pipe on standard
# input can keep one from exiting, so from here on there is none.
exec </dev/null
start_wine
status=0
log "Tests for x86_64 under Wine"
ctest --test-dir "$out/x86_64" --output-on-failure -j "$jobs" || status=1
if wine32_runs; then
  if [ $i686_suite = full ]; then
    log "Tests for i686 under Wine"
    ctest --test-dir "$out/i686" --output-on-failure -j "$jobs" || status=1
  else
    log "Export checks, platform tests and the C header program for i686 under Wine"
    ctest --test-dir "$out/i686" --output-on-failure -j "$jobs" \
      -R '^(dll_exports|halyard_dll_exports|c_header|PlatformTest\..*|ClockTest\..*|StringTest\..*)$' || status=1
  fi
else
  log "32-bit programs cannot run here (no wine32, or the kernel refuses them): for i686 only the export checks run"
  ctest --test-dir "$out/i686" --output-on-failure -R '^(dll_exports|halyard_dll_exports)$' || status=1
fi
i686_loader=
if wine32_runs; then
  i686_loader=/usr/lib/wine/wine
fi
consume_installed x86_64 /usr/lib/wine/wine64 || status=1
consume_installed i686 "$i686_loader" || status=1
exit $status
