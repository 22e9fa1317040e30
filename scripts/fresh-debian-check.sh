#!/usr/bin/env bash
# What a newcomer and a packager meet on a fresh Debian 12: a minimal system made with
# debootstrap, copied afresh for each of three checks in scratch chroots.
#   run      ./run.sh --demo on a copy of the tree: how long it takes and how many packages it
#            installs (the figures in the README)
#   build    the Debian packages built with dpkg-buildpackage after "apt-get build-dep", so
#            that debian/control's Build-Depends are known to be complete
#   install  that package installed with apt, started (the converters, "morvex /c" with and
#            without the window module, the main window on a scratch X display), purged with
#            its automatically installed dependencies, and nothing of it left
#   test     ./test.sh on a copy of the tree (only when asked for: it builds and runs everything)
# Needs root and the Debian mirror of apt's sources (MORVEX_DEBIAN_MIRROR to choose another);
# takes about twenty minutes on two cores, most of it compiling twice. Not part of CI.
#   scripts/fresh-debian-check.sh [run] [build] [install] [test]   (default: the first three)
set -euo pipefail
cd "$(dirname "$0")/.."
step() { echo "fresh-debian: $*"; }
fail() {
    echo "fresh-debian: FAILED: $*" >&2
    exit 1
}
[ "$(id -u)" -eq 0 ] || fail "needs root (debootstrap, chroot, mount)"
checks=("$@")
[ ${#checks[@]} -gt 0 ] || checks=(run build install)
for check in "${checks[@]}"; do
    case $check in run | build | install | test) ;; *) fail "unknown check $check" ;; esac
done
wants() { [[ " ${checks[*]} " == *" $1 "* ]]; }
MORVEX_DEPS_EXTRA="${MORVEX_DEPS_EXTRA:-} debootstrap xvfb xdotool" scripts/deps.sh
start=$SECONDS

# The mirror apt uses here, unless told otherwise.
mirror=${MORVEX_DEBIAN_MIRROR:-$(apt-get indextargets --format '$(REPO_URI)' \
    'Release: bookworm' 'Origin: Debian' 2>/dev/null | grep -v security | head -1)}
mirror=${mirror:-http://deb.debian.org/debian/}

scratch=$(mktemp -d /tmp/morvex-fresh.XXXXXX)
chmod 755 "$scratch" # apt downloads as the user _apt, who must reach its folders
root=""
xvfb=""
unmount() {
    local mounted
    for mounted in "$root/tmp/.X11-unix" "$root/dev" "$root/proc"; do
        mountpoint -q "$mounted" 2>/dev/null && umount -R "$mounted"
    done
    return 0
}
cleanup() {
    local status=$?
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
    [ -z "$root" ] || unmount
    # Never across a mount that is still there.
    if ! grep -q " $scratch/" /proc/mounts; then rm -rf --one-file-system "$scratch"; fi
    exit "$status"
}
trap cleanup EXIT
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive "$@"; }
packages() { in_root dpkg-query -W -f '${db:Status-Abbrev}\n' | grep -c '^ii'; }
# A fresh copy of the minimal system as $root, with the tree in /src/morvex (files as git sees
# them, committed or not).
fresh_root() {
    [ -z "$root" ] || { unmount; rm -rf --one-file-system "$root"; }
    root="$scratch/$1"
    cp -a "$scratch/base" "$root"
    mount -t proc proc "$root/proc"
    mkdir -p "$root/src/morvex"
    git ls-files -z --cached --others --exclude-standard |
        tar --null --files-from=- --ignore-failed-read --warning=no-failed-read -cf - |
        tar -xf - -C "$root/src/morvex"
}

step "debootstrap a minimal Debian 12 from $mirror"
debootstrap --variant=minbase bookworm "$scratch/base" "$mirror" >"$scratch/debootstrap.log" 2>&1 ||
    { tail -20 "$scratch/debootstrap.log" >&2; fail "debootstrap"; }
step "  $(chroot "$scratch/base" dpkg-query -W -f '.\n' | wc -l) packages, $((SECONDS - start)) s"

if wants run; then
    fresh_root run
    step "./run.sh --demo on the fresh system"
    before=$(packages)
    run_start=$SECONDS
    # bash's "time" adds the processor time of everything ./run.sh started.
    in_root bash -c 'cd /src/morvex && TIMEFORMAT="run.sh: %R s, processor %U s + %S s" &&
        time ./run.sh --demo' >"$scratch/run.log" 2>&1 ||
        { tail -30 "$scratch/run.log" >&2; fail "./run.sh --demo"; }
    run_time=$((SECONDS - run_start))
    grep -q "^== Upload file after conversion" "$scratch/run.log" ||
        { tail -30 "$scratch/run.log" >&2; fail "./run.sh --demo showed no conversion"; }
    step "  ./run.sh took $((run_time / 60)) min $((run_time % 60)) s and installed" \
        "$(($(packages) - before)) packages"
    step "  $(grep '^run.sh: ' "$scratch/run.log"); $(nproc) cores, load" \
        "$(cut -d' ' -f1-3 /proc/loadavg) (other work on this machine slows it down)"
fi

deb=""
if wants build || wants install; then
    fresh_root build
    step "apt-get build-dep, then dpkg-buildpackage -us -uc on the fresh system"
    build_start=$SECONDS
    in_root apt-get update -q >/dev/null
    in_root bash -c 'cd /src/morvex && apt-get build-dep -y -q --no-install-recommends ./' \
        >"$scratch/build.log" 2>&1 || { tail -20 "$scratch/build.log" >&2; fail "apt-get build-dep"; }
    in_root bash -c 'cd /src/morvex && DEB_BUILD_OPTIONS=parallel=2 dpkg-buildpackage -us -uc' \
        >>"$scratch/build.log" 2>&1 ||
        { tail -30 "$scratch/build.log" >&2; fail "dpkg-buildpackage: Build-Depends incomplete?"; }
    step "  built with Build-Depends only in $((SECONDS - build_start)) s:" \
        "$(cd "$root/src" && find . -maxdepth 1 -type f -name 'morvex*' ! -name '*.build*' \
            ! -name '*.changes' -printf '%f ')"
    deb=$(ls "$root"/src/morvex_*.deb)
    cp "$deb" "$scratch/morvex.deb"
    deb="$scratch/morvex.deb"
fi

if wants install; then
    fresh_root install
    cp "$deb" "$root/tmp/morvex.deb"
    cp examples/sample.up examples/header.mhl examples/footer.mfl "$root/tmp/"
    files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||' | grep -v '^/\?$')
    absent=$(while read -r path; do [ -e "$root$path" ] || echo "$path"; done <<<"$files")

    step "apt-get install ./morvex.deb"
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
grep -q '^manual: /usr/share/morvex/Morvex.html$' <(morvex --version)
fresh() { cp /tmp/sample.up /tmp/header.mhl /tmp/footer.mfl /tmp/work/; rm -f /tmp/work/sample.bak; }
converted() { cmp -s /tmp/work/sample.bak /tmp/sample.up && ! cmp -s /tmp/work/sample.up /tmp/sample.up; }
fresh; (cd /tmp/work && morvex-convert --footer-list footer.mfl --header-list header.mhl sample.up); converted
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
fi
if wants test; then
    fresh_root test
    # The tests need pseudo-terminals (zsh's completion test) and shared memory.
    mount --rbind /dev "$root/dev"
    step "./test.sh on the fresh system"
    test_start=$SECONDS
    in_root bash -c 'cd /src/morvex && ./test.sh' >"$scratch/test.log" 2>&1 ||
        { tail -40 "$scratch/test.log" >&2; fail "./test.sh"; }
    step "  $(grep 'tests passed' "$scratch/test.log"), $((SECONDS - test_start)) s"
fi
step "done on a fresh Debian 12 (${checks[*]}): $((SECONDS - start)) s"
