#!/usr/bin/env bash
# Builds the C# binding (bindings/csharp) with Mono, as a library the way a
# .NET project references it, and runs its test against the shared libraries
# of an already built tree: a match on the loopback and one on the emulator,
# the rating updates compared with a C caller, forced collections between
# frames. Installs Debian's smallest Mono packages first when missing.
#
# Usage: scripts/run_csharp_tests.sh [build-dir]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
out=$build/csharp

./scripts/install_deps.sh csharp

echo "== C# binding under Mono =="
mkdir -p "$out"
mcs -nologo -warnaserror -target:library -out:"$out/KRMatchmakingSystem.Binding.dll" \
  bindings/csharp/*.cs
mcs -nologo -warnaserror -out:"$out/BindingTest.exe" -r:"$out/KRMatchmakingSystem.Binding.dll" \
  tests/bindings/csharp/BindingTest.cs

# The library's emulator writes a line per call to standard output: line
# buffering keeps them in order with the test's own lines, and they stay in
# the log.
status=0
LD_LIBRARY_PATH="$build:$build/halyard${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" \
  stdbuf -oL mono --debug "$out/BindingTest.exe" \
  "$build/tests/bindings/csharp/csharp_rating_reference" \
  tests/bindings/csharp/loopback_match.json >"$out/binding-test.log" 2>&1 || status=$?
grep -av '^\[HYE\]' "$out/binding-test.log" || true
if [ "$status" -ne 0 ]; then
  echo "C# binding test failed (exit $status); full output in $out/binding-test.log" >&2
fi
exit "$status"
