#!/usr/bin/env bash
# Builds morvex-convert and the benchmark (Release, engine only) and prints the figures.
# Options go to the benchmark: --size MB (default 200), --runs N (default 5), --keep.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
build=${MORVEX_BENCH_BUILD:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVEX_GUI=OFF -DMORVEX_TESTS=OFF \
    >/dev/null
cmake --build "$build" -j2 --target morvex-convert morvex-bench
exec "$build/bin/morvex-bench" --convert "$build/bin/morvex-convert" --dir "$build/bench-work" "$@"
