#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The soak's scripts are its reproductions: a seed's script run through
# varkelon-sim must send exactly what the soak saw the core send.
#   soak-replay.sh CORE_TESTS VARKELON_SIM WORK_DIR SEED
set -euo pipefail
tests=$1 sim=$2 work=$3 seed=$4
rm -rf "$work" && mkdir -p "$work"
VARKELON_SOAK_DUMP=$work "$tests" --gtest_filter="Seeds/Soak.*/seed$seed" >/dev/null
"$sim" --devices "A;B;C" <"$work/soak_seed_$seed.sim" | grep -E '^(midi|port) ' >"$work/sim.port"
cmp "$work/sim.port" "$work/soak_seed_$seed.port"
echo "seed $seed: $(wc -l <"$work/sim.port") port events alike"
