#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Key to MIDI send in the real program while the busiest style plays and the
# window repaints on an X server (see key_latency.cpp), idle and with one
# core kept busy.
#   bench/key_latency.sh [BUILD_DIR] [PRESSES] [RUNS]
# defaults: build, 600 presses, 3 runs per load. BENCH_LOADS="idle busy";
# BENCH_AUDIO=jack (default), pulse or none picks the sound server (lib.sh).
set -euo pipefail
build=${1:-build}
presses=${2:-600}
runs=${3:-3}
. "$(dirname "$0")/lib.sh"
bench_start_xvfb
bench_start_audio
bench_private_home
for load in ${BENCH_LOADS:-idle busy}; do
    if [ "$load" = busy ]; then
        bench_busy_core
    fi
    for ((i = 1; i <= runs; i++)); do
        echo "$load run $i: $("$build/bin/bench_key_latency" --presses "$presses" 2>/dev/null | grep '^result')"
    done
    bench_idle_core
done
