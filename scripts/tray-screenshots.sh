#!/usr/bin/env bash
# Photographs the notification-area icons under Xvfb with an XEmbed tray (trayer) and openbox:
# both icons, each tooltip, the icon menu opened by a right click and by the D-Bus request,
# into <build>/screenshots/tray-*.png (the tray corner also enlarged four times).
#   scripts/tray-screenshots.sh [build-dir]     (default: build)
# The icons are shown by the test stand-in for the modes (tests/app/tray_probe).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
probe="$build/tests/app/tray_probe"
out="$build/screenshots"
[ -x "$probe" ] || { echo "no $probe; build the target tray_probe first" >&2; exit 1; }
for tool in Xvfb trayer openbox dbus-run-session gdbus xdotool import convert; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (see scripts/deps.sh)" >&2; exit 1; }
done
mkdir -p "$out"
rm -f "$out"/tray-*.png

if [ -z "${MORVEX_TRAY_SESSION:-}" ]; then
    # Everything below runs on a private session bus.
    exec env MORVEX_TRAY_SESSION=1 dbus-run-session -- "$0" "$@"
fi

scratch=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

exec 3>"$scratch/display"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$scratch/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$scratch/display")"
openbox >/dev/null 2>&1 &
pids+=($!)
trayer --edge bottom --align right --widthtype request --height 32 --iconspacing 4 \
    --transparent false --tint 0xd4d0c8 >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do xdotool search --name '^panel$' >/dev/null 2>&1 && break; sleep 0.1; done
export QT_SCALE_FACTOR=1 QT_QPA_PLATFORM=xcb
mkdir -m 700 "$scratch/runtime" "$scratch/config"
export XDG_RUNTIME_DIR="$scratch/runtime" XDG_CONFIG_HOME="$scratch/config"

"$probe" both >"$scratch/probe.out" 2>/dev/null &
probe_pid=$!
pids+=($probe_pid)
wait_line() { # pattern
    for _ in $(seq 100); do grep -q "$1" "$scratch/probe.out" && return 0; sleep 0.05; done
    echo "the probe never said \"$1\"" >&2
    exit 1
}
centre() { # icon name -> "x y"
    grep "^$1 geometry" "$scratch/probe.out" | awk '{ print $3 + int($5 / 2), $4 + int($6 / 2) }'
}
shot() { # name
    import -window root "$out/tray-$1.png"
    convert "$out/tray-$1.png" -crop 320x160+320+320 +repage -scale 200% "$out/tray-$1-corner.png"
}
wait_line "AppRunTask geometry"
wait_line "ObserveTask geometry"
xdotool mousemove 100 100
sleep 0.3
shot icons
convert "$out/tray-icons.png" -crop 80x40+560+440 +repage -scale 400% "$out/tray-icons@4x.png"

for icon in ObserveTask AppRunTask; do
    read -r x y < <(centre "$icon")
    xdotool mousemove "$x" "$y"
    sleep 1.5
    shot "tooltip-$icon"
    xdotool mousemove 100 100
    sleep 0.5
done

read -r x y < <(centre ObserveTask)
xdotool mousemove "$x" "$y" click 3
wait_line "menu shown"
sleep 0.3
shot menu-right-click
xdotool key Escape
sleep 0.3

xdotool mousemove 400 300
gdbus call --session --dest "jp.qor.Morvex.Instance$probe_pid" --object-path /jp/qor/Morvex \
    --method jp.qor.Morvex.PopupObserveMenu >/dev/null
sleep 0.5
import -window root "$out/tray-menu-dbus.png"
echo "screenshots in $out/tray-*.png"
