#!/usr/bin/env bash
# Side-by-side CPU cost of the library's rating updates, their floors and npm
# rating packages on the same matches, in alternating rounds of one session.
#
# usage: bench/compare_ratings.sh [build folder] [rounds]
#   The build folder is configured with benchmarks on (a Release build, e.g.
#   cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=Release); bench_RatingBench is
#   built in it if missing. The packages go to a scratch folder that is
#   removed afterwards.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build-rel}
rounds=${2:-5}

cmake --build "$build" --target bench_RatingBench -j2 >/dev/null
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# openskill's Bradley-Terry full-pair model is the library's Bayesian update.
(cd "$scratch" && npm init -y >/dev/null &&
    npm install --no-audit --no-fund --silent openskill@5.0.1 glicko2@1.2.2 elo-rank@1.0.4)
node "$here/compare_ratings.mjs" "$scratch" "$build/bench/bench_RatingBench" "$rounds"
