#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The installed program on its own: `cmake --install` into a scratch prefix,
# the prefix moved elsewhere (so nothing can lean on the path it was built
# for), and the program started there, headless, from a folder outside the
# build tree and with no XDG data folder that could hold a style file. It
# must find its data file in the prefix and show its window.
#
#   scripts/check-install.sh [BUILD_DIR]      (default: build)
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
cleanup() {
    rm -rf "$work"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$work/first/usr" >"$work/install.log"
mv "$work/first" "$work/moved"
root=$work/moved/usr

failures=0
for f in bin/varkelon share/varkelon/brelmonddat1.dat share/applications/varkelon.desktop \
    share/icons/hicolor/32x32/apps/varkelon.png share/icons/hicolor/256x256/apps/varkelon.png \
    share/man/man1/varkelon.1.gz share/man/ru/man1/varkelon.1.gz \
    share/metainfo/org.varkelon.varkelon.metainfo.xml share/doc/varkelon/copyright \
    share/doc/varkelon/changelog.gz; do
    if [ ! -s "$root/$f" ]; then
        echo "FAIL not installed: $f"
        failures=$((failures + 1))
    fi
done
if [ -e "$root/bin/brelmonddat1.dat" ]; then
    echo "FAIL the data file is beside the binary: the installed search is not exercised"
    failures=$((failures + 1))
fi

# shellcheck source=headless-start.sh
. "$(dirname "$0")/headless-start.sh"
start_headless "$root/bin/varkelon" "$work" || failures=$((failures + 1))

[ "$failures" -eq 0 ]
