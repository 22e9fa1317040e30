#!/usr/bin/env bash
# A run without a desktop answers on the session bus: "morvex /o" with no display, under a
# session bus of its own, registers its names and ends on SaveAndQuit as on SIGTERM, saving the
# settings. Usage: dbus-check.sh BINDIR (the folder of morvex). Needs dbus-run-session and gdbus.
set -euo pipefail
bin=$(realpath "${1:?usage: dbus-check.sh BINDIR}")
if [ "${MORVEX_IN_SESSION:-}" != 1 ]; then
    command -v dbus-run-session >/dev/null && command -v gdbus >/dev/null || {
        echo "dbus-run-session and gdbus are needed (scripts/deps.sh --tests)" >&2
        exit 1
    }
    exec env MORVEX_IN_SESSION=1 dbus-run-session -- "$0" "$@"
fi

scratch=$(mktemp -d)
pid=
# A program that never answered must not outlive the check.
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null; rm -rf "$scratch"' EXIT
export HOME=$scratch XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
fail() { echo "FAIL: $*" >&2; exit 1; }
owner() { gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null; }

"$bin/morvex" /o >"$scratch/out" 2>"$scratch/err" &
pid=$!
for _ in $(seq 100); do
    [ "$(owner jp.qor.Morvex)" = "(true,)" ] && break
    kill -0 "$pid" 2>/dev/null || fail "morvex /o ended before it answered: $(cat "$scratch/err")"
    sleep 0.1
done
[ "$(owner jp.qor.Morvex)" = "(true,)" ] || fail "jp.qor.Morvex was never registered"
[ "$(owner "jp.qor.Morvex.Instance$pid")" = "(true,)" ] || fail "no name for the instance $pid"
# The call the README gives.
gdbus call --session --dest jp.qor.Morvex --object-path /jp/qor/Morvex --method jp.qor.Morvex.SaveAndQuit >/dev/null ||
    fail "SaveAndQuit was not answered"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "morvex /o ended with $status after SaveAndQuit: $(cat "$scratch/err")"
[ ! -s "$scratch/err" ] || fail "morvex /o said: $(cat "$scratch/err")"
grep -q 'QOR\\Morvex\\File' "$scratch/config/morvex/settings.reg" ||
    fail "SaveAndQuit did not save the settings"
echo "morvex /o without a desktop answered on the session bus and ended on SaveAndQuit"
