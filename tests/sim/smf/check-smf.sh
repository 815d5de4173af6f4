#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# varkelon-sim --smf writes what was sent as a Standard MIDI File, one tick
# per millisecond of the virtual clock; compares its bytes with the expected dump.
set -euo pipefail
sim=$1 data=$2 dir=$3 work=$4
mkdir -p "$work"
"$sim" --data "$data" --smf "$work/play.mid" <"$dir/play.script" >/dev/null
od -An -tx1 -v "$work/play.mid" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//' >"$work/play.hex"
diff -u "$dir/play.hex" "$work/play.hex"
