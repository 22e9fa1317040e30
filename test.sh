#!/usr/bin/env bash
# Installs what building and testing need and this Debian 12 lacks, builds everything, and runs
# every test (arguments go to ctest, e.g. -R packaging). MORVEX_PRESET names the preset to build
# and test with (default dev; CI uses ci).
set -euo pipefail
cd "$(dirname "$0")"
preset=${MORVEX_PRESET:-dev}
scripts/deps.sh --tests
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j2 --no-tests=error "$@"
