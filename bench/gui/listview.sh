#!/usr/bin/env bash
# Builds the list viewer benchmark (Release) and prints, for 10,000 and 1,000,000 lines, the time
# from the footer button's click to the first rows drawn and the memory the rows take (targets:
# 1,000,000 lines within 1000 ms; memory under 2 times the merged text). Medians of --runs N runs
# (default 3), each run in a process of its own. Drawn offscreen unless --x11 is given (then on
# an Xvfb server of its own). MORVEX_BENCH_GUI_BUILD names the build folder.
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=3
x11=false
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) runs=$2; shift 2 ;;
    --x11) x11=true; shift ;;
    *) echo "usage: $0 [--runs N] [--x11]" >&2; exit 2 ;;
    esac
done
build=${MORVEX_BENCH_GUI_BUILD:-build-bench-gui}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVEX_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target morvex-bench-listview >/dev/null
bench=$(realpath "$build/bin/morvex-bench-listview")

scratch=$(mktemp -d)
xvfb_pid=""
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
if $x11; then
    exec 3>"$scratch/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -s "$scratch/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(cat "$scratch/display")" QT_QPA_PLATFORM=xcb
else
    export QT_QPA_PLATFORM=offscreen
fi
unset WAYLAND_DISPLAY

# The run whose click-to-rows time is the median of the runs.
median_run() { sort -t' ' -k2,2n | awk '{ v[NR] = $0 } END { print v[int((NR + 1) / 2)] }'; }
for lines in 10000 1000000; do
    for _ in $(seq "$runs"); do
        out=$("$bench" --lines "$lines" 2>/dev/null)
        ms=$(sed -E 's/.*first rows +([0-9]+) ms.*/\1/' <<<"$out")
        echo "x $ms $out"
    done | median_run | cut -d' ' -f3-
done
