#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Peak and RMS levels of the built-in synth's output (gain and limiter as the
# program sets them), for the demonstration at the start's levels and for the
# loudest case. varkelon-sim plays each script of bench/levels/ and writes the
# MIDI it sends as a file; bench_levels renders that through the synth; sox
# reads the levels back from the rendered WAV.
#
# Usage: bench/levels.sh [BUILD_DIR]   (default build)
set -euo pipefail
build=${1:-build}
here=$(dirname "$0")
. "$here/lib.sh"
printf '| case | peak (dBFS) | RMS (dBFS) | peak without the limiter (dBFS) |\n|---|---|---|---|\n'
for script in "$here"/levels/*.sim; do
    name=$(basename "$script" .sim)
    "$build/bin/varkelon-sim" --data "$build/bin/brelmonddat1.dat" --smf "$bench_work/$name.mid" \
        <"$script" >/dev/null
    "$build/bin/bench_levels" "$bench_work/$name.mid" --wav "$bench_work/$name.wav" >/dev/null
    raw=$("$build/bin/bench_levels" "$bench_work/$name.mid" --no-limit | tr ' ' '\n' |
        awk -F= '$1 == "peak_dbfs" {print $2}')
    stats=$(sox "$bench_work/$name.wav" -n stats 2>&1)
    peak=$(awk '/^Pk lev dB/ {print $4}' <<<"$stats")
    rms=$(awk '/^RMS lev dB/ {print $4}' <<<"$stats")
    printf '| %s | %s | %s | %s |\n' "$name" "$peak" "$rms" "$raw"
done
