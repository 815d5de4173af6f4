#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The program on a desktop's sound server: PipeWire with WirePlumber and
# pipewire-pulse (lib.sh starts them, with a null sink). Reports how the
# stream is listed, the CPU of the program and the three servers while the
# first style plays and from 25 s to 35 s after it stopped, the sink's state
# then, how long the sink takes to run again after the pointer enters the
# window, and the program's resident memory.
#   bench/quiet_output.sh [BUILD_DIR] [RUNS]     (defaults: build, 1)
# CPU is utime + stime (/proc/PID/stat) as a percentage of one core.
# Each run measures each of BENCH_OUTPUTS (default "pipewire pulse") in
# turn: pipewire is the synth's native PipeWire stream, pulse its PulseAudio
# stream through pipewire-pulse (the program is kept from finding PipeWire's
# own socket). BENCH_PIPEWIRE_LATENCY (e.g. 512/48000) overrides the
# native stream's latency, to see what a longer graph period would save.
set -euo pipefail
build=${1:-build}
runs=${2:-1}
. "$(dirname "$0")/lib.sh"
bench_start_xvfb
bench_start_pipewire
mkdir -p "$bench_work/home/.config"
export HOME=$bench_work/home XDG_CONFIG_HOME=$bench_work/home/.config
hz=$(getconf CLK_TCK)

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# SECONDS PID...: "name percent" for each, then the sum.
cpu() {
    local s=$1 p
    shift
    local -A before
    for p in "$@"; do before[$p]=$(ticks "$p"); done
    sleep "$s"
    local total=0 line=""
    for p in "$@"; do
        local pc
        pc=$(awk -v d=$(($(ticks "$p") - before[$p])) -v hz="$hz" -v s="$s" 'BEGIN {printf "%.2f", 100 * d / hz / s}')
        line+="$(cat "/proc/$p/comm") $pc, "
        total=$(awk -v a="$total" -v b="$pc" 'BEGIN {printf "%.2f", a + b}')
    done
    echo "${line}together $total % of a core"
}
sink_state() { pactl list sinks short | awk '$2 == "null" {print $NF}'; }
# Button of the main form at LEFT TOP WIDTH HEIGHT twips: clicked.
click_twips() {
    xdotool mousemove --sync $((X + ($1 + $3 / 2) / 15)) $((Y + menu_bar + ($2 + $4 / 2) / 15)) click 1
}
read -r -a servers <<<"$bench_pipewire_pids"

mkdir -p "$bench_work/no-pipewire"
for ((r = 1; r <= runs; r++)); do
for output in ${BENCH_OUTPUTS:-pipewire pulse}; do
    run="$r $output"
    case $output in
    pipewire)
        program_env=(PIPEWIRE_RUNTIME_DIR="$PIPEWIRE_RUNTIME_DIR")
        [ -n "${BENCH_PIPEWIRE_LATENCY:-}" ] && program_env+=(PIPEWIRE_LATENCY="$BENCH_PIPEWIRE_LATENCY")
        ;;
    pulse) program_env=(PIPEWIRE_RUNTIME_DIR="$bench_work/no-pipewire") ;;
    *) echo "BENCH_OUTPUTS: pipewire or pulse" >&2; exit 2 ;;
    esac
    xdotool mousemove 0 0
    log=$bench_work/midi-$r-$output.log
    env "${program_env[@]}" VARKELON_MIDI_LOG="$log" "$build/bin/varkelon" >/dev/null 2>>"$bench_work/stderr" &
    pid=$!
    timeout 20 xdotool search --sync --onlyvisible --pid "$pid" --name '.' >/dev/null 2>&1 || true
    sleep 3
    echo "run $run stream: $(pactl list sink-inputs | grep -E 'application.name|application.icon_name|media.role|media.name|client.api|node.latency' | tr -d '\t' | tr '\n' ' ')"
    echo "run $run resident memory: $(awk '/VmRSS/ {printf "%.1f MiB", $2 / 1024}' "/proc/$pid/status")"
    wid=$(xdotool search --onlyvisible --pid "$pid" --name 'Варкелон' | head -1)
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    menu_bar=$((HEIGHT - 5505 / 15)) # the client area is 5505 twips high
    click_twips 6960 1560 1455 375   # "Аккомпанемент"
    xdotool windowfocus --sync "$wid" key --delay 80 52 # Z: C major, the style starts
    sleep 2
    bench_threads "$pid" >"$bench_work/t0"
    echo "run $run playing: $(cpu 10 "$pid" "${servers[@]:0:2}"), sink $(sink_state), load $(cut -d' ' -f1 /proc/loadavg)"
    bench_threads "$pid" >"$bench_work/t1"
    echo "run $run playing, the program's threads: $(bench_thread_split "$bench_work/t0" "$bench_work/t1" 10)"
    echo "run $run MIDI messages sent: $(wc -l <"$log")"
    click_twips 7320 2040 1095 375 # "Стоп"
    xdotool mousemove 0 0          # the pointer leaves the window
    stopped=$(date +%s.%N)
    sleep 25
    echo "run $run 25 s after the stop: sink $(sink_state), stream $(pactl list sink-inputs | awk '/Corked/ {print ($2 == "yes" ? "corked" : "running")}')"
    echo "run $run 25-35 s after the stop: $(cpu 10 "$pid" "${servers[@]:0:2}"), sink $(sink_state)"
    # The warning: the pointer enters the window. How long until the sink runs.
    t0=$(date +%s%N)
    xdotool mousemove --window "$wid" 200 200
    while [ "$(sink_state)" != RUNNING ]; do
        [ $(($(date +%s%N) - t0)) -gt 5000000000 ] && break
        sleep 0.005
    done
    echo "run $run pointer in to sink running: $(( ($(date +%s%N) - t0) / 1000000 )) ms (pactl polled every 5 ms)"
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null || true
    : "$stopped"
done
done
