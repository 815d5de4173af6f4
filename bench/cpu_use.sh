#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# CPU of the real program over 10 s: stopped (window shown, the built-in synth
# open and rendering into a JACK server), then while the first style plays
# with the accompaniment on (started as a user would, by xdotool: a click on
# "Аккомпанемент", then the chord key Z). Beside it the bare Qt window and,
# when installed, the peer (vmpk) stopped, in the same run.
#   bench/cpu_use.sh [BUILD_DIR] [SECONDS] [RUNS]     (defaults: build, 10, 3)
# CPU is utime + stime of every thread (/proc/PID/stat, 10 ms ticks), as a
# percentage of one core; the per-thread split names the busiest threads.
# BENCH_AUDIO=jack (default), pulse or none picks the sound server (lib.sh).
set -euo pipefail
build=${1:-build}
seconds=${2:-10}
runs=${3:-3}
peer=${BENCH_PEER-$(command -v vmpk || true)}
. "$(dirname "$0")/lib.sh"
bench_start_xvfb
bench_start_audio
bench_private_home
hz=$(getconf CLK_TCK)

ticks() { # PID: utime + stime of the whole process
    awk '{print $14 + $15}' "/proc/$1/stat"
}
# PID SECONDS: percent of a core, and the busiest threads' percent.
measure() {
    local pid=$1 s=$2 before after
    bench_threads "$pid" >"$bench_work/t0"
    before=$(ticks "$pid")
    sleep "$s"
    after=$(ticks "$pid")
    bench_threads "$pid" >"$bench_work/t1"
    local split
    split=$(bench_thread_split "$bench_work/t0" "$bench_work/t1" "$s")
    awk -v a="$after" -v b="$before" -v hz="$hz" -v s="$s" -v parts="$split" \
        'BEGIN { printf "%.2f %% of a core (%s)\n", 100 * (a - b) / hz / s, parts }'
}
launch() { # COMMAND...: starts it, waits for its window, prints the PID
    "$@" >/dev/null 2>>"$bench_work/stderr" &
    local pid=$!
    timeout 20 xdotool search --sync --onlyvisible --pid "$pid" --name '.' >/dev/null 2>&1 || true
    echo "$pid"
}
stop() { kill "$1" 2>/dev/null; wait "$1" 2>/dev/null || true; }

for ((run = 1; run <= runs; run++)); do
    # The MIDI log shows that the style really plays (a few lines a tick).
    log=$bench_work/midi-$run.log
    pid=$(VARKELON_MIDI_LOG=$log launch "$build/bin/varkelon")
    sleep 3 # the SoundFont loads, the first paint is done
    echo "run $run varkelon stopped: $(measure "$pid" "$seconds")"
    wid=$(xdotool search --onlyvisible --pid "$pid" --name 'Варкелон' | head -1)
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    menu_bar=$((HEIGHT - 5505 / 15)) # the client area is 5505 twips high
    # "Аккомпанемент" at left 6960, top 1560, 1455 x 375 twips; then Z.
    xdotool mousemove --sync $((X + (6960 + 1455 / 2) / 15)) $((Y + menu_bar + (1560 + 375 / 2) / 15)) click 1
    xdotool windowfocus --sync "$wid" key --delay 80 52
    sleep 2
    sent_before=$(wc -l <"$log")
    echo "run $run varkelon playing: $(measure "$pid" "$seconds")"
    echo "run $run messages sent while playing: $(($(wc -l <"$log") - sent_before))"
    stop "$pid"

    pid=$(launch "$build/bin/bench_bare_window")
    sleep 3
    echo "run $run bare stopped: $(measure "$pid" "$seconds")"
    stop "$pid"
    if [ -n "$peer" ]; then
        pid=$(launch "$peer")
        sleep 3
        echo "run $run peer stopped: $(measure "$pid" "$seconds")"
        stop "$pid"
    fi
done
