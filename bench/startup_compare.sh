#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up side by side: the program, a bare Qt window with as many widgets
# (bench_bare_window) and, when installed, a peer virtual keyboard (vmpk),
# launched in turn on one X server, idle and with one core kept busy.
#
# Usage: bench/startup_compare.sh [BUILD_DIR] [ROUNDS]
#   BUILD_DIR  default build (needs bench_map_wait, bench_bare_window, varkelon)
#   ROUNDS     launches of each program per load, default 15
# Environment:
#   BENCH_LOADS  "idle busy" (default) or one of them
#   BENCH_AUDIO  jack (default: a private JACK server with the dummy driver,
#                for the built-in synth to play into), pulse (a PulseAudio
#                server with a null sink, as on most desktops) or none
#   BENCH_PEER   the peer's command, default vmpk when on PATH; "" for none
#   BENCH_TRACE  1: the program prints its start-up milestones
#                (VARKELON_STARTUP_TRACE), and their medians are shown
#   BENCH_ALSO   more programs to launch in each round, as NAME=COMMAND words
#                (another build of the program, say: before=../old/build/bin/varkelon)
#
# Each launch is timed by bench_map_wait from fork to the X server's
# MapNotify of the first top-level window (event-driven, on an Xvfb started
# once with -noreset, so no launch pays for a server reset); RSS is read 1 s
# after the map. The programs alternate within each round, so a drift of the
# machine's speed touches all alike. "busy" is `taskset -c 1` running an
# endless shell loop; the programs themselves are not pinned.
set -euo pipefail

build=${1:-build}
rounds=${2:-15}
loads=${BENCH_LOADS:-idle busy}
audio=${BENCH_AUDIO:-jack}
if [ -z "${BENCH_PEER+set}" ]; then
    BENCH_PEER=$(command -v vmpk || true)
fi
map_wait=$build/bin/bench_map_wait
. "$(dirname "$0")/lib.sh"
work=$bench_work

bench_start_xvfb
bench_start_audio
# The program's settings from the first launch on stay, as for a user.
bench_private_home
if [ "${BENCH_TRACE:-0}" = 1 ]; then
    export VARKELON_STARTUP_TRACE=1
fi

names=(bare varkelon)
commands=("$build/bin/bench_bare_window" "$build/bin/varkelon")
if [ -n "$BENCH_PEER" ]; then
    names+=(peer)
    commands+=("$BENCH_PEER")
fi
for also in ${BENCH_ALSO:-}; do
    names+=("${also%%=*}")
    commands+=("${also#*=}")
done

echo "build=$build rounds=$rounds audio=$audio peer=${BENCH_PEER:-none} display=$DISPLAY"
for load in $loads; do
    if [ "$load" = busy ]; then
        bench_busy_core
    fi
    for ((r = 1; r <= rounds; r++)); do
        for i in "${!names[@]}"; do
            line=$("$map_wait" --settle 1000 -- ${commands[$i]} 2>>"$work/stderr-$load-${names[$i]}" ||
                echo "failed")
            echo "$load ${names[$i]} $line" >>"$work/results"
        done
    done
    bench_idle_core
done

# load name map_ms X rss_mib R anon_mib A file_mib F shmem_mib S
awk '
function median(list, n,   sorted, i, j, t) {
    for (i = 1; i <= n; i++) sorted[i] = list[i]
    for (i = 2; i <= n; i++) for (j = i; j > 1 && sorted[j - 1] > sorted[j]; j--) {
        t = sorted[j]; sorted[j] = sorted[j - 1]; sorted[j - 1] = t
    }
    return n % 2 ? sorted[(n + 1) / 2] : (sorted[n / 2] + sorted[n / 2 + 1]) / 2
}
$3 == "failed" { failed[$1 " " $2]++; next }
{
    key = $1 " " $2
    n = ++count[key]
    map[key, n] = $4; rss[key, n] = $6; own[key, n] = $6 - $12
    if (!(key in lo) || $4 < lo[key]) lo[key] = $4
    if (!(key in hi) || $4 > hi[key]) hi[key] = $4
    if (!(key in order)) { order[key] = ++keys; byorder[keys] = key }
}
END {
    printf "%-6s %-9s %5s %10s %16s %10s %22s %8s\n", "load", "program", "runs", "map p50", "map min-max", "VmRSS p50", "VmRSS less shared mem", "x bare"
    for (k = 1; k <= keys; k++) {
        key = byorder[k]; n = count[key]
        for (i = 1; i <= n; i++) { m[i] = map[key, i]; s[i] = rss[key, i]; o[i] = own[key, i] }
        med[key] = median(m, n)
        split(key, part, " ")
        ratio = (part[1] " bare") in med ? sprintf("%.2f", med[key] / med[part[1] " bare"]) : "-"
        printf "%-6s %-9s %5d %8.1f ms %7.1f-%6.1f ms %7.1f MiB %18.1f MiB %8s\n", part[1], part[2], n, med[key], lo[key], hi[key], median(s, n), median(o, n), ratio
    }
    for (key in failed) printf "%s: %d launches failed\n", key, failed[key]
}' "$work/results"
# "startup: EVENT MS (this thread on a CPU C, waiting for one W)"
for f in "$work"/stderr-*; do
    grep -q '^startup: ' "$f" 2>/dev/null || continue
    echo "--- start-up milestones of ${f##*/stderr-}, medians in ms since the process began:"
    awk '/^startup: / {
        e = $2; n = ++count[e]; at[e, n] = $3
        if ($4 == "(this") { cpu[e, n] = $9 + 0; wait[e, n] = $13 + 0 }
        if (!(e in order)) { order[e] = ++events; name[events] = e }
    }
    function median(a, e, n,   v, i, j, t) {
        for (i = 1; i <= n; i++) v[i] = a[e, i]
        for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
        return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    END {
        for (k = 1; k <= events; k++) {
            e = name[k]; n = count[e]
            if ((e, 1) in cpu)
                printf "  %-16s %6.0f   main thread on a CPU %4.0f, waiting for one %4.0f\n", e, median(at, e, n), median(cpu, e, n), median(wait, e, n)
            else
                printf "  %-16s %6.0f\n", e, median(at, e, n)
        }
    }' "$f"
done
if cat "$work"/stderr-* 2>/dev/null | grep -v '^startup: ' | grep -q .; then
    echo "--- other output of the launches (most frequent lines):"
    cat "$work"/stderr-* | grep -v '^startup: ' | sort | uniq -c | sort -rn | head -5
fi
