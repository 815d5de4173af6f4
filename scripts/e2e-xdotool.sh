#!/usr/bin/env bash
# End-to-end check of the real program: it runs under Xvfb with a log of
# every MIDI message it sends (VARKELON_MIDI_LOG), xdotool plays physical keys
# by their X11 keycodes on US, Russian and German layouts, holds a key for
# auto-repeat, clicks a key with the right mouse button and chooses "Выход".
# Each step's messages are compared with what the key map says they must be.
#
#   scripts/e2e-xdotool.sh [BUILD_DIR]      (default: build)
set -euo pipefail

build=${1:-build}
if [ -z "${VARKELON_E2E_UNDER_XVFB:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" env VARKELON_E2E_UNDER_XVFB=1 "$0" "$@"
fi

bin=$(cd "$build/bin" && pwd)/varkelon
work=$(mktemp -d)
pid=
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid"
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# A home of its own: fresh settings, and the built-in synth plays into ALSA's
# null device, so the port opens on a machine without sound hardware.
export HOME=$work XDG_CONFIG_HOME=$work/.config XDG_RUNTIME_DIR=$work
printf 'pcm.!default { type null }\n' >"$work/.asoundrc"
export VARKELON_MIDI_LOG=$work/midi.log
log=$VARKELON_MIDI_LOG

failures=0
step_start=0
begin_step() {
    step_start=$(wc -l <"$log")
}
# The messages logged since begin_step, one a line.
step_messages() {
    tail -n +"$((step_start + 1))" "$log"
}
expect_messages() {
    local name=$1 expected=$2 got
    sleep 0.3
    got=$(step_messages | tr '\n' ' ' | sed 's/ $//')
    if [ "$got" == "$expected" ]; then
        echo "ok   $name: $got"
    else
        echo "FAIL $name"
        echo "     expected: $expected"
        echo "     got:      $got"
        failures=$((failures + 1))
    fi
}

# A press and release of key k at octave 4 with the default levels: solo
# note-on (channel 16, velocity 78), then the release's bass note-off
# (channel 14), all-notes-off on channel 15 and the solo note-off.
key_messages() {
    local k=$1
    printf '%08X %08X %08X %08X' $(((78 << 16) | ((48 + k) << 8) | 0x9F)) \
        $((((36 + k) << 8) | 0x8D)) $(((123 << 8) | 0xBE)) $((((48 + k) << 8) | 0x8F))
}

setxkbmap us
: >"$log"
"$bin" 2>"$work/stderr" &
pid=$!
wid=$(xdotool search --sync --onlyvisible --pid "$pid" --name 'Варкелон' | head -n 1)
# No window manager here: give the window the keyboard ourselves.
xdotool windowfocus --sync "$wid"
sleep 0.5
echo "window $wid: $(xdotool getwindowgeometry "$wid" | tr '\n' ' ')"

# The physical keys Z, Q, 2 and comma: keys 0, 17, 18 and 12.
play_keys() {
    local layout=$1
    setxkbmap "$layout"
    sleep 0.3
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

# A held key: the server repeats its press; only the one real release lets go.
begin_step
xdotool keydown 52
sleep 1.5
xdotool keyup 52
sleep 0.3
ons=$(step_messages | grep -c '^004E309F$' || true)
offs=$(step_messages | grep -c '^0000308F$' || true)
if [ "$ons" -ge 3 ] && [ "$offs" -eq 1 ]; then
    echo "ok   held Z: $ons note-ons, $offs note-off"
else
    echo "FAIL held Z: $ons note-ons, $offs note-offs (want >= 3 and exactly 1)"
    failures=$((failures + 1))
fi

# The right mouse button on key(7): left 1920, top 2520 twips in the client
# area, which lies below the menu bar.
eval "$(xdotool getwindowgeometry --shell "$wid")"
menu_bar=$((HEIGHT - 367))
begin_step
xdotool mousemove --sync $((X + 1920 / 15 + 12)) $((Y + menu_bar + 2520 / 15 + 110)) click 3
expect_messages "right button on key(7)" "$(key_messages 7)"

# "Выход", the last title of the menu bar: the program ends and saves its
# position.
xdotool mousemove --sync $((X + 440)) $((Y + menu_bar / 2)) click 1
for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
    echo "FAIL \"Выход\" did not end the program"
    failures=$((failures + 1))
else
    wait "$pid" && status=0 || status=$?
    pid=
    ini=$XDG_CONFIG_HOME/Skarvelund/Skarvelund.ini
    if [ "$status" -eq 0 ] && grep -q '^left1=3000$' "$ini" && grep -q '^top1=3000$' "$ini"; then
        echo "ok   \"Выход\": exit status 0, position saved in $(basename "$ini")"
    else
        echo "FAIL \"Выход\": exit status $status; settings: $(cat "$ini" 2>/dev/null)"
        failures=$((failures + 1))
    fi
fi

if [ "$failures" -ne 0 ]; then
    echo "e2e: $failures step(s) failed; the program said:"
    cat "$work/stderr"
    exit 1
fi
echo "e2e: all steps passed"
