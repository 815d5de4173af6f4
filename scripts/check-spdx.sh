#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that every source file (C++, CMake, shell) carries the licence's
# SPDX line at its top (after a shebang); with --fix, adds it where missing.
set -euo pipefail
cd "$(dirname "$0")/.."
readonly tag='SPDX-License-Identifier: GPL-3.0-or-later'
fix=0
[ "${1:-}" = --fix ] && fix=1

files() {
    git ls-files -- '*.cpp' '*.h' '*.hpp' '*.cc' '*.cmake' '*CMakeLists.txt' '*.sh' \
        '*.py' 'run' 'test' '.ci/run' 'scripts/*'
}

missing=0
while IFS= read -r f; do
    [ -f "$f" ] || continue
    case "$f" in
    *.cpp | *.h | *.hpp | *.cc) line="// $tag" ;;
    *) line="# $tag" ;;
    esac
    # Shell scripts without an extension are recognised by their shebang.
    if ! head -n 3 "$f" | grep -q "$tag"; then
        if [ "$fix" = 1 ]; then
            if head -n 1 "$f" | grep -q '^#!'; then
                sed -i "1a $line" "$f"
            else
                sed -i "1i $line" "$f"
            fi
        else
            echo "missing SPDX line: $f" >&2
            missing=1
        fi
    fi
done < <(files | sort -u)
exit "$missing"
