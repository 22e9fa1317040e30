#!/usr/bin/env bash
# Passes side by side in one folder: several morvex-convert over the same folder at once, and
# morvex-convert beside a watch (morvex /o without a desktop). Every run must end with 0, every
# file be converted exactly once and every backup hold the file's original text.
#   scripts/side-by-side.sh BINDIR [ROUNDS] [FILES] [PROCESSES]
set -euo pipefail
bindir=$(cd "${1:?usage: side-by-side.sh BINDIR [ROUNDS] [FILES] [PROCESSES]}" && pwd)
rounds=${2:-1}
files=${3:-400}
processes=${4:-4}
scratch=$(mktemp -d)
watch=""
cleanup() {
    [ -z "$watch" ] || kill -TERM "$watch" 2>/dev/null || true
    [ -z "$watch" ] || wait "$watch" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
    echo "side-by-side: $*" >&2
    exit 1
}

original() { printf 'text of %s\r\n)\r\n]subject\r\nend\r\n' "$1"; }

make_folder() { # folder count
    rm -rf "$1" && mkdir -p "$1"
    printf 'FOOTER-LINE\r\n' >"$1/f.mfl"
    printf 'HEADER-LINE \\H\r\n' >"$1/h.mhl"
    for i in $(seq -w 1 "$2"); do original "f$i.up" >"$1/f$i.up"; done
}

# Converted once: one footer and one header where the markers stood, the original in the backup,
# no temporary left.
check_folder() { # folder count what
    local name
    for i in $(seq -w 1 "$2"); do
        name=f$i.up
        cmp -s <(original "$name") "$1/f$i.bak" || fail "$3: f$i.bak is not the original of $name"
        cmp -s <(printf 'text of %s\r\nFOOTER-LINE\r\nHEADER-LINE subject\r\nend\r\n' "$name") \
            "$1/$name" || fail "$3: $name is not converted exactly once: $(od -c "$1/$name" | head -3)"
    done
    ! ls -A "$1" | grep -q '^\.' || fail "$3: a temporary file is left: $(ls -A "$1" | grep '^\.')"
}

parallel_round() { # round
    local dir=$scratch/parallel
    make_folder "$dir" "$files"
    local status=0
    (cd "$dir" && ls -- *.up | xargs -P"$processes" -n1 "$bindir/morvex-convert" --footer-list="$dir/*.mfl" --header-list="$dir/*.mhl" >/dev/null \
        2>"$scratch/errors") || status=$?
    [ "$status" -eq 0 ] || fail "round $1: xargs ended with $status: $(head -3 "$scratch/errors")"
    check_folder "$dir" "$files" "round $1, $processes processes"
}

beside_watch() { # count
    local dir=$scratch/watched
    make_folder "$dir" 0
    mkdir -p "$scratch/config/morvex" "$scratch/runtime"
    chmod 700 "$scratch/runtime"
    cat >"$scratch/config/morvex/settings.reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\File]
"SrcFileCount"=dword:00000001
"SrcFileName"="$dir/*.up"
"FutterFileName"="$dir/*.mfl"
"HeaderFileName"="$dir/*.mhl"

[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\Result]
"ShowResult"=dword:00000000
REG
    env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS -u QT_QPA_PLATFORM \
        HOME="$scratch" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime" \
        "$bindir/morvex" /o >"$scratch/watch.out" 2>"$scratch/watch.err" &
    watch=$!
    sleep 2
    for i in $(seq -w 1 "$1"); do
        original "f$i.up" >"$dir/f$i.up"
        (cd "$dir" && "$bindir/morvex-convert" --footer-list="$dir/*.mfl" --header-list="$dir/*.mhl" "f$i.up" >/dev/null 2>"$scratch/errors") ||
            fail "beside the watch, f$i.up: morvex-convert ended with $?: $(cat "$scratch/errors")"
    done
    sleep 5 # the watch's last looks
    kill -TERM "$watch"
    local status=0
    wait "$watch" || status=$?
    watch=""
    [ "$status" -eq 0 ] || fail "the watch ended with $status: $(head -3 "$scratch/watch.err")"
    [ ! -s "$scratch/watch.err" ] || fail "the watch reported: $(head -3 "$scratch/watch.err")"
    check_folder "$dir" "$1" "beside the watch"
}

for round in $(seq 1 "$rounds"); do
    parallel_round "$round"
done
echo "side-by-side: $rounds rounds of $processes processes over $files files: all converted once"
if [ -x "$bindir/morvex" ]; then
    beside_watch "${WATCH_FILES:-150}"
    echo "side-by-side: ${WATCH_FILES:-150} conversions beside a watch: all converted once"
fi
