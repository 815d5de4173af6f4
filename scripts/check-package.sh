#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `cpack -G DEB` into a scratch folder, its metadata as
# `dpkg -I` shows it, its files unpacked with `dpkg -x` into a scratch root,
# the menu entry through desktop-file-validate, the AppStream metadata through
# appstreamcli, the manual pages through man, the whole package through
# lintian, and the unpacked program started headless from that root.
#
#   scripts/check-package.sh [BUILD_DIR]      (default: build)
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    exit 1
fi
deb=$(ls "$work"/out/varkelon_*_*.deb)
echo "ok   built $(basename "$deb")"

# --- metadata
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = varkelon ] || fail "Package: $(field Package)"
[ "$(field Section)" = sound ] || fail "Section: $(field Section)"
[ "$(field Priority)" = optional ] || fail "Priority: $(field Priority)"
grep -Eq '^[^<>]+ <[^@<> ]+@[^@<> ]+>$' <<<"$(field Maintainer)" ||
    fail "Maintainer is no name and address: $(field Maintainer)"
description=$(field Description)
[ "$(wc -l <<<"$description")" -ge 3 ] || fail "Description has no long text"
grep -q 'arranger keyboard' <<<"$(head -n 1 <<<"$description")" || fail "Description summary"
depends=$(field Depends)
for dep in libqt6widgets6 librtmidi6 libfluidsynth3 qt6-qpa-plugins \
    'fluid-soundfont-gm | timgm6mb-soundfont'; do
    grep -qF "$dep" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
# Nothing a Debian 12 system cannot give: every dependency is a package of
# this system's archive (the one the program is built on).
for pkg in $(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/ //g' | sort -u); do
    apt-cache show "$pkg" >/dev/null 2>&1 || fail "Depends on $pkg, which the archive lacks"
done
echo "ok   metadata: $(field Package) $(field Version) $(field Architecture), section $(field Section)"

# --- contents
root=$work/root
dpkg -x "$deb" "$root"
metainfo=usr/share/metainfo/org.varkelon.varkelon.metainfo.xml
for f in usr/bin/varkelon usr/share/varkelon/brelmonddat1.dat \
    usr/share/applications/varkelon.desktop usr/share/man/man1/varkelon.1.gz \
    usr/share/man/ru/man1/varkelon.1.gz "$metainfo" \
    usr/share/doc/varkelon/copyright usr/share/doc/varkelon/changelog.gz; do
    [ -s "$root/$f" ] || fail "not in the package: $f"
done
for size in 16 22 24 32 48 64 128 256; do
    icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/varkelon.png
    if [ ! -s "$icon" ]; then
        fail "no ${size}x${size} icon"
    elif ! file "$icon" | grep -q "PNG image data, $size x $size"; then
        fail "the ${size}x${size} icon is $(file -b "$icon")"
    fi
done
[ -x "$root/usr/bin/varkelon" ] || fail "the program is not executable"
if file "$root/usr/bin/varkelon" | grep -q 'not stripped'; then
    fail "the program is not stripped"
fi
if dpkg-deb -c "$deb" | awk '{print $2}' | grep -qv '^root/root$'; then
    fail "files not owned by root"
fi
echo "ok   contents: program, data file, menu entry, metainfo, icons, manual pages, copyright, changelog"

# The history's newest entry and the software centres' newest release are this version.
version=$(field Version)
head -n 1 <(zcat "$root/usr/share/doc/varkelon/changelog.gz") | grep -q "^varkelon ($version) " ||
    fail "changelog.gz does not begin with version $version"
grep -q "<release version=\"$version\"" "$root/$metainfo" ||
    fail "the metainfo has no release $version"

# --- the menu entry, the AppStream metadata and the manual pages
# A hint (such as two main categories) is a fault here too.
if desktop-file-validate "$root/usr/share/applications/varkelon.desktop" >"$work/dfv.log" &&
    [ ! -s "$work/dfv.log" ]; then
    echo "ok   desktop-file-validate"
else
    cat "$work/dfv.log"
    fail "desktop-file-validate"
fi
if appstreamcli validate --no-net --pedantic "$root/$metainfo" >"$work/as.log" 2>&1; then
    echo "ok   appstreamcli validate"
else
    cat "$work/as.log"
    fail "appstreamcli validate"
fi
grep -q '^Name\[ru\]=Варкелон$' "$root/usr/share/applications/varkelon.desktop" ||
    fail "no Russian name in the menu entry"
man_text=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/varkelon.1.gz" 2>"$work/man.log" | col -b)
grep -Eq 'varkelon[[:space:]]+- +arranger keyboard' <<<"$man_text" || fail "the manual page does not render"
ru_text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/ru/man1/varkelon.1.gz" 2>>"$work/man.log" | col -b)
grep -Eq 'varkelon[[:space:]]+- +синтезатор' <<<"$ru_text" || fail "the Russian manual page does not render"
if [ -s "$work/man.log" ]; then
    cat "$work/man.log"
    fail "man warned"
fi

# --- what a distribution's checker says: no error, no warning
if ! command -v lintian >/dev/null; then
    fail "no lintian (scripts/install-deps installs it)"
else
    lintian --no-tag-display-limit "$deb" >"$work/lintian.log" 2>&1 || true
    if grep -E '^[EW]: ' "$work/lintian.log"; then
        fail "lintian"
    else
        echo "ok   lintian: no error, no warning"
    fi
fi

# --- the unpacked program runs from its scratch root
# shellcheck source=headless-start.sh
. "$(dirname "$0")/headless-start.sh"
start_headless "$root/usr/bin/varkelon" "$work" || failures=$((failures + 1))

[ "$failures" -eq 0 ]
