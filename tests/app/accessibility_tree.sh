#!/bin/sh
# Starts the program on the display given (see with-xvfb.sh) with Qt's accessibility bridge on a
# private session bus with the AT-SPI bus, and walks its tree with accessibility_tree.py.
#   accessibility_tree.sh <program>
# Without python3-pyatspi or at-spi2-core it says so and ends with 77 (skipped).
set -u
program=$1
here=$(dirname "$0")
launcher=/usr/libexec/at-spi-bus-launcher
if ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || [ ! -x "$launcher" ]; then
    echo "accessibility_tree.sh: needs python3-pyatspi and at-spi2-core (scripts/deps.sh)" >&2
    exit 77
fi
scratch=$(mktemp -d) || exit 1
mkdir -p "$scratch/config/morvex" "$scratch/data" "$scratch/runtime"
chmod 700 "$scratch/runtime"
# A store of its own, so that no first-start question covers the window.
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\System]\r\n"Version"=dword:00000078\r\n' \
    >"$scratch/config/morvex/settings.reg"
export XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
    XDG_RUNTIME_DIR="$scratch/runtime" QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
dbus-run-session -- sh -c '
    "$1" --launch-immediately >/dev/null 2>&1 &
    bus=$!
    "$2" 2>/dev/null &
    morvex=$!
    timeout 60 /usr/bin/python3 "$3" "$(basename "$2")"
    status=$?
    kill "$morvex" "$bus" 2>/dev/null
    wait "$morvex" 2>/dev/null
    exit $status' sh "$launcher" "$program" "$here/accessibility_tree.py"
status=$?
rm -rf "$scratch"
exit $status
