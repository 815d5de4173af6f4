#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the tests of the real program in a real X window: sourced, not
# run. It gives a private Xvfb, a private home (fresh settings, the built-in
# synth playing into ALSA's null device), the program with a log of every
# MIDI message it sends (VARKELON_MIDI_LOG), and helpers that read that log
# step by step.
#
#   build=BUILD_DIR; . tests/gui/real_window.sh
#   start_xvfb [XVFB_ARGS...]; start_program
#
# Every wait polls for what it waits for, with a deadline of seconds, so a
# slow or loaded machine makes the run longer, not red.

bin=$(cd "$build/bin" && pwd)/varkelon
work=$(mktemp -d)
pid=
xvfb_pid=
wid=
failures=0

stop() { # PID: ends a process we started, forcibly if it does not go
    local p=$1
    kill "$p" 2>/dev/null || return 0
    for _ in $(seq 50); do
        kill -0 "$p" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$p" 2>/dev/null || true
    wait "$p" 2>/dev/null || true
}
cleanup() {
    if [ -n "$pid" ]; then
        stop "$pid"
    fi
    if [ -n "$xvfb_pid" ]; then
        stop "$xvfb_pid"
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# Polls COMMAND... every 50 ms until it succeeds; fails after LIMIT seconds.
wait_until() {
    local limit=$1 end
    shift
    end=$((SECONDS + limit))
    until "$@"; do
        [ "$SECONDS" -lt "$end" ] || return 1
        sleep 0.05
    done
}

# A server of our own: it picks a free display itself (-displayfd), so two
# runs on one machine never race for a display number, and the trap above
# ends it whatever happens.
start_xvfb() { # [XVFB_ARGS...]
    : >"$work/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp "$@" \
        3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    if ! wait_until 20 grep -q '^[0-9][0-9]*$' "$work/display"; then
        echo "$(basename "$0"): Xvfb did not start; it said:"
        cat "$work/xvfb.log"
        exit 1
    fi
    DISPLAY=:$(head -n 1 "$work/display")
    export DISPLAY
}

export HOME=$work XDG_CONFIG_HOME=$work/.config XDG_RUNTIME_DIR=$work
# No sound server of the machine's, nor a JACK server that another test or a
# benchmark is starting or stopping, reaches the program.
export PIPEWIRE_RUNTIME_DIR=$work JACK_DEFAULT_SERVER=real-window-$$
printf 'pcm.!default { type null }\n' >"$work/.asoundrc"
export VARKELON_MIDI_LOG=$work/midi.log
log=$VARKELON_MIDI_LOG

fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}
logged() {
    wc -l <"$log"
}
step_start=0
begin_step() {
    step_start=$(logged)
}
# The messages logged since begin_step, one a line; complete lines only.
step_messages() {
    sed -n "$((step_start + 1)),$(logged)p" "$log"
}
step_has_at_least() {
    [ "$(($(logged) - step_start))" -ge "$1" ]
}
step_has() { # MESSAGE [N]: at least N (default 1) of MESSAGE since begin_step
    [ "$(step_messages | grep -c "^$1\$" || true)" -ge "${2:-1}" ]
}
step_count() { # MESSAGE: how many of MESSAGE since begin_step
    step_messages | grep -c "^$1\$" || true
}
# After the awaited messages, a little longer, so that one too many shows too.
settle() {
    sleep 0.3
}
expect_messages() {
    local name=$1 expected=$2 got
    wait_until 10 step_has_at_least "$(wc -w <<<"$expected")" || true
    settle
    got=$(step_messages | tr '\n' ' ' | sed 's/ $//')
    if [ "$got" == "$expected" ]; then
        echo "ok   $name: $got"
    else
        fail "$name"
        echo "     expected: $expected"
        echo "     got:      $got"
    fi
}
program_ended() {
    ! kill -0 "$pid" 2>/dev/null
}
end_with_the_program_output() {
    echo "$(basename "$0"): $1; the program said:"
    cat "$work/stderr"
    exit 1
}

# Starts the program with an empty log, gives its window the keyboard and
# waits for the end of start-up; sets pid and wid, and X, Y, WIDTH, HEIGHT
# and menu_bar (the pixels the window has above its client area).
start_program() {
    : >"$log"
    "$bin" 2>"$work/stderr" &
    pid=$!
    wid=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" --name 'Варкелон' |
        head -n 1) || true
    if [ -z "$wid" ]; then
        if ! program_ended; then
            end_with_the_program_output "no window within 20 s"
        fi
        local status
        wait "$pid" && status=0 || status=$?
        pid=
        end_with_the_program_output "the program ended (status $status) before its window showed"
    fi
    # No window manager here: give the window the keyboard ourselves.
    timeout 20 xdotool windowfocus --sync "$wid" ||
        end_with_the_program_output "no keyboard focus"
    # Start-up ends when Timer2 cuts every channel, 500 ms after the window
    # loads; a step that began earlier would count those messages as its own.
    wait_until 10 grep -q '^00007BBF$' "$log" || fail "start-up: no all-notes-off on channel 16"
    settle
    echo "window $wid: $(xdotool getwindowgeometry "$wid" | tr '\n' ' ')"
    # The window is the menu bar above the client area of 591 x 367 pixels;
    # the menu bar's height depends on the font, so it is what the window has
    # beyond.
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    menu_bar=$((HEIGHT - 367))
}

# The pointer to the middle of a control of the main window, from its twips.
point_at_control() { # LEFT TOP WIDTH HEIGHT
    xdotool mousemove --sync $((X + ($1 + $3 / 2) / 15)) $((Y + menu_bar + ($2 + $4 / 2) / 15))
}
click_control() { # LEFT TOP WIDTH HEIGHT
    point_at_control "$@"
    xdotool click 1
}

finish() {
    if [ "$failures" -ne 0 ]; then
        end_with_the_program_output "$failures step(s) failed"
    fi
    echo "$(basename "$0"): all steps passed"
}
