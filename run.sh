#!/usr/bin/env bash
# Installs what is missing, builds, and runs Morvex: the main window when a desktop is reachable,
# otherwise the bundled demo (a scratch copy of the example converted by morvex-convert).
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/bin/morvex ] && [ "${1:-}" != "--demo" ]; then
    exec build/bin/morvex "$@"
fi
exec scripts/demo.sh
