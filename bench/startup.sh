#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up of the real program: time from launch to the window shown and to
# the SoundFont loaded, and the resident memory once both have happened.
#
# Usage: bench/startup.sh [PROGRAM] [RUNS]
#   PROGRAM  default build/bin/varkelon
#   RUNS     runs per SoundFont, default 5
#
# The program runs under xvfb-run with VARKELON_STARTUP_TRACE=1 and reads the
# "startup: EVENT MS" lines it prints. A machine without a sound card has no
# audio output for the synthesizer, so by default the script starts a JACK
# server with the dummy driver (private name) for it to play into; with
# BENCH_AUDIO=none it does not, and the program shows its "Couldn't open midi
# out" message, which the script answers with Return.
set -euo pipefail

program=${1:-build/bin/varkelon}
runs=${2:-5}
sf_dir=/usr/share/sounds/sf2
soundfonts=(${BENCH_SOUNDFONTS:-$sf_dir/FluidR3_GM.sf2 $sf_dir/TimGM6mb.sf2})
work=$(mktemp -d)
jack_pid=

cleanup() {
    [ -n "$jack_pid" ] && kill "$jack_pid" 2>/dev/null && wait "$jack_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

if [ "${BENCH_AUDIO:-jack}" = jack ]; then
    export JACK_DEFAULT_SERVER=varkelon-bench-$$
    export JACK_NO_START_SERVER=1
    jackd -n "$JACK_DEFAULT_SERVER" -r -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
    jack_pid=$!
    sleep 1
fi

# One run: prints "window_ms soundfont_ms rss_mib".
run_once() {
    local sf=$1 err=$work/stderr pidfile=$work/pid
    rm -f "$err" "$pidfile"
    HOME=$work XDG_CONFIG_HOME=$work/config VARKELON_STARTUP_TRACE=1 VARKELON_SOUNDFONT=$sf \
        xvfb-run -a sh -c "\"$program\" 2>\"$err\" & echo \$! >\"$pidfile\"; \
            if [ \"${BENCH_AUDIO:-jack}\" = none ]; then sleep 1; xdotool key Return; fi; wait" \
        >/dev/null 2>&1 &
    local xvfb=$!
    local window= sfont= deadline=$((SECONDS + 20))
    while [ $SECONDS -lt $deadline ]; do
        window=$(awk '/^startup: window-shown/ {print $3}' "$err" 2>/dev/null || true)
        sfont=$(awk '/^startup: soundfont-ready/ {print $3}' "$err" 2>/dev/null || true)
        if [ -n "$window" ] && { [ -n "$sfont" ] || [ "${BENCH_AUDIO:-jack}" = none ]; }; then
            break
        fi
        sleep 0.05
    done
    sleep 0.3 # let the first paint and the first samples settle
    local pid rss=
    pid=$(cat "$pidfile" 2>/dev/null || true)
    if [ -n "$pid" ]; then
        rss=$(awk '/^VmRSS:/ {printf "%.1f", $2 / 1024} /^RssAnon:/ {printf " anon=%.1f", $2 / 1024} /^RssFile:/ {printf " file=%.1f", $2 / 1024} /^RssShmem:/ {printf " shmem=%.1f", $2 / 1024}' "/proc/$pid/status" 2>/dev/null || true)
        kill "$pid" 2>/dev/null || true
    fi
    wait "$xvfb" 2>/dev/null || true
    echo "${window:--} ${sfont:--} ${rss:--}"
}

echo "program=$program runs=$runs audio=${BENCH_AUDIO:-jack}"
for sf in "${soundfonts[@]}"; do
    for ((i = 1; i <= runs; i++)); do
        echo "$(basename "$sf") run $i: window_ms soundfont_ms rss_mib = $(run_once "$sf")"
    done
done
