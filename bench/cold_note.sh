#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A note from a MIDI keyboard struck with no warning (no window activation,
# no pointer, no key) after a long rest, against the same keyboard struck
# while the sound runs: the delay from the strike to its sound at the
# program's audio output. The program runs with its window under Xvfb and
# its MIDI keyboard input on JACK; bench_cold_note is the keyboard and the
# recorder (see its header).
#   bench/cold_note.sh [BUILD_DIR] [ROUNDS]      (defaults: build, 5)
# Environment:
#   BENCH_AUDIO   pipewire (default): PipeWire with WirePlumber and
#                 pipewire-pulse and a null sink (lib.sh); the program plays
#                 through its native stream, its MIDI input and the bench are
#                 clients of PipeWire's JACK interface (pw-jack), the
#                 recorder passive so that the sink can suspend.
#                 jack: a JACK server with the dummy driver, 256 frames.
#   BENCH_REST_S  seconds of rest before each cold strike, default 32
#   BENCH_STEADY  strikes after each cold one, 2 s apart, default 3
set -euo pipefail
build=${1:-build}
rounds=${2:-5}
. "$(dirname "$0")/lib.sh"
bench_start_xvfb
mkdir -p "$bench_work/home/.config"
export HOME=$bench_work/home XDG_CONFIG_HOME=$bench_work/home/.config
audio=${BENCH_AUDIO:-pipewire}
wrapper=()
bench_env=()
state_cmd="echo n/a"
case $audio in
pipewire)
    bench_start_pipewire
    wrapper=(pw-jack)
    bench_env=(PIPEWIRE_PROPS='{ node.passive = true }')
    state_cmd="pactl list sinks short | awk '\$2 == \"null\" {print \$NF}'"
    ;;
jack) bench_start_jack 256 realtime ;;
*) echo "BENCH_AUDIO must be pipewire or jack" >&2; exit 2 ;;
esac

xdotool mousemove 1919 1079 # far from where the window maps
log=$bench_work/midi.log
VARKELON_MIDI_LOG="$log" "${wrapper[@]}" "$build/bin/varkelon" >/dev/null 2>"$bench_work/stderr" &
pid=$!
bench_on_exit "kill $pid 2>/dev/null"
timeout 20 xdotool search --sync --onlyvisible --pid "$pid" --name '.' >/dev/null 2>&1 || true
sleep 3
if [ "$audio" = pipewire ]; then
    echo "stream: $(pactl list sink-inputs | grep -E 'application.name|client.api|node.latency' | tr -d '\t' | tr '\n' ' ')"
fi
echo "load at start: $(cut -d' ' -f1-3 /proc/loadavg)"
env "${bench_env[@]}" "${wrapper[@]}" "$build/bin/bench_cold_note" --strikes "$rounds" \
    --rest-s "${BENCH_REST_S:-32}" --steady "${BENCH_STEADY:-3}" --sink-state "$state_cmd" \
    2>"$bench_work/bench.stderr" | tee "$bench_work/strikes" || { cat "$bench_work/bench.stderr" >&2; exit 1; }
echo "load at end: $(cut -d' ' -f1-3 /proc/loadavg)"
# Lost or reordered: the note-ons the program sent, against the notes struck.
# Each strike is its note and the fifth above, in that order.
struck=$(sed -n 's/.* note=\([0-9]*\) .*/\1/p' "$bench_work/strikes" | awk '{printf "%d %d ", $1, $1 + 7}')
echo "struck:       $struck"
# The log holds each message as 8 hex digits: velocity, note, status.
sent=$(awk '{s = strtonum("0x" substr($1, 7, 2)); n = strtonum("0x" substr($1, 5, 2)); v = strtonum("0x" substr($1, 3, 2))
    if (s >= 0x90 && s < 0xA0 && v > 0) printf "%d ", n}' "$log")
echo "program sent: $sent"
[ "$struck" = "$sent" ] && echo "note-ons sent in the order struck, none missing" || echo "note-ons DIFFER from the strikes"
awk '/kind=/ {split($3, k, "="); split($6, d, "="); split($7, x, "="); drops += x[2]; if (d[2] == "lost") lost[k[2]]++; else {n[k[2]]++; v[k[2], n[k[2]]] = d[2]}}
    END {for (kind in n) {s = ""; for (i = 1; i <= n[kind]; i++) s = s " " v[kind, i]; print kind ": " n[kind] " sounded, " lost[kind] + 0 " lost; delays (ms):" s}
        print "recorder dropouts before the onsets: " drops + 0}' "$bench_work/strikes"
