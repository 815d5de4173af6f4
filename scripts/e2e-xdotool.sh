#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end check of the real program: it runs under Xvfb with a log of
# every MIDI message it sends (VARKELON_MIDI_LOG), xdotool plays physical keys
# by their X11 keycodes on US, Russian and German layouts, holds a key past
# its auto-repeat, clicks a key with the right mouse button and chooses "Выход".
# Each step's messages are compared with what the key map says they must be.
#
#   scripts/e2e-xdotool.sh [BUILD_DIR]      (default: build)
#
# E2E_SCREENSHOTS=DIR keeps pictures of the window while the arranger plays.
set -euo pipefail

build=${1:-build}
. "$(dirname "$0")/../tests/gui/real_window.sh"

# Auto-repeat starts after 2 s, not 660 ms: on a loaded machine a tap's
# release can come late, and a repeat would be one press too many.
start_xvfb -ardelay 2000 -arinterval 50

# A press and release of key k at octave 4 with the default levels: solo
# note-on (channel 16, velocity 78), then the release's bass note-off
# (channel 14), all-notes-off on channel 15 and the solo note-off.
key_messages() {
    local k=$1
    printf '%08X %08X %08X %08X' $(((78 << 16) | ((48 + k) << 8) | 0x9F)) \
        $((((36 + k) << 8) | 0x8D)) $(((123 << 8) | 0xBE)) $((((48 + k) << 8) | 0x8F))
}

setxkbmap us
start_program

# The physical keys Z, Q, 2 and comma: keys 0, 17, 18 and 12. The server
# delivers the keymap change ahead of the key events that follow it, so the
# program sees the new layout without a pause here.
play_keys() {
    local layout=$1
    setxkbmap "$layout"
    for pair in 52:0 24:17 11:18 59:12; do
        begin_step
        xdotool key --delay 80 "${pair%%:*}"
        expect_messages "$layout keycode ${pair%%:*} plays key ${pair##*:}" \
            "$(key_messages "${pair##*:}")"
    done
}
play_keys us
play_keys ru
play_keys de
setxkbmap us

# A held key sustains: the server repeats its press, the window passes on
# the first press only, and the one real release. It is held well past the
# start of the server's repeats.
begin_step
xdotool keydown 52
sleep 3
xdotool keyup 52
wait_until 10 step_has 0000308F || true
settle
ons=$(step_count 004E309F)
offs=$(step_count 0000308F)
if [ "$ons" -eq 1 ] && [ "$offs" -eq 1 ]; then
    echo "ok   held Z: $ons note-on, $offs note-off"
else
    fail "held Z: $ons note-ons, $offs note-offs (want exactly 1 and 1)"
fi

# The right mouse button on key(7), a white key at left 1920, top 2520 twips,
# 375 wide and 1815 high: the middle of its width, and halfway down the part
# below the black keys (which are 1095 high).
begin_step
xdotool mousemove --sync $((X + (1920 + 375 / 2) / 15)) \
    $((Y + menu_bar + (2520 + (1095 + 1815) / 2) / 15)) click 3
expect_messages "right button on key(7)" "$(key_messages 7)"

# Every note-on since begin_step is ended by its note-off, a velocity-0
# note-on or all-notes-off on its channel.
nothing_left_sounding() {
    step_messages | gawk '
        { m = strtonum("0x" $1); s = and(m, 255); ch = and(s, 15); n = and(rshift(m, 8), 127)
          v = and(rshift(m, 16), 127); k = and(s, 240)
          if (k == 144 && v > 0) on[ch, n] = 1
          else if (k == 128 || k == 144) delete on[ch, n]
          else if (k == 176 && n == 123) for (key in on) { split(key, p, SUBSEP); if (p[1] == ch) delete on[key] } }
        END { left = 0; for (key in on) { split(key, p, SUBSEP); printf "channel %d note %d; ", p[1] + 1, p[2]; left = 1 }
              exit left }'
}

# The arranger: "Аккомпанемент" arms the start, B with Shift sounds G minor
# and starts drums and accompaniment; after a few bars N brings in A major;
# "Стоп" ends it. Style 1 at tick 0 plays its chord on channel 1: the minor
# third B flat (70) in G minor, C sharp (61) in A major, which the chord
# change sounds again at once; its bass G (31) on channel 3.
begin_step
click_control 6960 1560 1455 375 # "Аккомпанемент"
xdotool keydown shift key --delay 80 56 keyup shift
wait_until 10 step_has 00274690 || true
wait_until 10 step_has 00441F92 || true
sleep 2
if [ -n "${E2E_SCREENSHOTS:-}" ]; then
    # A pad stays lit for one tick: several pictures, so that some show one.
    for i in $(seq 8); do
        import -window "$wid" "$E2E_SCREENSHOTS/arranger-$i.png"
    done
fi
if step_has 00274690 && step_has 00441F92; then
    echo "ok   Shift+B in accompaniment mode plays the style in G minor"
else
    fail "Shift+B in accompaniment mode: no G minor accompaniment"
fi
xdotool key --delay 80 57
wait_until 10 step_has 00273D90 || true
sleep 1
click_control 7320 2040 1095 375 # "Стоп"
wait_until 10 step_has 00007BBF || true
settle
if step_has 00273D90; then
    echo "ok   N while it plays moves the accompaniment to A major"
else
    fail "N while it plays: no A major accompaniment"
fi
if left=$(nothing_left_sounding); then
    echo "ok   after \"Стоп\" no note is left sounding ($(($(logged) - step_start)) messages)"
else
    fail "after \"Стоп\" still sounding: $left"
fi

# "Демо" plays its melody (step 3: note 68 on channel 16) over style 4 until
# "Стоп", which ends it with nothing left sounding.
begin_step
click_control 6000 1560 855 375 # "Демо"
wait_until 10 step_has 004E449F || true
sleep 1
click_control 7320 2040 1095 375 # "Стоп"
wait_until 10 step_has 00007BBF || true
settle
if step_has 004E449F; then
    echo "ok   \"Демо\" plays its melody"
else
    fail "\"Демо\": no note 68 on channel 16"
fi
if left=$(nothing_left_sounding); then
    echo "ok   \"Стоп\" ends the demonstration with nothing left sounding"
else
    fail "after the demonstration still sounding: $left"
fi

# "Выход", the last title of the menu bar: where its text lies depends on the
# font, so it is found on the screen: the dark columns of the menu bar's
# picture, the last run of them (titles stand more than 10 pixels apart,
# letters and words within a title less), and its middle is clicked.
exit_x=$(import -window "$wid" miff:- |
    convert miff:- -crop "${WIDTH}x${menu_bar}+0+0" +repage -colorspace gray -threshold 50% txt:- |
    awk -F'[,:]' -v width="$WIDTH" '/#000000|gray\(0\)/ { dark[$1] = 1 }
        END {
            end = -1
            for (x = width - 1; x >= 0; --x) if (x in dark) { end = x; break }
            if (end < 0) exit
            start = end
            for (x = end - 1; x >= 0 && x >= start - 10; --x) if (x in dark) start = x
            print int((start + end) / 2)
        }') || true
if [ -z "$exit_x" ]; then
    fail "\"Выход\": the menu bar shows no title"
else
    xdotool mousemove --sync $((X + exit_x)) $((Y + menu_bar / 2)) click 1
    if ! wait_until 10 program_ended; then
        fail "\"Выход\" did not end the program"
    else
        wait "$pid" && status=0 || status=$?
        pid=
        ini=$XDG_CONFIG_HOME/Skarvelund/Skarvelund.ini
        if [ "$status" -eq 0 ] && grep -q '^left1=3000$' "$ini" && grep -q '^top1=3000$' "$ini"; then
            echo "ok   \"Выход\": exit status 0, position saved in $(basename "$ini")"
        else
            fail "\"Выход\": exit status $status; settings: $(cat "$ini" 2>/dev/null)"
        fi
    fi
fi

finish
