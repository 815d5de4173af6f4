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
#   BENCH_QUIET_PCT, BENCH_QUIET_WAIT_S  see wait_for_quiet
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

# CPU time in milliseconds: of the whole machine (busy, all cores), of one process.
hz=$(getconf CLK_TCK)
machine_busy_ms() { awk -v hz="$hz" '/^cpu / {print ($2 + $3 + $4 + $7 + $8 + $9) * 1000 / hz}' /proc/stat; }
process_ms() { awk -v hz="$hz" '{sub(/.*\) /, ""); print ($12 + $13) * 1000 / hz}' "/proc/$1/stat" 2>/dev/null || echo 0; }
now_ms() { date +%s%3N; }
cores=$(nproc)

# On a shared machine, waits (up to BENCH_QUIET_WAIT_S, default 900 s) until
# others use less than BENCH_QUIET_PCT (default 5) % of it over 3 s.
wait_for_quiet() {
    local limit=${BENCH_QUIET_PCT:-5} deadline=$((SECONDS + ${BENCH_QUIET_WAIT_S:-900})) pct
    while :; do
        local b0 j0 l0=0 w0 b1 j1 l1=0 w1
        b0=$(machine_busy_ms) j0=$(process_ms "$jack_pid") w0=$(now_ms)
        [ -n "$load_pid" ] && l0=$(process_ms "$load_pid")
        sleep 3
        b1=$(machine_busy_ms) j1=$(process_ms "$jack_pid") w1=$(now_ms)
        [ -n "$load_pid" ] && l1=$(process_ms "$load_pid")
        pct=$(awk -v b="$(awk -v a="$b0" -v c="$b1" 'BEGIN {print c - a}')" \
            -v o="$(awk -v a="$j0" -v c="$j1" -v d="$l0" -v e="$l1" 'BEGIN {print c - a + e - d}')" \
            -v w="$((w1 - w0))" -v n="$cores" 'BEGIN {printf "%.0f", 100 * (b - o) / (w * n)}')
        if [ "$pct" -lt "$limit" ] || [ $SECONDS -ge $deadline ]; then
            echo "others use $pct % of the machine" >&2
            return
        fi
        echo "waiting: others use $pct % of the machine" >&2
    done
}

# Prints the value of KEY in a result line.
field() { tr ' ' '\n' <<<"$1" | awk -F= -v k="$2" '$1 == k {print $2}'; }

printf '| load | interval (ms) | mode | ticks | drift (%%) | onset p50 / p99 / max (ms) | reference p50 / p99 / max (ms) | reference placed like ours, p99 | tick span p50 / p99 / max (ms) | send p99 / max (ms) | send max after 2 bars (ms) | repaint p99 (ms) | load avg at end | CPU used by others (%% of machine) |\n'
printf '|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n'
for load in "${loads[@]}"; do
    if [ "$load" = busy ]; then
        taskset -c 1 sh -c 'while :; do :; done' &
        load_pid=$!
    fi
    for interval in "${intervals[@]}"; do
        wait_for_quiet
        busy0=$(machine_busy_ms) jack0=$(process_ms "$jack_pid") wall0=$(now_ms)
        load0=0
        [ -n "$load_pid" ] && load0=$(process_ms "$load_pid")
        line=$(HOME=$work XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen \
            "$bench" --interval "$interval" --duration "$duration" --allow-fallback \
            2>"$work/stderr" | grep '^result ' || true)
        if [ -z "$line" ]; then
            echo "run failed ($load, $interval ms):" >&2
            cat "$work/stderr" >&2
            exit 1
        fi
        busy1=$(machine_busy_ms) jack1=$(process_ms "$jack_pid") wall1=$(now_ms)
        load1=0
        [ -n "$load_pid" ] && load1=$(process_ms "$load_pid")
        # CPU that neither this benchmark, its JACK server nor the busy loop
        # used, in % of the machine: other work that disturbs the figures.
        others=$(awk -v b0="$busy0" -v b1="$busy1" -v j0="$jack0" -v j1="$jack1" \
            -v l0="$load0" -v l1="$load1" -v own="$(field "$line" cpu_ms)" \
            -v w="$((wall1 - wall0))" -v n="$cores" \
            'BEGIN {o = (b1 - b0) - (j1 - j0) - (l1 - l0) - own; if (o < 0) o = 0;
                    printf "%.1f", 100 * o / (w * n)}')
        # The 1-minute load average at the end of a run: about 0.2 idle and 1.2
        # with the busy loop; more means something else ran meanwhile.
        loadavg=$(cut -d' ' -f1 /proc/loadavg)
        [ -n "${BENCH_RAW:-}" ] && echo "load=$load loadavg=$loadavg others_cpu_pct=$others $line" >>"$BENCH_RAW"
        f() { field "$line" "$1"; }
        printf '| %s | %s | %s | %s | %s | %s / %s / %s | %s / %s / %s | %s | %s / %s / %s | %s / %s | %s | %s | %s | %s |\n' \
            "$load" "$interval" "$(f mode)" "$(f ticks)" "$(f drift_pct)" \
            "$(f onset_p50)" "$(f onset_p99)" "$(f onset_max)" \
            "$(f ref_p50)" "$(f ref_p99)" "$(f ref_max)" "$(f ref_aligned_p99)" \
            "$(f span_p50)" "$(f span_p99)" "$(f span_max)" \
            "$(f send_p99)" "$(f send_max)" "$(f send_max_after_2_bars)" "$(f repaint_p99)" "$loadavg" "$others"
    done
    if [ -n "$load_pid" ]; then
        kill "$load_pid" 2>/dev/null && wait "$load_pid" 2>/dev/null || true
        load_pid=
    fi
done
