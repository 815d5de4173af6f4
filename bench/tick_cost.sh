#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Callgrind instructions of every rhythm tick of every style (second bar, in
# C major with the accompaniment on), and the busiest tick of each style:
#   bench/tick_cost.sh BUILD_DIR [STYLE_FILE]
# Each style's busiest tick is held against bench/tick_cost_baseline.txt: the
# script fails when one costs more than 20 % above its baseline.
set -euo pipefail
build=$1
data=${2:-$(dirname "$0")/../data/brelmonddat1.dat}
out=$(mktemp)
trap 'rm -f "$out"' EXIT
baseline=$(dirname "$0")/tick_cost_baseline.txt
over=0
printf '| style | busiest tick | messages | instructions (Ir) | baseline (Ir) | change | mean Ir per tick |\n|---|---|---|---|---|---|---|\n'
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
    base=$(awk -v s="$style" '$1 == s {print $2}' "$baseline")
    change=$(awk -v now="$best_ir" -v base="$base" 'BEGIN {printf "%+.1f %%", 100 * (now - base) / base}')
    if [ "$best_ir" -gt $((base * 12 / 10)) ]; then over=1; fi
    printf '| %d | %d | %d | %d | %d | %s | %d |\n' "$style" "$best_tick" "$best_msgs" "$best_ir" \
        "$base" "$change" $((total / 16))
done
if [ "$over" -ne 0 ]; then
    echo "tick_cost: a style's busiest tick costs more than 20 % above its baseline" >&2
    exit 1
fi
