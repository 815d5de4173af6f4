#!/usr/bin/env bash
# Callgrind instructions of every rhythm tick of every style (second bar, in
# C major with the accompaniment on), and the busiest tick of each style:
#   bench/tick_cost.sh BUILD_DIR [STYLE_FILE]
set -euo pipefail
build=$1
data=${2:-$(dirname "$0")/../data/brelmonddat1.dat}
out=$(mktemp)
trap 'rm -f "$out"' EXIT
printf '| style | busiest tick | messages | instructions (Ir) | mean Ir per tick |\n|---|---|---|---|---|\n'
for style in 1 2 3 4 5 6 7; do
    best_ir=0 best_tick=0 best_msgs=0 total=0
    for tick in $(seq 0 15); do
        line=$(valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file=/dev/null \
            "$build/bin/bench_tick_cost" "$data" "$style" "$tick" 2>"$out")
        ir=$(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$out")
        msgs=${line##* }
        total=$((total + ir))
        if [ "$ir" -gt "$best_ir" ]; then best_ir=$ir best_tick=$tick best_msgs=$msgs; fi
    done
    printf '| %d | %d | %d | %d | %d |\n' "$style" "$best_tick" "$best_msgs" "$best_ir" $((total / 16))
done
