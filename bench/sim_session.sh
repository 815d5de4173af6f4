#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A real session's message stream for bench/send_replay.sh, from varkelon-sim:
# start, the rhythm started, accompaniment on with a chord held, then a bar
# of every style while the style arrows step 1 -> 7 and back to 1, so every
# change the arrows can make happens once; then the rhythm stops. After each
# tick the script asks for `tick_in_bar`, whose answer line ends the tick in
# the replay.
#
# Usage: bench/sim_session.sh [BUILD_DIR] > session.txt
#        bench/send_replay.sh build session.txt
set -euo pipefail

build=${1:-build}

bar() {
    for ((t = 0; t < 16; t++)); do
        echo "tick Timer1"
        echo "get tick_in_bar"
    done
}

{
    echo "start"
    echo "click Command2"  # start the rhythm
    echo "click Command7"  # accompaniment mode (switching it while stopped would not start)
    echo "keydown 90"      # a chord key, held
    bar
    for step in 1 1 1 1 1 1 0 0 0 0 0 0; do
        echo "mousedown Command1($step)"
        echo "mouseup Command1($step)"
        bar
    done
    echo "click Command2"  # stop
    echo "keyup 90"
} | "$build/bin/varkelon-sim"
