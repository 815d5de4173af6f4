#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fuzzes one target for a while: run-fuzz.sh BUILD_DIR/bin/fuzz-NAME SECONDS WORK_DIR
# New inputs go to WORK_DIR/corpus, beside the checked-in seeds of
# fuzz/corpus/NAME (left as they are); a crash, leak or hang leaves its input
# in WORK_DIR/crashes and fails the run.
set -euo pipefail
fuzzer=$1 seconds=$2 work=$3
name=$(basename "$fuzzer")
name=${name#fuzz-}
seeds="$(cd "$(dirname "$0")" && pwd)/corpus/$name"
mkdir -p "$work/corpus" "$work/crashes"
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
    -print_final_stats=1 -artifact_prefix="$work/crashes/" "$work/corpus" "$seeds"
