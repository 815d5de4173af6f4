#!/usr/bin/env bash
# The rhythm's timing in the real program, at tick intervals of 50, 125 and
# 250 ms, with the machine idle and with one core kept busy.
#
# Usage: bench/rhythm_timing.sh [BENCH] [DURATION_S]
#   BENCH       default build/bin/bench_rhythm_timing
#   DURATION_S  seconds per run, default 60
# Environment:
#   BENCH_INTERVALS  default "50 125 250"
#   BENCH_LOADS      default "idle busy"; busy = a busy loop pinned to CPU 1
#   BENCH_RAW        a file to which the raw "result" lines are appended
#
# The built-in synth plays into a private JACK server with the dummy driver:
# the machine has no sound card, and ALSA's null device would make
# FluidSynth's audio thread spin on a core and disturb every figure. The
# window is drawn on Qt's offscreen platform. While the engine is missing
# the benchmark falls back to running Timer1 directly, and says so (mode).
set -euo pipefail

bench=${1:-build/bin/bench_rhythm_timing}
duration=${2:-60}
intervals=(${BENCH_INTERVALS:-50 125 250})
loads=(${BENCH_LOADS:-idle busy})
work=$(mktemp -d)
jack_pid=
load_pid=

cleanup() {
    [ -n "$load_pid" ] && kill "$load_pid" 2>/dev/null && wait "$load_pid" 2>/dev/null
    [ -n "$jack_pid" ] && kill "$jack_pid" 2>/dev/null && wait "$jack_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

export JACK_DEFAULT_SERVER=varkelon-rhythm-$$
export JACK_NO_START_SERVER=1
jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
jack_pid=$!
sleep 1
if ! kill -0 "$jack_pid" 2>/dev/null; then
    echo "jackd did not start:" >&2
    cat "$work/jackd.log" >&2
    exit 1
fi

# Prints the value of KEY in a result line.
field() { tr ' ' '\n' <<<"$1" | awk -F= -v k="$2" '$1 == k {print $2}'; }

printf '| load | interval (ms) | mode | ticks | drift (%%) | onset p50 / p99 / max (ms) | reference p50 / p99 / max (ms) | reference placed like ours, p99 | tick span p50 / p99 / max (ms) | send p99 / max (ms) | send max after 2 bars (ms) | repaint p99 (ms) | load avg at end |\n'
printf '|---|---|---|---|---|---|---|---|---|---|---|---|---|\n'
for load in "${loads[@]}"; do
    if [ "$load" = busy ]; then
        taskset -c 1 sh -c 'while :; do :; done' &
        load_pid=$!
    fi
    for interval in "${intervals[@]}"; do
        line=$(HOME=$work XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen \
            "$bench" --interval "$interval" --duration "$duration" --allow-fallback \
            2>"$work/stderr" | grep '^result ' || true)
        if [ -z "$line" ]; then
            echo "run failed ($load, $interval ms):" >&2
            cat "$work/stderr" >&2
            exit 1
        fi
        # The 1-minute load average at the end of a run: about 0.2 idle and 1.2
        # with the busy loop; more means something else ran meanwhile.
        loadavg=$(cut -d' ' -f1 /proc/loadavg)
        [ -n "${BENCH_RAW:-}" ] && echo "load=$load $line" >>"$BENCH_RAW"
        f() { field "$line" "$1"; }
        printf '| %s | %s | %s | %s | %s | %s / %s / %s | %s / %s / %s | %s | %s / %s / %s | %s / %s | %s | %s | %s |\n' \
            "$load" "$interval" "$(f mode)" "$(f ticks)" "$(f drift_pct)" \
            "$(f onset_p50)" "$(f onset_p99)" "$(f onset_max)" \
            "$(f ref_p50)" "$(f ref_p99)" "$(f ref_max)" "$(f ref_aligned_p99)" \
            "$(f span_p50)" "$(f span_p99)" "$(f span_max)" \
            "$(f send_p99)" "$(f send_max)" "$(f send_max_after_2_bars)" "$(f repaint_p99)" "$loadavg"
    done
    if [ -n "$load_pid" ]; then
        kill "$load_pid" 2>/dev/null && wait "$load_pid" 2>/dev/null || true
        load_pid=
    fi
done
