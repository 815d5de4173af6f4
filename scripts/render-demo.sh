#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the whole demonstration to audio and measures it: varkelon-sim plays
# it on the virtual clock into a Standard MIDI File, FluidSynth renders that
# with the GM SoundFont, sox reports length and levels, and the MIDI file is
# checked for notes still sounding at its end.
#
#   scripts/render-demo.sh [BUILD_DIR] [OUT_DIR]     (defaults: build, a temporary folder)
set -euo pipefail
build=${1:-build}
out=${2:-$(mktemp -d)}
mkdir -p "$out"
sf=${VARKELON_SOUNDFONT:-/usr/share/sounds/sf2/default-GM.sf2}
sim=$build/bin/varkelon-sim

# The tick of style 4 comes from its tempo; the piece takes 329 of them.
interval=$(printf 'start\nclick Command15\nget Timer1.Interval\n' | "$sim" |
    sed -n 's/^Timer1.Interval = //p')
length_ms=$((329 * interval))
printf 'start\nwait 500\nclick Command15\nwait %d\nget demo_running\nget demo_step\n' \
    "$((length_ms + interval))" | "$sim" --smf "$out/demo.mid" >"$out/demo.trace"
grep -q '^demo_running = 0$' "$out/demo.trace"
echo "tick ${interval} ms, 329 ticks: ${length_ms} ms of music ($(grep -c '^midi' "$out/demo.trace") messages)"

fluidsynth -ni -q -g 0.5 -r 48000 -F "$out/demo.wav" "$sf" "$out/demo.mid" >/dev/null 2>&1
sox "$out/demo.wav" -n stats 2>&1 | grep -E 'Pk lev dB|RMS lev dB|Length s|Flat factor|Pk count'

# Notes sounding when the file ends: note-on (velocity > 0) without a later
# note-off, velocity-0 note-on or all-notes-off on its channel; channel 10's
# percussion ends by itself.
gawk '/^midi 0x/ { m = strtonum($2); s = and(m, 255); ch = and(s, 15); k = and(s, 240)
        n = and(rshift(m, 8), 127); v = and(rshift(m, 16), 127)
        if (k == 144 && v > 0 && ch != 9) on[ch, n] = 1
        else if (k == 128 || k == 144) delete on[ch, n]
        else if (k == 176 && n == 123) for (key in on) { split(key, p, SUBSEP); if (p[1] == ch) delete on[key] } }
    END { left = 0; for (key in on) { split(key, p, SUBSEP); printf "still sounding: channel %d note %d\n", p[1] + 1, p[2]; left = 1 }
          if (!left) print "nothing sounding at the end"; exit left }' "$out/demo.trace"
echo "files in $out"
