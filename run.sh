#!/usr/bin/env bash
# Installs what building and running Morvex need and this Debian 12 lacks, builds the programs
# and the window module (not the tests: ./test.sh), and runs Morvex: the main window when a
# desktop is reachable, otherwise the bundled demo (a scratch copy of the example converted by
# morvex-convert).
#   ./run.sh            the main window, or the demo without a desktop
#   ./run.sh --demo     the demo
#   ./run.sh ARGS...    morvex with these arguments (e.g. /c: convert once, also without a desktop)
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target morvex morvex-convert
if [ "${1:-}" = "--demo" ]; then
    exec scripts/demo.sh
fi
if [ $# -gt 0 ]; then
    exec build/bin/morvex "$@"
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    status=0
    build/bin/morvex || status=$?
    # 2: the display named in the environment did not answer.
    [ "$status" -ne 2 ] && exit "$status"
    echo "No desktop answered; running the demo instead." >&2
fi
exec scripts/demo.sh
