#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The longest single send() to the built-in synthesizer while the rhythm
# plays, with and without the styles' programs pinned: replays a message
# stream into the synth playing to a JACK server with the dummy driver (the
# machine needs no sound card; ALSA's null device would make FluidSynth's
# audio thread spin a core instead).
#
# Usage: bench/send_replay.sh [BUILD_DIR] [MESSAGES]
#   BUILD_DIR  default build
#   MESSAGES   "midi 0x..." lines; default: a bar of every style and every
#              style change, written by bench_style_messages from the style
#              data file (bench/sim_session.sh makes one from varkelon-sim)
# Environment: BENCH_SOUNDFONT (default: the system's GM SoundFont),
# BENCH_TICK_MS (default 100), BENCH_RUNS (runs of each, default 3),
# BENCH_RENDER=1 also runs each without an audio device, for comparison;
# BENCH_ARGS: more arguments for bench_send_replay (e.g. "--hold 120 --probe").
set -euo pipefail

build=${1:-build}
style_file=${BENCH_STYLE_FILE:-data/brelmonddat1.dat}
tick_ms=${BENCH_TICK_MS:-100}
runs=${BENCH_RUNS:-3}
work=$(mktemp -d)
jack_pid=

cleanup() {
    if [ -n "$jack_pid" ]; then
        kill "$jack_pid" 2>/dev/null || true
        wait "$jack_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

messages=${2:-}
if [ -z "$messages" ]; then
    messages=$work/messages.txt
    "$build/bin/bench_style_messages" "$style_file" >"$messages"
fi
soundfont_args=()
if [ -n "${BENCH_SOUNDFONT:-}" ]; then
    soundfont_args=(--soundfont "$BENCH_SOUNDFONT")
fi

export JACK_DEFAULT_SERVER=varkelon-replay-$$
export JACK_NO_START_SERVER=1
jackd -n "$JACK_DEFAULT_SERVER" -r -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
jack_pid=$!
sleep 1

echo "messages=$messages tick_ms=$tick_ms runs=$runs $(nproc) cores"
for ((i = 1; i <= runs; i++)); do
    for pin in none styles; do
        pin_args=()
        [ "$pin" = styles ] && pin_args=(--pin "$style_file")
        modes=(audio)
        [ "${BENCH_RENDER:-0}" = 1 ] && modes+=(render)
        for mode in "${modes[@]}"; do
            mode_args=()
            [ "$mode" = render ] && mode_args=(--render)
            "$build/bin/bench_send_replay" "$messages" --tick-ms "$tick_ms" \
                "${soundfont_args[@]}" "${pin_args[@]}" "${mode_args[@]}" ${BENCH_ARGS:-} 2>/dev/null
        done
    done
done
