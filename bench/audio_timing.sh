#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Timing at the audio output of the real program, sent at once (latency 0)
# and time-stamped, each under a JACK server of its own with the dummy driver
# (the machine has no sound card; ALSA's null device would make FluidSynth's
# audio thread spin a core and disturb every figure).
#
# Usage: bench/audio_timing.sh [BENCH] [RHYTHM_S]
#   BENCH      default build/bin/bench_audio_timing
#   RHYTHM_S   seconds of rhythm per run, default 20
# Environment:
#   BENCH_LATENCIES  default "0 10" (ms; 0 = every message at once, as before)
#   BENCH_PERIODS    JACK periods in frames, default "256"
#   BENCH_KEYS       solo key presses per run, default 40
#   BENCH_RUNS       runs of each, default 1
#   BENCH_AUDIO      jack (default) or pipewire: PipeWire with WirePlumber and
#                    pipewire-pulse (lib.sh), where the synth plays through its
#                    native PipeWire stream and the recorder is a client of
#                    PipeWire's JACK interface (pw-jack) linked to that stream;
#                    the graph's period is then the stream's latency (256
#                    frames) and BENCH_PERIODS only labels the rows.
#   BENCH_TICKS      a file: every run appends a line per tick (due ms, signed
#                    onset error, handler late, onset frame modulo 64)
#   BENCH_REST_S     after the key presses, this many seconds of silence (the
#                    synth falls asleep after 15), then the pointer enters the
#                    window and "Старт" follows 0.5 s later; a second table
#                    gives the first tick's error against the steady latency
set -euo pipefail

bench=${1:-build/bin/bench_audio_timing}
rhythm_s=${2:-20}
latencies=(${BENCH_LATENCIES:-0 10})
periods=(${BENCH_PERIODS:-256})
. "$(dirname "$0")/lib.sh"
work=$bench_work
trap 'exit 130' INT TERM

export JACK_NO_START_SERVER=1
audio=${BENCH_AUDIO:-jack}
wrapper=()
case $audio in
jack) ;;
pipewire)
    bench_start_pipewire
    wrapper=(pw-jack)
    ;;
*) echo "BENCH_AUDIO must be jack or pipewire" >&2; exit 2 ;;
esac
field() { tr ' ' '\n' <<<"$1" | awk -F= -v k="$2" '$1 == k {print $2}'; }

printf '| period (frames) | latency setting (ms) | ticks | latency (ms) | onset error p50 / p99 / max (ms) | handler late p50 / p99 / max (ms) | key to sound leaving the synth p50 / p99 / max (ms) | CPU (%% of a core) | missed / recorder dropouts | jumps > 2 ms / hits off the block grid / of these, caused by the recorder | onset p99 without those (ms) | cycle start spread p99 (ms) |\n'
printf '|---|---|---|---|---|---|---|---|---|---|---|---|\n'
for period in "${periods[@]}"; do
    for latency in "${latencies[@]}"; do
        for ((run = 1; run <= ${BENCH_RUNS:-1}; ++run)); do
            [ "$audio" = jack ] && bench_start_jack "$period" realtime
            out=$(HOME=$work XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen \
                "${wrapper[@]}" "$bench" --latency-ms "$latency" --rhythm-s "$rhythm_s" --keys "${BENCH_KEYS:-40}" \
                --rest-s "${BENCH_REST_S:-0}" ${BENCH_TICKS:+--ticks "$BENCH_TICKS"} 2>"$work/stderr" || true)
            line=$(grep '^result ' <<<"$out" || true)
            warned=$(grep '^warned ' <<<"$out" || true)
            [ "$audio" = jack ] && bench_stop_jack
            if [ -z "$line" ]; then
                echo "run failed (period $period, latency $latency):" >&2
                tail -20 "$work/stderr" >&2
                exit 1
            fi
            [ -n "${BENCH_RAW:-}" ] && echo "period=$period $line" >>"$BENCH_RAW"
            f() { field "$line" "$1"; }
            printf '| %s | %s | %s | %s | %s / %s / %s | %s / %s / %s | %s / %s / %s | %s | %s / %s | %s / %s / %s | %s | %s |\n' \
                "$period" "$latency" "$(f ticks)" "$(f latency)" \
                "$(f onset_p50)" "$(f onset_p99)" "$(f onset_max)" \
                "$(f late_p50)" "$(f late_p99)" "$(f late_max)" \
                "$(f key_p50)" "$(f key_p99)" "$(f key_max)" "$(f cpu_pct)" "$(f missed)" "$(f dropouts)" \
                "$(f jumps)" "$(f off_grid)" "$(f recorders_jumps)" "$(f onset_p99_program)" "$(f cycle_spread)"
            if [ -n "$warned" ]; then
                w() { field "$warned" "$1"; }
                asleep=no
                [ "$(w warned_asleep)" = 1 ] && asleep=yes
                printf '| %s | %s | %s | %s | %s | %s | %s |\n' "$period" "$latency" "$run" "$asleep" \
                    "$(w warned_ticks)" "$(w warned_first)" "$(w warned_next)" >>"$work/warned"
            fi
        done
    done
done
if [ -s "$work/warned" ]; then
    printf '\nAfter %s s of silence, the pointer into the window, "Старт" 0.5 s later (ms against the steady latency above):\n\n' "$BENCH_REST_S"
    printf '| period (frames) | latency setting (ms) | run | synth asleep before | ticks | first tick | largest of the next |\n'
    printf '|---|---|---|---|---|---|---|\n'
    cat "$work/warned"
fi
