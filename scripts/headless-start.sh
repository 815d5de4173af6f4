# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced: starts an installed varkelon headless and waits for its window.
#
#   start_headless BINARY SCRATCH_DIR    returns 0 once the window has shown
#
# The program runs from a home of its own, outside any build tree, with no
# XDG data folder that could hold a style file, on the offscreen platform;
# ALSA's null device lets the built-in synth open without sound hardware, so
# no message box waits for an answer. The program is ended before returning.
start_headless() {
    local bin=$1 scratch=$2 pid shown=
    mkdir -p "$scratch/home"
    printf 'pcm.!default { type null }\n' >"$scratch/home/.asoundrc"
    (cd "$scratch/home" &&
        exec env -i PATH=/usr/bin:/bin HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" \
            XDG_RUNTIME_DIR="$scratch/home" XDG_DATA_DIRS="$scratch/nowhere" \
            QT_QPA_PLATFORM=offscreen VARKELON_STARTUP_TRACE=1 "$bin") 2>"$scratch/stderr" &
    pid=$!
    for _ in $(seq 300); do
        if grep -q '^startup: window-shown' "$scratch/stderr"; then
            shown=yes
            break
        fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    if [ -z "$shown" ]; then
        echo "FAIL $bin did not show its window; it said:"
        cat "$scratch/stderr"
        return 1
    fi
    echo "ok   $bin found its data file and showed its window"
}
