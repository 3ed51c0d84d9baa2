#!/usr/bin/env bash
# CPU time per player of whole simulator sessions with few and with many
# players, for one or more simulator builds, in alternating rounds of one
# session; prints the medians and the ratio many/few per build.
#
# usage: bench/scale_by_players.sh MANY ROUNDS 'label=command' ...
#   e.g. bench/scale_by_players.sh 5000 5 \
#          'new=build-rel/tools/simulator/krmm_simulator' \
#          'old=/tmp/old/krmm_simulator' \
#          'old-heap=env MALLOC_MMAP_THRESHOLD_=1073741824 /tmp/old/krmm_simulator'
# The few-player figure is 10 sessions of 100 players, the many-player one a
# single session of MANY; CPU time is user + system of the whole process.
set -euo pipefail
many=$1
rounds=$2
shift 2

# CPU seconds of one session.
cpu() {
    /usr/bin/time -f '%U %S' "$@" 2>&1 >/dev/null | tail -1 | awk '{ print $1 + $2 }'
}

declare -A few_samples many_samples
for ((round = 1; round <= rounds; ++round)); do
    for variant in "$@"; do
        label=${variant%%=*}
        read -r -a command <<<"${variant#*=}"
        few=0
        for _ in 1 2 3 4 5 6 7 8 9 10; do
            few=$(awk -v a="$few" -v b="$(cpu "${command[@]}" --players 100 --seed 1)" \
                'BEGIN { print a + b }')
        done
        few_samples[$label]+="$(awk -v t="$few" 'BEGIN { printf "%.4f", t * 1000 / 1000 }') "
        many_samples[$label]+="$(awk -v t="$(cpu "${command[@]}" --players "$many" --seed 1)" \
            -v n="$many" 'BEGIN { printf "%.4f", t * 1000 / n }') "
    done
done

median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
echo "medians of $rounds alternating rounds, CPU ms per player"
echo "| Build | 100 players | $many players | $many / 100 |"
echo "|---|---|---|---|"
for variant in "$@"; do
    label=${variant%%=*}
    f=$(echo "${few_samples[$label]}" | median)
    m=$(echo "${many_samples[$label]}" | median)
    echo "| $label | $f | $m | $(awk -v f="$f" -v m="$m" 'BEGIN { printf "%.2f", m / f }') |"
done
