#!/usr/bin/env bash
# Installs the Debian package on a fresh Debian 12 (a minimal system made with debootstrap in a
# scratch chroot), starts it there (the converters, "morvex /c" with and without the window
# module, and the main window on a scratch X display), removes it again with its automatically
# installed dependencies and checks that none of its files is left. Needs root and the network;
# takes about five minutes, most of it downloading. Not part of CI, which runs scripts/package.sh.
#   scripts/fresh-debian-check.sh [package]     (default: build-pkg/morvex_*.deb)
set -euo pipefail
cd "$(dirname "$0")/.."
step() { echo "fresh-debian: $*"; }
fail() {
    echo "fresh-debian: FAILED: $*" >&2
    exit 1
}
[ "$(id -u)" -eq 0 ] || fail "needs root (debootstrap, chroot, mount)"
deb=$(realpath "${1:-$(ls build-pkg/morvex_*.deb 2>/dev/null | head -1)}") ||
    fail "no package; build one with MORVEX_PACKAGE_ONLY=1 scripts/package.sh"
[ -f "$deb" ] || fail "no package at $deb"
MORVEX_DEPS_EXTRA="${MORVEX_DEPS_EXTRA:-} debootstrap" scripts/deps.sh
start=$SECONDS

root=$(mktemp -d /tmp/morvex-fresh.XXXXXX)
chmod 755 "$root" # apt downloads as the user _apt, who must reach its folders
xvfb=""
cleanup() {
    local status=$?
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
    for mounted in "$root/tmp/.X11-unix" "$root/proc"; do
        mountpoint -q "$mounted" 2>/dev/null && umount "$mounted"
    done
    # Never across a mount that is still there.
    if ! grep -q " $root/" /proc/mounts; then rm -rf --one-file-system "$root"; fi
    exit "$status"
}
trap cleanup EXIT
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }

step "debootstrap a minimal Debian 12 into $root"
debootstrap --variant=minbase bookworm "$root" "${MORVEX_DEBIAN_MIRROR:-http://deb.debian.org/debian}" \
    >"$root.debootstrap.log" 2>&1 || { tail -20 "$root.debootstrap.log" >&2; fail "debootstrap"; }
rm -f "$root.debootstrap.log"
mount -t proc proc "$root/proc"
cp "$deb" "$root/tmp/morvex.deb"
cp examples/sample.up examples/header.mhl examples/footer.mfl "$root/tmp/"
files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||' | grep -v '^/\?$')
absent=$(while read -r path; do [ -e "$root$path" ] || echo "$path"; done <<<"$files")

step "apt-get install ./morvex.deb ($((SECONDS - start)) s so far)"
in_root apt-get update -q >/dev/null
in_root apt-get install -y -q /tmp/morvex.deb >"$root/tmp/apt.log" 2>&1 ||
    { tail -20 "$root/tmp/apt.log" >&2; fail "apt-get install"; }

step "run the installed programs"
cat >"$root/tmp/run.sh" <<'RUN'
set -euo pipefail
export HOME=/tmp/home XDG_CONFIG_HOME=/tmp/home/.config XDG_RUNTIME_DIR=/tmp/runtime
mkdir -p "$XDG_CONFIG_HOME/morvex" "$XDG_RUNTIME_DIR" /tmp/work
chmod 700 "$XDG_RUNTIME_DIR"
morvex --version
fresh() { cp /tmp/sample.up /tmp/header.mhl /tmp/footer.mfl /tmp/work/; rm -f /tmp/work/sample.bak; }
converted() { cmp -s /tmp/work/sample.bak /tmp/sample.up && ! cmp -s /tmp/work/sample.up /tmp/sample.up; }
fresh; (cd /tmp/work && morvex-convert sample.up); converted
printf '%s\n' 'Windows Registry Editor Version 5.00' '' \
    '[HKEY_CURRENT_USER\Software\QOR\Morvex\File]' '"SrcFileCount"=dword:00000001' \
    '"SrcFileName"="/tmp/work/sample.up"' '"FutterFileName"="/tmp/work/*.mfl"' \
    '"HeaderFileName"="/tmp/work/*.mhl"' '' '[HKEY_CURRENT_USER\Software\QOR\Morvex\Result]' \
    '"ShowResult"=dword:00000001' '"GoByClose"=dword:00000001' '"WaitTime"=dword:00000000' \
    >"$XDG_CONFIG_HOME/morvex/settings.reg"
fresh; morvex /c; converted
fresh; QT_QPA_PLATFORM=offscreen morvex /c; converted
if [ -n "${WINDOW_DISPLAY:-}" ]; then
    DISPLAY=$WINDOW_DISPLAY morvex 2>/tmp/window.err &
    program=$!
    sleep 5
    kill -TERM "$program"
    wait "$program" || { cat /tmp/window.err >&2; exit 1; }
fi
RUN
display=""
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
    exec 3>"$root/tmp/display"
    Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb=$!
    exec 3>&-
    for _ in $(seq 100); do [ -s "$root/tmp/display" ] && break; sleep 0.1; done
    display=":$(cat "$root/tmp/display")"
    mkdir -p "$root/tmp/.X11-unix"
    mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
fi
in_root WINDOW_DISPLAY="$display" bash /tmp/run.sh &
runner=$!
window=""
if [ -n "$display" ]; then
    for _ in $(seq 20); do
        window=$(DISPLAY=$display xdotool search --name '^Morvex$' 2>/dev/null | head -1) || true
        [ -n "$window" ] && break
        sleep 0.5
    done
fi
wait "$runner" || fail "the installed programs failed"
[ -z "$display" ] || [ -n "$window" ] || fail "no main window appeared on $display"
[ -z "$display" ] || echo "  the main window opened on a scratch X display and ended on SIGTERM"

step "apt-get purge morvex, then autoremove"
in_root apt-get purge -y -q morvex >>"$root/tmp/apt.log" 2>&1 || fail "apt-get purge"
in_root apt-get autoremove --purge -y -q >>"$root/tmp/apt.log" 2>&1 || fail "apt-get autoremove"
left=()
while read -r path; do
    [ -d "$root$path" ] && ! grep -qx "$path" <<<"$absent" && continue # a folder others own
    [ -e "$root$path" ] || [ -L "$root$path" ] && left+=("$path")
done <<<"$files"
[ ${#left[@]} -eq 0 ] || fail "left behind: ${left[*]}"
step "installed, ran and removed on a fresh Debian 12, nothing left: $((SECONDS - start)) s"
