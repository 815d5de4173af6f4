#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Pictures of the real program under Xvfb, for the README and for looking at
# the window at other scale factors and under a dark desktop theme:
#
#   scripts/screenshots.sh [BUILD_DIR [OUT_DIR]]     (defaults: build, docs)
#   SHOTS="demo playing" scripts/screenshots.sh      only these pictures
#
#   OUT/hidpi-1x.png, hidpi-1.5x.png, hidpi-2x.png  the main window, QT_SCALE_FACTOR 1, 1.5, 2
#   OUT/dark-theme.png                              the main window, qt6ct's "darker" scheme
#   OUT/fit-1280x800-1.5x.png                       a 1280 x 800 screen at scale 1.5, with a
#                                                   saved position that would hang below it:
#                                                   the window stands wholly on the screen
#   OUT/help-1280x800-2x.png                        "Помощь" on that screen at scale 2: its
#                                                   text scrolls, "Закрыть" in reach
#   OUT/screenshot.png, playing.png, arranger.png,  the main window alone: at rest; Z, S and
#   demo.png, instrument-entry.png                  F1 held; style 1 in G minor; the
#                                                   demonstration; 42 typed as the
#                                                   instrument's number
#
# Each picture is of the whole screen or of the main window: there is no window
# manager, so no frame.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
out=$(mkdir -p "${2:-docs}" && cd "${2:-docs}" && pwd)
bin=$build/bin/varkelon
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do
        kill "$p" 2>/dev/null || true
        wait "$p" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# shot NAME SCREEN SETTINGS_INI [ENV...]: starts the program on a fresh Xvfb
# screen, waits for its window, lets it paint, and takes the screen.
shot() {
    local name=$1 screen=$2 ini=$3
    shift 3
    # SHOTS="NAME ..." takes only those pictures.
    [ -z "${SHOTS:-}" ] || [[ " $SHOTS " == *" $name "* ]] || return 0
    local home=$work/$name
    mkdir -p "$home/.config/Skarvelund"
    printf 'pcm.!default { type null }\n' >"$home/.asoundrc"
    [ -n "$ini" ] && printf '%s\n' "$ini" >"$home/.config/Skarvelund/Skarvelund.ini"
    : >"$home/display"
    Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp 3>"$home/display" 2>/dev/null &
    local xvfb=$!
    pids+=("$xvfb")
    for _ in $(seq 100); do
        grep -q '^[0-9]' "$home/display" && break
        sleep 0.1
    done
    local display=:$(head -n 1 "$home/display")
    env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home" DISPLAY="$display" \
        VARKELON_STARTUP_TRACE=1 "$@" "$bin" 2>"$home/stderr" &
    local app=$!
    pids+=("$app")
    for _ in $(seq 200); do
        grep -q '^startup: window-shown' "$home/stderr" && break
        sleep 0.1
    done
    sleep 1.5 # the first paint, and the SoundFont's load off the event loop
    local window=root
    if [ -n "$action" ]; then
        wid=$(DISPLAY=$display timeout 20 xdotool search --sync --onlyvisible --pid "$app" \
            --name '^ Варкелон$' | head -n 1)
        eval "$(DISPLAY=$display xdotool getwindowgeometry --shell "$wid")"
        # What the window has beyond its client area of 591 x 367 design pixels.
        menu_bar=$((HEIGHT - 367 * WIDTH / 591))
        DISPLAY=$display "$action"
        [ "$take" = root ] || window=$wid
    fi
    DISPLAY=$display import -window "$window" "$out/$name.png"
    [ -z "$action" ] || DISPLAY=$display release_all
    echo "wrote $out/$name.png"
    kill "$app" "$xvfb" 2>/dev/null || true
    wait "$app" "$xvfb" 2>/dev/null || true
}

# What a shot does before it is taken: nothing, or a function of the ones
# below, which play the main window with xdotool (then the picture is of that
# window alone, unless take=root). The functions see the window's $wid, $X,
# $Y and $menu_bar.
action=""
take=window
# The middle of a control of the main window, from its twips.
at_control() { # LEFT TOP WIDTH HEIGHT
    xdotool mousemove --sync $((X + ($1 + $3 / 2) / 15)) $((Y + menu_bar + ($2 + $4 / 2) / 15))
}
release_all() {
    xdotool keyup 52 keyup 39 keyup 67 keyup 56 keyup shift 2>/dev/null || true
}
hold_keys() { # Z (52), S (39) and F1 (67)
    xdotool keydown 52 keydown 39 keydown 67
    sleep 0.5
}
play_style() { # "Аккомпанемент", then Shift+B (56) held: style 1 in G minor
    at_control 6960 1560 1455 375 && xdotool click 1
    xdotool keydown shift keydown 56
    sleep 2.2
}
play_demo() { # "Демо": "Аккомпанемент" and "Синхростарт" greyed while it plays
    at_control 6000 1560 855 375 && xdotool click 1
    sleep 2
}
enter_instrument() { # a double click on the instrument's number, 4 and 2 typed in its box
    at_control 3480 600 255 255 && xdotool click --repeat 2 --delay 80 1 # its tens digit
    sleep 0.3
    at_control 3240 600 735 330 && xdotool click 1 # the entry box
    xdotool type --delay 80 42
    sleep 0.5
}
open_help() { # "Помощь", the third title from the end of the menu bar
    # Found on the screen, as the font places it: runs of dark columns, the
    # titles more than 10 pixels apart, letters and words less.
    local help_x
    help_x=$(import -window "$wid" miff:- |
        convert miff:- -crop "${WIDTH}x${menu_bar}+0+0" +repage -colorspace gray \
            -threshold 50% txt:- |
        awk -F'[,:]' '/#000000|gray\(0\)/ { dark[$1] = 1 }
            END {
                n = 0; last = -100
                for (x = 0; x < 4000; ++x) if (x in dark) {
                    if (x - last > 10) { ++n; start[n] = x }
                    end[n] = x; last = x
                }
                if (n >= 3) print int((start[n - 2] + end[n - 2]) / 2)
            }')
    xdotool mousemove --sync $((X + help_x)) $((Y + menu_bar / 2)) click 1
    sleep 1
}

# The window at Left = Top = 20 pixels, so the pictures show little screen.
at20='[Audio]
left1=300
top1=300'
shot hidpi-1x 640x420 "$at20" env QT_SCALE_FACTOR=1
shot hidpi-1.5x 960x630 "$at20" env QT_SCALE_FACTOR=1.5
shot hidpi-2x 1280x840 "$at20" env QT_SCALE_FACTOR=2

# qt6ct, the Qt settings tool of desktops without their own, reads its
# configuration from the program's XDG_CONFIG_HOME; the fonts are those a
# desktop would have.
mkdir -p "$work/dark-theme/.config/qt6ct"
cat >"$work/dark-theme/.config/qt6ct/qt6ct.conf" <<CONF
[Appearance]
color_scheme_path=/usr/share/qt6ct/colors/darker.conf
custom_palette=true
style=Fusion

[Fonts]
general="DejaVu Sans,9,-1,5,50,0,0,0,0,0"
fixed="DejaVu Sans Mono,9,-1,5,50,0,0,0,0,0"
CONF
shot dark-theme 640x420 "$at20" env QT_QPA_PLATFORMTHEME=qt6ct

# Saved on a larger screen at 200, 500 pixels (scale 1.5): below the
# 1280 x 800 screen the window would lose its drum pads.
shot fit-1280x800-1.5x 1280x800 '[Audio]
left1=3000
top1=7500' env QT_SCALE_FACTOR=1.5

# "Помощь" at scale 2 on a 1280 x 800 screen: 425 x 511 design pixels do
# not fit the 640 x 400 the screen has at that scale, so its text scrolls.
action=open_help take=root
shot help-1280x800-2x 1280x800 "$at20" env QT_SCALE_FACTOR=2
take=window

# The main window alone, played.
for shot_action in none:screenshot hold_keys:playing play_style:arranger play_demo:demo \
    enter_instrument:instrument-entry; do
    action=${shot_action%%:*}
    [ "$action" = none ] && action=:
    shot "${shot_action#*:}" 800x600 "$at20"
done
