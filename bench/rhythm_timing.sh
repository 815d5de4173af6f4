#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The rhythm's timing in the real program, at tick intervals of 50, 125 and
# 250 ms, with the machine idle and with one core kept busy.
#
# Usage: bench/rhythm_timing.sh [BENCH] [DURATION_S]
#   BENCH       default build/bin/bench_rhythm_timing
#   DURATION_S  seconds per run, default 60
# Environment:
#   BENCH_INTERVALS   default "50 125 250"
#   BENCH_LOADS       default "idle busy"; busy = a busy loop pinned to CPU 1
#   BENCH_RAW         a file to which the raw "result" lines are appended,
#                     and to BENCH_RAW.log what the runs wrote on stderr
#   BENCH_QUIET_PCT   others may use this % of the machine (default 5) ...
#   BENCH_QUIET_WAIT_S  ... over 3 s before a run starts, waited for at most
#                     this long (default 900 s)
#   BENCH_MAX_OTHERS_PCT  a run during which others used more than this %
#                     of the machine (default 10) is repeated ...
#   BENCH_ATTEMPTS    ... up to this many times in all (default 3); the
#                     least disturbed attempt is reported
#
# The built-in synth plays into a private JACK server with the dummy driver:
# the machine has no sound card, and ALSA's null device would make
# FluidSynth's audio thread spin on a core and disturb every figure. The
# window is drawn on Qt's offscreen platform.
set -euo pipefail

bench=${1:-build/bin/bench_rhythm_timing}
duration=${2:-60}
intervals=(${BENCH_INTERVALS:-50 125 250})
loads=(${BENCH_LOADS:-idle busy})
. "$(dirname "$0")/lib.sh"
work=$bench_work
trap 'exit 130' INT TERM

bench_start_jack 256 realtime
jack_pid=$bench_jack_pid

# CPU time in milliseconds: of the whole machine (busy, all cores), of one process.
hz=$(getconf CLK_TCK)
machine_busy_ms() { awk -v hz="$hz" '/^cpu / {print ($2 + $3 + $4 + $7 + $8 + $9) * 1000 / hz}' /proc/stat; }
process_ms() { awk -v hz="$hz" '{sub(/.*\) /, ""); print ($12 + $13) * 1000 / hz}' "/proc/$1/stat" 2>/dev/null || echo 0; }
now_ms() { date +%s%3N; }
cores=$(nproc)

# CPU time of the machine, less that of our JACK server and busy loop.
ours_apart_ms() {
    local load=0
    [ -n "$bench_busy_pid" ] && load=$(process_ms "$bench_busy_pid")
    awk -v b="$(machine_busy_ms)" -v j="$(process_ms "$jack_pid")" -v l="$load" \
        'BEGIN {print b - j - l}'
}

# % of the machine used by others, from two readings of ours_apart_ms and
# the wall clock, less OWN_MS of CPU that the benchmark itself used.
others_pct() { # START_MS END_MS WALL_MS OWN_MS
    awk -v a="$1" -v b="$2" -v w="$3" -v own="$4" -v n="$cores" \
        'BEGIN {o = b - a - own; if (o < 0) o = 0; printf "%.1f", 100 * o / (w * n)}'
}

wait_for_quiet() {
    local limit=${BENCH_QUIET_PCT:-5} deadline=$((SECONDS + ${BENCH_QUIET_WAIT_S:-900}))
    local a w pct
    while :; do
        a=$(ours_apart_ms) w=$(now_ms)
        sleep 3
        pct=$(others_pct "$a" "$(ours_apart_ms)" "$(($(now_ms) - w))" 0)
        if awk -v p="$pct" -v l="$limit" 'BEGIN {exit !(p < l)}' || [ $SECONDS -ge $deadline ]; then
            echo "others use $pct % of the machine; starting" >&2
            return
        fi
        echo "waiting: others use $pct % of the machine" >&2
    done
}

# Prints the value of KEY in a result line.
field() { tr ' ' '\n' <<<"$1" | awk -F= -v k="$2" '$1 == k {print $2}'; }

# One run: sets `line` (the result line) and `others` (% of the machine used
# by others meanwhile).
run_once() {
    local interval=$1 a w
    wait_for_quiet
    a=$(ours_apart_ms) w=$(now_ms)
    line=$(HOME=$work XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen \
        "$bench" --interval "$interval" --duration "$duration" \
        2>"$work/stderr" | grep '^result ' || true)
    if [ -z "$line" ]; then
        echo "run failed ($interval ms):" >&2
        cat "$work/stderr" >&2
        exit 1
    fi
    others=$(others_pct "$a" "$(ours_apart_ms)" "$(($(now_ms) - w))" "$(field "$line" cpu_ms)")
}

printf '| load | interval (ms) | ticks | drift (%%) | onset p50 / p99 / max (ms) | reference p50 / p99 / max (ms) | reference placed like ours, p99 | tick span p50 / p99 / max (ms) | send p99 / max (ms) | send max after 2 bars (ms) | repaint p99 (ms) | CPU used by others (%% of machine) |\n'
printf '|---|---|---|---|---|---|---|---|---|---|---|---|\n'
for load in "${loads[@]}"; do
    if [ "$load" = busy ]; then
        bench_busy_core
    fi
    for interval in "${intervals[@]}"; do
        best_line= best_others=
        for ((attempt = 1; attempt <= ${BENCH_ATTEMPTS:-3}; ++attempt)); do
            run_once "$interval"
            if [ -n "${BENCH_RAW:-}" ]; then
                echo "load=$load attempt=$attempt others_cpu_pct=$others $line" >>"$BENCH_RAW"
                sed "s/^/load=$load interval=$interval attempt=$attempt: /" "$work/stderr" \
                    >>"$BENCH_RAW.log"
            fi
            if [ -z "$best_line" ] || awk -v a="$others" -v b="$best_others" 'BEGIN {exit !(a < b)}'; then
                best_line=$line best_others=$others
            fi
            if awk -v a="$others" -v l="${BENCH_MAX_OTHERS_PCT:-10}" 'BEGIN {exit !(a <= l)}'; then
                break
            fi
            echo "others used $others % of the machine during the run; again" >&2
        done
        line=$best_line
        f() { field "$line" "$1"; }
        printf '| %s | %s | %s | %s | %s / %s / %s | %s / %s / %s | %s | %s / %s / %s | %s / %s | %s | %s | %s |\n' \
            "$load" "$interval" "$(f ticks)" "$(f drift_pct)" \
            "$(f onset_p50)" "$(f onset_p99)" "$(f onset_max)" \
            "$(f ref_p50)" "$(f ref_p99)" "$(f ref_max)" "$(f ref_aligned_p99)" \
            "$(f span_p50)" "$(f span_p99)" "$(f span_max)" \
            "$(f send_p99)" "$(f send_max)" "$(f send_max_after_2_bars)" "$(f repaint_p99)" \
            "$best_others"
    done
    bench_idle_core
done
