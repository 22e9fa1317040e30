#!/usr/bin/env bash
# Builds the program (Release) and prints, side by side:
#  - the time from process start to the first window on the screen, Morvex against the smallest
#    Qt Widgets program that shows one window (target: at most 1.5 times);
#  - the whole-process time of "morvex /c" without a desktop over 20 small upload files, against
#    morvex-convert doing the same conversion (target: at most 2 times).
# Medians of --runs N runs (default 11). Needs xvfb. MORVEX_BENCH_GUI_BUILD names the build folder.
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=11
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) runs=$2; shift 2 ;;
    *) echo "usage: $0 [--runs N]" >&2; exit 2 ;;
    esac
done
build=${MORVEX_BENCH_GUI_BUILD:-build-bench-gui}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVEX_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target morvex morvex-convert morvex-bench-minimal \
    morvex-bench-mapwatch >/dev/null
bin=$(realpath "$build/bin")

scratch=$(mktemp -d)
xvfb_pid=""
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
elapsed_ms() { # command...: runs it, prints its wall time
    local start=$EPOCHREALTIME
    "$@" >/dev/null
    awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f\n", (b - a) * 1000 }'
}

# --- Start-up to the first window -------------------------------------------------------------
exec 3>"$scratch/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$scratch/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$scratch/display")" QT_QPA_PLATFORM=xcb
mkdir -m 700 "$scratch/runtime"
export XDG_RUNTIME_DIR="$scratch/runtime"
unset WAYLAND_DISPLAY
mkdir -p "$scratch/config"
for _ in $(seq "$runs"); do
    "$bin/morvex-bench-mapwatch" "$bin/morvex-bench-minimal" >>"$scratch/minimal"
    rm -rf "$scratch/config/morvex" # a first run each time: no stored settings to read
    XDG_CONFIG_HOME="$scratch/config" "$bin/morvex-bench-mapwatch" "$bin/morvex" >>"$scratch/morvex"
done
minimal=$(median <"$scratch/minimal")
morvex=$(median <"$scratch/morvex")
kill "$xvfb_pid"
xvfb_pid=""

# --- One conversion of 20 upload files without a desktop --------------------------------------
work="$scratch/work"
mkdir -p "$work/originals" "$scratch/config/morvex"
printf '; footers\r\n-- \\N%s\r\n' "Taro" "Hanako" "Jiro" >"$work/f.mfl"
printf '; headers\r\nRe: \\H\r\n[\\I] \\H\r\n' >"$work/h.mhl"
for n in $(seq -w 1 20); do
    printf ']Subject %s\r\nline one\r\nline two\r\n)\r\n]Another\r\ntext\r\n)\r\n' "$n" \
        >"$work/originals/m$n.up"
done
cat >"$scratch/config/morvex/settings.reg" <<EOF
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\File]
"SrcFileCount"=dword:00000001
"SrcFileName"="$work/*.up"
"FutterFileName"="$work/f.mfl"
"HeaderFileName"="$work/h.mhl"
EOF
restore() { rm -f "$work"/*.up "$work"/*.bak; cp "$work"/originals/*.up "$work/"; }
headless() { env -u DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$scratch/config" "$@"; }
for _ in $(seq "$runs"); do
    restore
    elapsed_ms headless "$bin/morvex" /c >>"$scratch/once"
    [ "$(ls "$work"/*.bak | wc -l)" -eq 20 ] || { echo "morvex /c did not convert" >&2; exit 1; }
    restore
    elapsed_ms "$bin/morvex-convert" --footer-list "$work/f.mfl" --header-list "$work/h.mhl" \
        "$work/*.up" >>"$scratch/convert"
done
once=$(median <"$scratch/once")
convert=$(median <"$scratch/convert")

printf '%-44s %12s %12s %8s %8s\n' "Median of $runs runs (ms)" "Morvex" "reference" "ratio" "target"
printf '%-44s %12s %12s %8s %8s\n' "start to first window (vs minimal Qt)" "$morvex" "$minimal" \
    "$(ratio "$morvex" "$minimal")" "<= 1.5"
printf '%-44s %12s %12s %8s %8s\n' "/c over 20 files, whole process (vs convert)" "$once" \
    "$convert" "$(ratio "$once" "$convert")" "<= 2"
