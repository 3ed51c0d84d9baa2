#!/usr/bin/env bash
# halyard-server measured against its floor, side by side in one run:
#   1. keep-alives per second one process answers (wrk -t1 -c64), with p50/p99
#      latency and CPU time per request, next to a do-nothing evhttp server
#      answering a body of the same size (bench_floor_server), in alternating
#      rounds; then both paced at half the floor's rate (p50/p99 there);
#   2. event delivery latency from a match's formation to a waiting player's
#      stream (bench_event_latency);
#   3. tickets matched per second by formation (bench_ServerFormationBench).
# Not part of CI. Usage: bench/server_bench.sh [build dir, default build-rel]
#                          [seconds per wrk run, default 10] [rounds, default 3]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-rel}
seconds=${2:-10}
rounds=${3:-3}
connections=64

./scripts/install_deps.sh >&2
if ! command -v wrk >/dev/null; then
  apt-get update
  apt-get install -y --no-install-recommends wrk
fi
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DKRMM_BUILD_SERVER=ON -DKRMM_BUILD_BENCH=ON \
    -DKRMM_BUILD_TESTS=OFF -DKRMM_BUILD_TOOLS=OFF -DKRMM_BUILD_EXAMPLES=OFF >/dev/null
fi
echo "== Building the service and its benchmarks in $dir/ ==" >&2
cmake --build "$dir" -j "$(nproc)" --target halyard-server bench_floor_server \
  bench_event_latency bench_ServerFormationBench >&2

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

# start <name> <program> [args...]: runs it, waits (bounded) for its
# "listening on" line and sets url_<name> and pid_<name>.
start() {
  local name=$1
  shift
  "$@" >"$work/$name.out" 2>&1 &
  local pid=$!
  pids+=("$pid")
  for _ in $(seq 100); do
    grep -q '^listening on ' "$work/$name.out" && break
    sleep 0.1
  done
  local url
  url=$(sed -n 's/^listening on //p' "$work/$name.out")
  [ -n "$url" ] || { echo "$name did not start:" >&2; cat "$work/$name.out" >&2; exit 1; }
  printf -v "url_$name" '%s' "$url"
  printf -v "pid_$name" '%s' "$pid"
}

start service "$dir/server/halyard-server" --listen 127.0.0.1:0 --dev-sessions --rate-limit 0 \
  --keepalive-timeout 3600
json_member() { sed -n "s/.*\"$1\":\"\([^\"]*\)\".*/\1/p"; }
token=$(curl -s -X POST "$url_service/v1/sessions" | json_member token)
# One identity's tickets in the hopper of ten: they wait (one identity never
# plays itself), so every keep-alive answers a waiting ticket's status.
tickets=()
for _ in $(seq "$connections"); do
  ticket=$(curl -s -H "Authorization: Bearer $token" \
    -d '{"hopper_id":"30ac7aba-e072-52cf-b30d-d88c2ff89f76"}' \
    "$url_service/v1/matchmaking/tickets" | json_member ticket)
  curl -s -o /dev/null -X POST -H "Authorization: Bearer $token" \
    "$url_service/v1/matchmaking/tickets/$ticket/keepalive"
  tickets+=("\"$ticket\"")
done
body_bytes=$(curl -s -X POST -H "Authorization: Bearer $token" \
  "$url_service/v1/matchmaking/tickets/${tickets[0]//\"/}/keepalive" | wc -c)
start floor "$dir/bench/server/bench_floor_server" "$body_bytes"

# The same requests go to both servers (the floor ignores the path).
script() {
  local delay_ms=$1
  cat <<EOF
local tickets = {$(IFS=,; echo "${tickets[*]}")}
local headers = {["Authorization"] = "Bearer $token"}
local i = 0
request = function()
  i = i % #tickets + 1
  return wrk.format("POST", "/v1/matchmaking/tickets/" .. tickets[i] .. "/keepalive", headers, "")
end
EOF
  if [ "$delay_ms" != 0 ]; then
    # wrk pauses whole milliseconds: alternate the two around the pause asked for.
    awk -v d="$delay_ms" 'BEGIN { lo = int(d); printf "delay = function() if math.random() < %.3f then return %d end return %d end\n", d - lo, lo + 1, lo }'
  fi
}

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
to_ms() { awk '{ v = $1; if (v ~ /us$/) print v / 1000; else if (v ~ /ms$/) print v + 0; else print v * 1000 }'; }

# run <name> <delay ms>: one wrk run; prints "rps p50 p99 cpu_us_per_request".
run() {
  local name=$1 delay=$2 url pid before after out
  url=$(eval echo "\$url_$name")
  pid=$(eval echo "\$pid_$name")
  script "$delay" >"$work/$name.lua"
  before=$(cpu_ticks "$pid")
  out=$(wrk -t1 -c"$connections" -d"${seconds}s" --latency -s "$work/$name.lua" "$url")
  after=$(cpu_ticks "$pid")
  local rps requests p50 p99
  rps=$(echo "$out" | awk '/^Requests\/sec/ { print $2 }')
  requests=$(echo "$out" | awk '/requests in/ { print $1 }')
  p50=$(echo "$out" | awk '$1 == "50%" { print $2 }' | to_ms)
  p99=$(echo "$out" | awk '$1 == "99%" { print $2 }' | to_ms)
  if echo "$out" | grep -q 'Non-2xx'; then
    echo "$name answered errors:" >&2
    echo "$out" >&2
    exit 1
  fi
  awk -v r="$rps" -v p50="$p50" -v p99="$p99" -v t=$((after - before)) -v n="$requests" \
    -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.0f %.2f %.2f %.1f\n", r, p50, p99, t * 1e6 / hz / n }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "keep-alive answer: $body_bytes bytes; wrk -t1 -c$connections, ${seconds}s per run, $rounds alternating rounds"
declare -A results
for ((round = 1; round <= rounds; ++round)); do
  for name in floor service; do
    results[$name]+="$(run "$name" 0)"$'\n'
  done
done
column_median() { echo -n "${results[$1]}" | awk -v c="$2" '{ print $c }' | median; }
floor_rps=$(column_median floor 1)
printf '%-9s %10s %9s %9s %14s\n' "" "req/s" "p50 ms" "p99 ms" "CPU us/req"
for name in floor service; do
  printf '%-9s %10s %9s %9s %14s\n' "$name" "$(column_median "$name" 1)" \
    "$(column_median "$name" 2)" "$(column_median "$name" 3)" "$(column_median "$name" 4)"
done
awk -v s="$(column_median service 1)" -v f="$floor_rps" 'BEGIN { printf "service / floor: %.2f of the requests per second\n", s / f }'

# Half the floor's rate: each connection pauses its share of the time between
# requests, less the floor's median answer time.
delay=$(awk -v f="$floor_rps" -v c="$connections" -v p="$(column_median floor 2)" \
  'BEGIN { d = c * 1000 / (f / 2) - p; printf "%.2f", (d > 0 ? d : 0) }')
echo "paced at about half the floor's rate, $(awk -v f="$floor_rps" 'BEGIN { printf "%.0f", f / 2 }')/s ($connections connections, ${delay} ms pause per request):"
for name in floor service; do
  read -r rps p50 p99 _ <<<"$(run "$name" "$delay")"
  printf '%-9s %10s %9s %9s\n' "$name" "$rps" "$p50" "$p99"
done

echo
"$dir/bench/server/bench_event_latency" "$url_service" 200
echo
"$dir/bench/bench_ServerFormationBench" --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true 2>/dev/null | grep -E 'median|Benchmark'
