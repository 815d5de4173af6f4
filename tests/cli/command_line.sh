#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The program's command line, as a shell or a packager's script meets it:
# --version and --help answer on standard output and exit 0, a wrong option
# is named on standard error with the usage and exits 2 -- all with no
# display and no Qt platform to fall back on, so an answer that needed the
# window would fail here.
#
#   tests/cli/command_line.sh PROGRAM VERSION
set -uo pipefail

program=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}

# run ARGS...: the program without any display; sets $rc, $work/out, $work/err.
run() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$work" \
        timeout 10 "$program" "$@" >"$work/out" 2>"$work/err"
    rc=$?
}

run --version
[ "$rc" -eq 0 ] || fail "--version exited $rc: $(cat "$work/err")"
[ "$(head -n 1 "$work/out")" = "varkelon $version" ] || fail "--version said: $(cat "$work/out")"
grep -q 'GPL-3.0-or-later' "$work/out" || fail "--version names no licence"

for opt in --help -h; do
    run "$opt"
    [ "$rc" -eq 0 ] || fail "$opt exited $rc"
    grep -q '^Использование: varkelon' "$work/out" || fail "$opt: no Russian usage"
    grep -q '^Usage: varkelon' "$work/out" || fail "$opt: no English usage"
    grep -q -- '--version' "$work/out" || fail "$opt does not name --version"
    [ ! -s "$work/err" ] || fail "$opt wrote to standard error: $(cat "$work/err")"
done

# Wrong: an unknown option, a stray argument, a Qt option without its value.
for args in "--bogus" "-x" "song.mid" "-platform"; do
    # shellcheck disable=SC2086
    run $args
    [ "$rc" -eq 2 ] || fail "'$args' exited $rc, not 2"
    grep -qF -- "$args" "$work/err" || fail "'$args': the error does not name it: $(cat "$work/err")"
    grep -q '^Usage: varkelon' "$work/err" || fail "'$args': no usage on standard error"
    [ ! -s "$work/out" ] || fail "'$args' wrote to standard output"
done

# A Qt option before --version is Qt's, and --version still answers.
run -platform offscreen --version
[ "$rc" -eq 0 ] && grep -q "^varkelon $version" "$work/out" || fail "-platform offscreen --version"

[ "$failures" -eq 0 ] && echo "ok   --version, --help, wrong options"
[ "$failures" -eq 0 ]
