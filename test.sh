#!/usr/bin/env bash
# Installs what building and testing need and this Debian 12 lacks, builds everything, and runs
# every test (arguments go to ctest, e.g. -R packaging).
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh --tests
cmake --preset dev >/dev/null
cmake --build --preset dev
ctest --preset dev -j2 --no-tests=error "$@"
