#!/usr/bin/env bash
# Checks what a user gets from an install: the installed morvex-convert and "morvex /c" (without
# a desktop, then through the window module) convert the example, the installed morvex finds its
# window module and its manual, the completions answer in bash, zsh and fish, the desktop entry,
# the AppStream data and the man pages pass their validators, and the user service is bound to
# the graphical session and sandboxed.
#   scripts/install-check.sh [build-dir]          install build-dir (default: build) into a
#                                                 scratch DESTDIR and check that
#   scripts/install-check.sh --installed PREFIX   check what is installed in PREFIX (the package)
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in desktop-file-validate appstreamcli groff iconv systemd-analyze; do
    command -v "$tool" >/dev/null || {
        echo "install-check: $tool is missing (scripts/deps.sh --tests installs it)" >&2
        exit 1
    }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
step() { echo "install-check: $*"; }
fail() {
    echo "install-check: FAILED: $*" >&2
    exit 1
}

if [ "${1:-}" = "--installed" ]; then
    prefix=${2:?"--installed needs the prefix, e.g. /usr"}
    root=$prefix
else
    build=$(realpath "${1:-build}")
    [ -f "$build/CMakeCache.txt" ] || fail "no build in $build"
    step "cmake --install $build into a DESTDIR"
    DESTDIR="$scratch/dest" cmake --install "$build" >"$scratch/install.log" ||
        { cat "$scratch/install.log" >&2; fail "cmake --install"; }
    prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
    root="$scratch/dest$prefix"
fi
morvex="$root/bin/morvex"
[ -x "$morvex" ] && [ -x "$root/bin/morvex-convert" ] || fail "the programs are not in $root/bin"

# Every run: no desktop, settings and temporary files of its own.
nodesk() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
        XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime" TMPDIR="$scratch" \
        timeout 60 "$@"
}
fresh_example() {
    rm -rf "$scratch/work"
    mkdir -p "$scratch/work"
    cp "$root/share/doc/morvex/examples/"* "$scratch/work/"
}
converted() { # the example was rewritten and its old text kept
    cmp -s "$scratch/work/sample.bak" examples/sample.up || fail "$1: no backup of the example"
    ! cmp -s "$scratch/work/sample.up" examples/sample.up || fail "$1: the example is unchanged"
    iconv -f CP932 -t UTF-8 "$scratch/work/sample.up" >/dev/null || fail "$1: not Shift-JIS"
}

step "installed morvex-convert on the example"
fresh_example
status=0
out=$(cd "$scratch/work" && nodesk "$root/bin/morvex-convert" --seed 1 \
    --footer-list footer.mfl --header-list header.mhl sample.up) || status=$?
[ "$status" -eq 0 ] || fail "morvex-convert ended with $status"
grep -qxP 'sample\.up\t[1-9]\d*\t[1-9]\d*' <<<"$out" || fail "morvex-convert printed: $out"
converted morvex-convert

step "the demo with the installed morvex-convert"
out=$(MORVEX_BIN="$root/bin" MORVEX_DEMO_DIR="$scratch/demo" nodesk scripts/demo.sh) ||
    fail "scripts/demo.sh ended with $?"
grep -qP '^    sample\.up\t[1-9]\d*\t[1-9]\d*$' <<<"$out" || fail "the demo showed: $out"

mkdir -p "$scratch/config/morvex" "$scratch/runtime"
chmod 700 "$scratch/runtime"
cat >"$scratch/config/morvex/settings.reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\File]
"SrcFileCount"=dword:00000001
"SrcFileName"="$scratch/work/sample.up"
"FutterFileName"="$scratch/work/*.mfl"
"HeaderFileName"="$scratch/work/*.mhl"

[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\Result]
"ShowResult"=dword:00000001
"GoByClose"=dword:00000001
"WaitTime"=dword:00000000
REG

step "installed morvex /c without a desktop"
fresh_example
status=0
out=$(nodesk "$morvex" /c) || status=$?
[ "$status" -eq 0 ] || fail "morvex /c ended with $status"
case "$out" in *"$scratch/work/sample.up"*) ;; *) fail "morvex /c reported: $out" ;; esac
converted "morvex /c"

step "installed morvex /c through its window module (offscreen)"
fresh_example
# The result dialog is shown here, and closes by itself (GoByClose).
status=0
nodesk env QT_QPA_PLATFORM=offscreen "$morvex" /c >"$scratch/out" 2>"$scratch/err" || status=$?
[ "$status" -eq 0 ] || { cat "$scratch/err" >&2; fail "morvex /c with the window module ended with $status"; }
converted "morvex /c (window module)"

step "installed morvex finds its window module and manual"
version=$(nodesk "$morvex" --version) || fail "morvex --version ended with $?"
grep -qx "window module: $root/lib.*/morvex/libmorvex-window.so" <<<"$version" ||
    fail "window module not found: $version"
grep -qx "manual: $root/share/morvex/Morvex.html" <<<"$version" ||
    fail "manual not found: $version"
grep -q "MIT License" <<<"$version" || fail "morvex --version names no licence: $version"
nodesk "$morvex" --help | grep '^Usage: morvex' >/dev/null || fail "morvex --help"
nodesk "$root/bin/morvex-convert" -h | grep '^Usage: morvex-convert' >/dev/null || fail "morvex-convert -h"
ls "$root"/share/doc/morvex/README.md* >/dev/null 2>&1 || fail "the README is not installed"

step "completions in bash, zsh and fish"
# The package's go where each shell looks by itself; an install elsewhere is pointed at.
bash_dir="$root/share/bash-completion/completions"
zsh_dir=""
for dir in "$root"/share/zsh/{vendor-completions,site-functions}; do
    [ -f "$dir/_morvex-convert" ] && zsh_dir=$dir
done
[ -n "$zsh_dir" ] || fail "no zsh completions under $root/share/zsh"
fish_dir="$root/share/fish/vendor_completions.d"
drivers=tests/packaging/completion
offered() { # SHELL LINE: the words offered, on one line
    local shell=$1 line=$2 program=${2%% *}
    case $shell in
    bash) bash "$drivers/complete.bash" "$bash_dir/$program" "$line" ;;
    zsh) timeout 60 zsh -f "$drivers/complete.zsh" "$([ "$prefix" = /usr ] || echo "$zsh_dir")" "$line" ;;
    fish) fish --no-config -c 'source $argv[1]; complete -C $argv[2]' "$fish_dir/$program.fish" "$line" ;;
    esac | cut -f1 | sort | tr '\n' ' '
}
for shell in bash zsh fish; do
    command -v "$shell" >/dev/null || fail "$shell is missing (scripts/deps.sh --tests installs it)"
    got=$(offered "$shell" "morvex-convert --fo")
    [ "$got" = "--footer-list --footer-marker " ] || fail "$shell offers \"$got\" for --fo"
    got=$(offered "$shell" "morvex /")
    [ "$got" = "/a /c /o /w " ] || fail "$shell offers \"$got\" for morvex /"
done
if [ "$prefix" = /usr ]; then
    bash -c '. /usr/share/bash-completion/bash_completion && __load_completion morvex-convert &&
        complete -p morvex-convert' >/dev/null || fail "bash-completion does not find morvex-convert's"
    env HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home" XDG_DATA_HOME="$scratch/home" \
        fish -c 'complete -C "morvex-convert --dry"' | grep -q '^--dry-run' ||
        fail "fish does not find morvex-convert's completion"
fi

# The main window on a display of its own, as the desktop entry starts it: its window class must
# be the entry's StartupWMClass, or the desktop shows it as an unknown program.
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v xprop >/dev/null; then
    step "installed morvex opens its main window (Xvfb)"
    exec 3>"$scratch/display"
    # -noreset: the program's display probe connects and leaves first, and a server that resets
    # when its last client leaves would drop the window's own connection being made meanwhile.
    Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb=$!
    exec 3>&-
    for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
    [ -s "$scratch/display" ] || { kill "$xvfb"; fail "Xvfb did not start"; }
    env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=":$(cat "$scratch/display")" \
        XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime" "$morvex" \
        2>"$scratch/err" &
    program=$!
    window=""
    for _ in $(seq 100); do
        window=$(DISPLAY=":$(cat "$scratch/display")" xdotool search --name '^Morvex$' 2>/dev/null |
            head -1) || true
        [ -n "$window" ] && break
        sleep 0.2
    done
    class=""
    [ -z "$window" ] || class=$(DISPLAY=":$(cat "$scratch/display")" xprop -id "$window" WM_CLASS)
    kill -TERM "$program" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
    if kill -KILL "$program" 2>/dev/null; then
        status="still running 5 s after SIGTERM"
        wait "$program" 2>/dev/null || true
    else
        wait "$program" && status=0 || status=$?
    fi
    kill "$xvfb"
    wait "$xvfb" 2>/dev/null || true
    [ -n "$window" ] || { cat "$scratch/err" >&2; fail "no main window within 20 s"; }
    wmclass=$(sed -n 's/^StartupWMClass=//p' "$root/share/applications/jp.qor.Morvex.desktop")
    grep -q "\"$wmclass\"" <<<"$class" || fail "window class $class, the desktop entry says $wmclass"
    [ "$status" = 0 ] || fail "morvex did not end with status 0 on SIGTERM ($status)"
fi

step "desktop entry, AppStream data, man pages"
desktop-file-validate "$root/share/applications/jp.qor.Morvex.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/share/metainfo/jp.qor.Morvex.metainfo.xml" >"$scratch/as" ||
    { cat "$scratch/as" >&2; fail "appstreamcli validate"; }
for page in "$root"/share/man/man1/morvex.1.gz "$root"/share/man/man1/morvex-convert.1.gz; do
    [ -f "$page" ] || fail "no man page $page"
    warnings=$(zcat "$page" | groff -ww -z -man 2>&1) || fail "groff on $page"
    [ -z "$warnings" ] || fail "groff on $page: $warnings"
done
for size in 16 24 32 48 64 128 256; do
    [ -f "$root/share/icons/hicolor/${size}x$size/apps/jp.qor.Morvex.png" ] || fail "no $size px icon"
done
unit="$root/lib/systemd/user/morvex-watch.service"
grep -qx "ExecStart=$prefix/bin/morvex /o" "$unit" ||
    fail "the user service does not start $prefix/bin/morvex /o"
grep -qx "WantedBy=graphical-session.target" "$unit" && grep -qx "PartOf=graphical-session.target" "$unit" ||
    fail "the user service is not bound to the graphical session"
# systemd-analyze's exposure, 0 (sandboxed) to 10 (not at all), times ten.
XDG_RUNTIME_DIR="$scratch/runtime" systemd-analyze security --user --offline=true --threshold=25 \
    "$unit" >"$scratch/security" 2>&1 || { tail -3 "$scratch/security" >&2; fail "the user service is not sandboxed"; }
echo "  $(grep -o 'Overall exposure level.*' "$scratch/security")"
step "all checks passed"
