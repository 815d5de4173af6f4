#!/usr/bin/env bash
# Pictures of the real program under Xvfb, for the README and for looking at
# the window at other scale factors and under a dark desktop theme:
#
#   scripts/screenshots.sh [BUILD_DIR [OUT_DIR]]     (defaults: build, docs)
#
#   OUT/hidpi-1x.png, hidpi-1.5x.png, hidpi-2x.png  the main window, QT_SCALE_FACTOR 1, 1.5, 2
#   OUT/dark-theme.png                              the main window, qt6ct's "darker" scheme
#   OUT/fit-1280x800-1.5x.png                       a 1280 x 800 screen at scale 1.5, with a
#                                                   saved position that would hang below it:
#                                                   the window stands wholly on the screen
#
# Each picture is of the whole screen: there is no window manager, so no frame.
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
    DISPLAY=$display import -window root "$out/$name.png"
    echo "wrote $out/$name.png"
    kill "$app" "$xvfb" 2>/dev/null || true
    wait "$app" "$xvfb" 2>/dev/null || true
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
