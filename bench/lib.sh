# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the benchmark scripts: a private X server and a private JACK
# server for the program under test, stopped when the script exits.
#   . "$(dirname "$0")/lib.sh"; bench_start_xvfb; bench_start_jack
# bench_work is a temporary folder, removed at exit; bench_on_exit adds a
# command to run at exit (before the servers stop).

# What the benchmarks run beside the program comes from Debian, as the
# program's own dependencies do.
"$(dirname "${BASH_SOURCE[0]}")/../scripts/install-deps" --bench

bench_work=$(mktemp -d)
bench_pids=()
bench_exit_commands=()

bench_cleanup() {
    local c pid
    for c in "${bench_exit_commands[@]}"; do eval "$c" || true; done
    for pid in "${bench_pids[@]}"; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    rm -rf "$bench_work"
}
trap bench_cleanup EXIT

bench_on_exit() { bench_exit_commands+=("$1"); }

# Xvfb on the first free display, started with -noreset (no launch pays for
# a server reset); exports DISPLAY.
bench_start_xvfb() {
    local display=99
    while [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -noreset -screen 0 1920x1080x24 -nolisten tcp >"$bench_work/xvfb.log" 2>&1 &
    bench_pids+=($!)
    local _
    for _ in $(seq 100); do
        [ -e /tmp/.X11-unix/X$display ] && break
        sleep 0.05
    done
    export DISPLAY=:$display
}

# A JACK server with the dummy driver under a private name (48 kHz, PERIOD
# frames, default 256), for the built-in synth to play into; real-time when
# the second argument is "realtime" (the timing benchmarks), else not. Exports
# JACK_DEFAULT_SERVER and JACK_NO_START_SERVER, sets bench_jack_pid, and ends
# the script when the server does not start. bench_stop_jack stops it.
bench_jack_pid=
bench_start_jack() {
    local period=${1:-256} rt=-r
    [ "${2:-}" = realtime ] && rt=
    bench_stop_jack
    export JACK_DEFAULT_SERVER=varkelon-bench-$$-$period-$RANDOM
    export JACK_NO_START_SERVER=1
    jackd -n "$JACK_DEFAULT_SERVER" $rt -d dummy -r 48000 -p "$period" >"$bench_work/jackd.log" 2>&1 &
    bench_jack_pid=$!
    sleep 1
    if ! kill -0 "$bench_jack_pid" 2>/dev/null; then
        echo "jackd did not start:" >&2
        cat "$bench_work/jackd.log" >&2
        exit 1
    fi
}
bench_stop_jack() {
    if [ -n "$bench_jack_pid" ]; then
        kill "$bench_jack_pid" 2>/dev/null && wait "$bench_jack_pid" 2>/dev/null || true
        bench_jack_pid=
    fi
}
bench_on_exit bench_stop_jack

# PID: "TID:NAME ticks" per thread, sorted (for bench_thread_split).
bench_threads() {
    local t
    for t in /proc/"$1"/task/*; do
        printf '%s:%s %s\n' "${t##*/}" "$(tr ' ' _ <"$t/comm" 2>/dev/null)" \
            "$(awk '{$0 = substr($0, index($0, ") ") + 2); print $12 + $13}' "$t/stat" 2>/dev/null)"
    done | sort
}
# BEFORE AFTER SECONDS: "NAME percent" of each thread that ran between two
# bench_threads snapshots, as a percentage of one core.
bench_thread_split() {
    join -a 2 "$1" "$2" 2>/dev/null |
        awk -v hz="$(getconf CLK_TCK)" -v s="$3" '{ d = NF == 3 ? $3 - $2 : $2 } d > 0 { sub(/^[0-9]+:/, "", $1); printf "%s%s %.1f%%", n++ ? ", " : "", $1, 100 * d / hz / s }'
}

# One of the two cores kept busy (an endless shell loop on CPU 1) until
# bench_idle_core; bench_busy_pid is its process.
bench_busy_pid=
bench_busy_core() {
    taskset -c 1 sh -c 'while :; do :; done' &
    bench_busy_pid=$!
}
bench_idle_core() {
    if [ -n "$bench_busy_pid" ]; then
        kill "$bench_busy_pid" 2>/dev/null && wait "$bench_busy_pid" 2>/dev/null || true
        bench_busy_pid=
    fi
}
bench_on_exit bench_idle_core

# A PulseAudio server with a null sink, as a desktop's sound server would be
# (where PipeWire or PulseAudio plays, not JACK); exports PULSE_SERVER. No
# JACK server runs then: the synth plays through PulseAudio, and the ports
# are listed from ALSA alone.
bench_start_pulse() {
    mkdir -p "$bench_work/pulse-home" "$bench_work/pulse-run"
    chmod 700 "$bench_work/pulse-run"
    HOME=$bench_work/pulse-home XDG_RUNTIME_DIR=$bench_work/pulse-run \
        pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
        -L "module-null-sink sink_name=null" -L module-native-protocol-unix \
        >"$bench_work/pulse.log" 2>&1 &
    bench_pids+=($!)
    local _
    for _ in $(seq 100); do
        [ -S "$bench_work/pulse-run/pulse/native" ] && break
        sleep 0.05
    done
    export PULSE_SERVER=unix:$bench_work/pulse-run/pulse/native
}

# PipeWire as a desktop runs it (pipewire, wireplumber and pipewire-pulse in
# a D-Bus session of their own, with a private XDG_RUNTIME_DIR) and a null
# sink, since this machine has no sound card; exports PULSE_SERVER and
# PIPEWIRE_RUNTIME_DIR (where PipeWire's own clients find it) and sets
# bench_pipewire_pids to the three servers' processes (pipewire,
# pipewire-pulse, wireplumber), stopped at exit.
bench_pipewire_pids=
bench_start_pipewire() {
    local run=$bench_work/pipewire-run
    mkdir -p "$run" "$bench_work/pipewire-home"
    chmod 700 "$run"
    cat >"$bench_work/pipewire-session.sh" <<'SESSION'
#!/bin/sh
pipewire >"$1/pipewire.log" 2>&1 & echo $! >"$1/pipewire.pid"
sleep 0.3
pipewire-pulse >"$1/pipewire-pulse.log" 2>&1 & echo $! >"$1/pipewire-pulse.pid"
wireplumber >"$1/wireplumber.log" 2>&1 & echo $! >"$1/wireplumber.pid"
wait
SESSION
    chmod +x "$bench_work/pipewire-session.sh"
    XDG_RUNTIME_DIR=$run HOME=$bench_work/pipewire-home \
        dbus-run-session -- "$bench_work/pipewire-session.sh" "$bench_work" \
        >"$bench_work/dbus.log" 2>&1 &
    bench_pids+=($!)
    export PULSE_SERVER=unix:$run/pulse/native PIPEWIRE_RUNTIME_DIR=$run
    local _
    for _ in $(seq 100); do
        pactl info >/dev/null 2>&1 && break
        sleep 0.05
    done
    pactl load-module module-null-sink sink_name=null >/dev/null
    bench_pipewire_pids="$(cat "$bench_work/pipewire.pid") $(cat "$bench_work/pipewire-pulse.pid") $(cat "$bench_work/wireplumber.pid")"
    bench_on_exit 'kill $bench_pipewire_pids 2>/dev/null'
}

# Starts the sound server BENCH_AUDIO names: jack (default), pulse,
# pipewire or none.
bench_start_audio() {
    case "${BENCH_AUDIO:-jack}" in
    jack) bench_start_jack ;;
    pulse) bench_start_pulse ;;
    pipewire) bench_start_pipewire ;;
    none) ;;
    *) echo "BENCH_AUDIO must be jack, pulse, pipewire or none" >&2; return 2 ;;
    esac
}

# A home of its own, as on a first start.
bench_private_home() {
    mkdir -p "$bench_work/home/.config" "$bench_work/run"
    chmod 700 "$bench_work/run"
    export HOME=$bench_work/home XDG_CONFIG_HOME=$bench_work/home/.config
    export XDG_RUNTIME_DIR=$bench_work/run
}
