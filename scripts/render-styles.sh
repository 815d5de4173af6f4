#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders every shipped style through FluidSynth and measures it with sox, so
# that the styles can be compared by ear and by number.
#
#   scripts/render-styles.sh [BUILD_DIR [OUT_DIR]]
#
# DATA names the style data file (default: data/brelmonddat1.dat of this
# checkout, so a freshly compiled file is heard without a rebuild).
# Each style plays four bars with the chords C, Am, F and G (accompaniment
# mode, "Синхростарт" started by the first chord), at the program's start
# levels, then "Стоп". OUT_DIR (default build/styles-render) receives
# style-N.mid and style-N.wav; standard output is a Markdown table of tempo
# and loudness over the four bars (overall RMS and peak of the two channels,
# in dB full scale).
# SOUNDFONT overrides the SoundFont; FORMAT=ogg|flac also writes
# style-N.FORMAT, two bars long, as a short example.
set -euo pipefail

build=${1:-build}
out=${2:-$build/styles-render}
sim=$build/bin/varkelon-sim
data=${DATA:-$(dirname "$0")/../data/brelmonddat1.dat}
soundfont=${SOUNDFONT:-/usr/share/sounds/sf2/default-GM.sf2}
rate=48000

for tool in fluidsynth sox; do
    command -v "$tool" >/dev/null || {
        echo "render-styles: $tool is missing (scripts/install-deps installs it)" >&2
        exit 1
    }
done
[ -x "$sim" ] || { echo "render-styles: no $sim; build first" >&2; exit 1; }
[ -f "$soundfont" ] || { echo "render-styles: no SoundFont $soundfont" >&2; exit 1; }
mkdir -p "$out"

names=("" "Поп" "Диско" "Кантри" "Техно" "Полька" "Хардрок" "Хеви метал")
# Chord keys: Z = C, N = A (with Shift: minor), V = F, B = G.
chords=("90 0" "78 1" "86 0" "66 0")

# The script of style N: the tempo is asked first, since the bar length
# depends on it.
script_for() { # STYLE INTERVAL_MS
    local style=$1 interval=$2 i
    echo start
    for ((i = 1; i < style; ++i)); do
        echo "mousedown Command1(1)"
        echo "mouseup Command1(1)"
    done
    echo "click Command7"
    for chord in "${chords[@]}"; do
        echo "keydown $chord"
        echo "wait 20"
        echo "keyup $chord"
        echo "wait $((16 * interval - 20))"
    done
    echo "click Command2"
    echo "wait 1500"
}

echo "| Style | Name | Tempo value | BPM | RMS dB | Peak dB |"
echo "|---|---|---|---|---|---|"
for style in 1 2 3 4 5 6 7; do
    steps=$(for ((i = 1; i < style; ++i)); do printf 'mousedown Command1(1)\nmouseup Command1(1)\n'; done)
    tempo=$(printf 'start\n%s\nget tempo\n' "$steps" | "$sim" --data "$data" | sed -n 's/^tempo = //p')
    interval=$((255 - tempo))
    script_for "$style" "$interval" | "$sim" --data "$data" --smf "$out/style-$style.mid" >/dev/null
    fluidsynth -ni -q -F "$out/style-$style.wav" -r "$rate" "$soundfont" "$out/style-$style.mid" \
        >/dev/null 2>&1
    # Loudness over the four bars themselves: the silence after "Стоп" would
    # weigh more in the quicker styles.
    bars_s=$(awk -v i="$interval" 'BEGIN { print (4 * 16 + 1) * i / 1000 }')
    stats=$(sox "$out/style-$style.wav" -n trim 0 "$bars_s" stats 2>&1)
    rms=$(awk '/^RMS lev dB/ { print $4 }' <<<"$stats")
    peak=$(awk '/^Pk lev dB/ { print $4 }' <<<"$stats")
    bpm=$(awk -v i="$interval" 'BEGIN { printf "%.1f", 15000 / i }')
    echo "| $style | ${names[$style]} | $tempo | $bpm | $rms | $peak |"
    if [ -n "${FORMAT:-}" ]; then
        # Two bars, from the first tick on: enough to hear the groove.
        sox "$out/style-$style.wav" "$out/style-$style.$FORMAT" trim 0 \
            "$(awk -v i="$interval" 'BEGIN { print 32 * i / 1000 + 0.5 }')"
    fi
done
