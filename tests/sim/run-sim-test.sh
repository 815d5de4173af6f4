#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one varkelon-sim script and compares its output with the expected
# output beside it (NAME.sim -> NAME.out).
#
#   run-sim-test.sh SIM DATA SCRIPT WORK [CASE]
#
# Directives in the script's leading comments:
#   # args: OPTIONS...        options for varkelon-sim; placeholders below
#   # settings: KEY=VALUE     a line of the [Audio] section of @SETTINGS@
#   # status: N               the expected exit status (default 0)
#   # styles: NAME            compile styles/NAME/ with $STYLEC into @STYLES@
#   # cases: NAME...          run once per NAME (CMake registers each); @CASE@
#                             in args stands for the placeholder @NAME@
# Placeholders: @DATA@ the shipped style file, @SHORT@ / @LONG@ the same one
# byte shorter / longer, @CHANGED@ with one byte changed by one, @MISSING@ a
# path where no file is, @SETTINGS@ a settings file fresh for this run,
# @STYLES@ the style file compiled from the sources the script names.
set -euo pipefail
sim=$1 data=$2 script=$3 work=$4 case=${5:-}
expected=${script%.sim}.out

rm -rf "$work" && mkdir -p "$work"

args=$(sed -n 's/^# args: //p' "$script" | head -n1)
if [ -n "$case" ]; then
    args=${args//@CASE@/@$case@}
elif [[ $args == *@CASE@* ]]; then
    echo "$script: its args use @CASE@; name the case" >&2
    exit 1
fi
# Only the damaged files this run names are made.
if [[ $args == *@SHORT@* ]]; then
    head -c -1 "$data" >"$work/short.dat"
fi
if [[ $args == *@LONG@* ]]; then
    { cat "$data"; printf '\x00'; } >"$work/long.dat"
fi
if [[ $args == *@CHANGED@* ]]; then
    cp "$data" "$work/changed.dat"
    # Byte 100 lies in the table-free middle of the file; +1 (mod 256) changes the sum.
    old=$(od -An -tu1 -j100 -N1 "$data" | tr -d ' ')
    printf "\\$(printf '%03o' $(((old + 1) % 256)))" |
        dd of="$work/changed.dat" bs=1 seek=100 conv=notrunc status=none
fi
styles=$(sed -n 's/^# styles: //p' "$script" | head -n1)
if [ -n "$styles" ]; then
    "${STYLEC:?set STYLEC to the style compiler}" "$(dirname "$script")/styles/$styles" \
        -o "$work/styles.dat" >/dev/null
fi
args=${args//@STYLES@/$work/styles.dat}
args=${args//@DATA@/$data}
args=${args//@SHORT@/$work/short.dat}
args=${args//@LONG@/$work/long.dat}
args=${args//@CHANGED@/$work/changed.dat}
args=${args//@MISSING@/$work/missing/brelmonddat1.dat}
args=${args//@SETTINGS@/$work/settings.ini}
if grep -q '^# settings: ' "$script"; then
    { echo "[Audio]"; sed -n 's/^# settings: //p' "$script"; } >"$work/settings.ini"
fi
want_status=$(sed -n 's/^# status: //p' "$script" | head -n1)
want_status=${want_status:-0}

eval "set -- $args"
status=0
"$sim" "$@" <"$script" >"$work/actual.out" 2>"$work/stderr" || status=$?
if [ "$status" != "$want_status" ]; then
    echo "exit status $status, expected $want_status" >&2
    cat "$work/stderr" >&2
    exit 1
fi
diff -u "$expected" "$work/actual.out"
