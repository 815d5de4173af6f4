#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real window pairs every press with its release, and a held computer
# key sustains, with the X server's key repeat on at its usual pace:
#  - "Назад", which hides itself when pressed, still gets the release of the
#    mouse button that pressed it: the preview note-off goes out;
#  - Q held for 2 s sends one note-on and one note-off.
#
#   tests/gui/press_release_real_window.sh [BUILD_DIR]      (default: build)
set -euo pipefail

build=${1:-build}
. "$(dirname "$0")/real_window.sh"

start_xvfb
xset r on
xset r rate 500 30
if ! xset q | grep -q 'auto repeat:  on'; then
    fail "the X server does not repeat keys"
fi
setxkbmap us
start_program

# The instrument number: Picture3(1), the tens digit, inside "Инструмент"
# (Frame1 at 2520, 0); "Назад" at 4680, 600 on the window.
digit=(3480 600 255 255)
back=(4680 600 735 255)
for button in 1 3 2; do
    point_at_control "${digit[@]}"
    xdotool click --repeat 2 --delay 60 1
    point_at_control "${back[@]}"
    begin_step
    xdotool mousedown "$button"
    # The press hides the button under the pointer; the release comes after.
    wait_until 10 step_has 00643C9F || true
    settle
    xdotool mouseup "$button"
    wait_until 10 step_has 00003C8F || true
    settle
    if [ "$(step_messages | tail -n 1)" == 00003C8F ] && [ "$(step_count 00003C8F)" -eq 1 ]; then
        echo "ok   \"Назад\" with X button $button: $(step_messages | tr '\n' ' ')"
    else
        fail "\"Назад\" with X button $button: no preview note-off on release;" \
            "got: $(step_messages | tr '\n' ' ')"
    fi
done

# Q is key 17: note 65 at octave 4.
begin_step
xdotool keydown 24
sleep 2
xdotool keyup 24
wait_until 10 step_has 0000418F || true
settle
ons=$(step_count 004E419F)
offs=$(step_count 0000418F)
if [ "$ons" -eq 1 ] && [ "$offs" -eq 1 ]; then
    echo "ok   Q held 2 s: one note-on, one note-off"
else
    fail "Q held 2 s: $ons note-ons, $offs note-offs (want 1 and 1)"
fi

finish
