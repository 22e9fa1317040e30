#!/usr/bin/env bash
# Runs the real program under Xvfb with the Japanese fonts and photographs the main window, its
# menus and pop-up menus, and the dialogs opened from it, into <build>/screenshots/; then the main
# window and every dialog in Qt's own look and through qt6ct, light and dark (its "darker"
# scheme, as a desktop sets it), at display scales 1 and 2, into <build>/screenshots/schemes/.
#   scripts/screenshots.sh [build-dir]     (default: build)
# Installs what it needs through scripts/deps.sh (xvfb, xdotool, x11-utils, and imagemagick,
# openbox, which draws the title bars, and qt6ct, which gives Qt the dark scheme). Every wait is
# bounded: a step that fails says so and the script ends with a non-zero status.
set -Eeuo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build}")
program="$build/bin/morvex"
out="$build/screenshots"
current="start"
fail() {
    # Once: a failure inside $(...) is seen again by the caller's error trap.
    [ -e "${scratch:-/nonexistent}/failed" ] ||
        echo "screenshots: FAILED at step \"$current\": $*" >&2
    [ -z "${scratch:-}" ] || : >"$scratch/failed"
    exit 1
}
step() {
    current=$1
    echo "$1"
}
[ -x "$program" ] || fail "no program at $program; build first"
MORVEX_DEPS_EXTRA="${MORVEX_DEPS_EXTRA:-} imagemagick openbox qt6ct" scripts/deps.sh ||
    fail "could not install the packages it needs; as root: scripts/deps.sh, then apt-get install imagemagick openbox qt6ct"
for pair in Xvfb:xvfb xdotool:xdotool xwininfo:x11-utils import:imagemagick convert:imagemagick \
    openbox:openbox; do
    command -v "${pair%%:*}" >/dev/null || fail "${pair%%:*} is missing (Debian package ${pair#*:})"
done
mkdir -p "$out/schemes"
rm -f "$out"/*.png "$out"/schemes/*.png

scratch=$(mktemp -d)
pids=()
# Ends a process: SIGTERM, up to 5 s to go, then SIGKILL. Never waits without a bound.
stop() {
    kill -TERM "$1" 2>/dev/null || return 0
    for _ in $(seq 50); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}
cleanup() {
    local status=$?
    for pid in "${pids[@]}"; do stop "$pid"; done
    rm -rf "$scratch"
    exit "$status"
}
trap cleanup EXIT
trap 'fail "a command failed (line $LINENO)"' ERR

# A display of its own, and a window manager for the title bars.
step "Starting Xvfb and openbox:"
exec 3>"$scratch/display"
Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
[ -s "$scratch/display" ] || fail "Xvfb did not start within 10 s"
export DISPLAY=":$(cat "$scratch/display")"
openbox >/dev/null 2>&1 &
pids+=($!)
export QT_SCALE_FACTOR=1 QT_QPA_PLATFORM=xcb
mkdir -m 700 "$scratch/runtime"
export XDG_RUNTIME_DIR="$scratch/runtime"
unset WAYLAND_DISPLAY

# The example upload file and lists, in a scratch folder the program may rewrite.
work="$scratch/work"
mkdir -p "$work" "$scratch/config/morvex"
cp examples/sample.up examples/header.mhl examples/footer.mfl "$work/"
cp examples/sample.up "$work/today.up"
export XDG_CONFIG_HOME="$scratch/config"
store="$XDG_CONFIG_HOME/morvex/settings.reg"
placed='"WindowTop"=dword:00000040
"WindowLeft"=dword:00000040'
write_store() { # the values of the System key
    cat >"$store" <<EOF
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\System]
$1

[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\File]
"SrcFileCount"=dword:00000002
"SrcFileName"="sample.up"
"SrcFileName1"="*.up"
"FutterFileName"="*.mfl"
"HeaderFileName"="*.mhl"

[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\Result]
"ShowResult"=dword:00000001
"GoByClose"=dword:00000000

[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\Rules]
"Count"=dword:00000002
"Pattern1"="*/仕事/*.up"
"FooterList1"="/home/taro/lists/仕事/*.mfl"
"Encoding1"="sjis"
"Pattern2"="*/写真部/*.up"
"FooterList2"="/home/taro/lists/写真部.mfl"
"FooterMarker2"="!"
"Encoding2"="utf-8"
EOF
}

pause() { sleep "${1:-0.6}"; }
key() { xdotool key --clearmodifiers "$@"; pause; }
click() { xdotool mousemove "$1" "$2" click 1; pause; }
hover() { xdotool mousemove "$1" "$2"; pause 1.5; }
# The whole screen, cut down to what is drawn on it.
shot() {
    import -window root "$scratch/raw.png"
    convert "$scratch/raw.png" -bordercolor black -border 1 -trim +repage "$out/$1.png"
    echo "  $out/$1.png"
}
# The first visible window whose title matches, waiting at most 20 s for it.
wait_window() {
    local id
    id=$(timeout 20 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -1) || true
    if [ -z "$id" ]; then
        echo "screenshots: no window \"$1\" appeared within 20 s; the program said:" >&2
        sed 's/^/  /' "$scratch/stderr" >&2 || true
        fail "waiting for the window \"$1\""
    fi
    echo "$id"
}
# X, Y, WIDTH, HEIGHT of a window's client area on the screen (xdotool's own report counts the
# window manager's frame twice).
geometry() {
    eval "$(xwininfo -id "$1" | awk '/Absolute upper-left X/ {print "X=" $NF}
        /Absolute upper-left Y/ {print "Y=" $NF} /Width:/ {print "WIDTH=" $NF}
        /Height:/ {print "HEIGHT=" $NF}')"
}

# Run in the scratch folder, so the window shows short names relative to it.
start_program() {
    (cd "$work" && exec "$program" "$@") 2>"$scratch/stderr" &
    program_pid=$!
    pids+=("$program_pid")
}
stop_program() { stop "$program_pid"; }

step "Main window and its menus:"
write_store "$placed"
start_program
main=$(wait_window '^Morvex$')
pause 1
geometry "$main"
menu_height=$((HEIGHT - 161))
at() { echo $((X + $1)) $((Y + menu_height + $2)); } # a point of the designed layout
shot main-window
import -frame -window "$main" "$out/main-window-framed.png"
hover $(at 165 63)
shot tooltip-backext
xdotool mousemove 0 0
key alt+f
shot menu-file
key Right
shot menu-act
key Right
shot menu-setup
key Right
shot menu-help
key Escape Escape
click $(at 309 131)
shot popup-header-browse
key Escape
click $(at 309 151)
shot popup-footer-browse
key Escape

step "Dialogs opened from it:"
key alt+f s
wait_window '変換ファイルリストの編集' >/dev/null
shot source-list-editor
key alt+a
shot source-list-editor-adding
key Escape
key alt+c
key Escape
click $(at 309 131)
key f
wait_window 'ヘッダリストの選択' >/dev/null
shot header-file-dialog
key Escape
click $(at 309 151)
key d
pause 1
shot footer-folder-dialog
key Escape
key alt+f o
wait_window '変換先ﾌｧｲﾙの指定' >/dev/null
shot output-file-dialog
key Escape
key alt+s e
wait_window '^設定$' >/dev/null
shot settings-general
for page in 2 3 4 5; do
    key ctrl+Tab
    shot "settings-page$page"
done
# No close box and no cancel key: the dialog ends by its buttons only.
geometry "$(wait_window '^設定$')"
click $((X + 246)) $((Y + 211))
geometry "$main"
key alt+f Right Right Right a
wait_window 'バージョン情報' >/dev/null
shot about
key Return
click $(at 261 83)
wait_window '変換結果' >/dev/null
shot result-dialog
key Return
pause 1
xdotool search --onlyvisible --name '変換結果' >/dev/null 2>&1 && key Return
stop_program

step "The store error box:"
write_store '"WindowTop"="top"'
start_program
wait_window '^Morvex$' >/dev/null
pause 1
shot store-error
stop_program

# Every window and dialog in each look a desktop may set, at each scale: Qt's own (no platform
# theme), qt6ct with its palette off (the desktop's style and fonts through qt6ct) and qt6ct's
# "darker" scheme.
mkdir -p "$scratch/qt6ct-light" "$scratch/qt6ct-dark"
cat >"$scratch/qt6ct-light/qt6ct.conf" <<CONF
[Appearance]
custom_palette=false
style=Fusion
CONF
cat >"$scratch/qt6ct-dark/qt6ct.conf" <<CONF
[Appearance]
color_scheme_path=/usr/share/qt6ct/colors/darker.conf
custom_palette=true
style=Fusion
CONF
# A window with the frame the window manager draws around it.
frame_shot() {
    import -frame -window "$1" "$out/schemes/$2.png"
    echo "  $out/schemes/$2.png"
}
fresh_uploads() { cp examples/sample.up "$work/sample.up"; cp examples/sample.up "$work/today.up"; }
for look in plain light dark; do
    for scale in 1 2; do
        step "The $look look at scale $scale:"
        name="$look-x$scale"
        export QT_SCALE_FACTOR=$scale
        rm -f "$XDG_CONFIG_HOME/qt6ct"
        if [ "$look" = plain ]; then
            unset QT_QPA_PLATFORMTHEME
        else
            # qt6ct reads its file under XDG_CONFIG_HOME, beside the store.
            export QT_QPA_PLATFORMTHEME=qt6ct
            ln -sfn "$scratch/qt6ct-$look" "$XDG_CONFIG_HOME/qt6ct"
        fi
        write_store "$placed"
        fresh_uploads
        start_program
        main=$(wait_window '^Morvex$')
        pause 1
        frame_shot "$main" "$name-main-window"
        key alt+s e
        settings=$(wait_window '^設定$')
        frame_shot "$settings" "$name-settings-general"
        for page in 2 3 4 5; do
            key ctrl+Tab
            frame_shot "$settings" "$name-settings-page$page"
        done
        geometry "$settings"
        click $((X + 246 * scale)) $((Y + 211 * scale))
        key alt+f s
        frame_shot "$(wait_window '変換ファイルリストの編集')" "$name-source-list-editor"
        key alt+a
        frame_shot "$(wait_window '変換ファイルリストの編集')" "$name-source-list-editor-adding"
        key Escape
        key alt+c
        key alt+f Right Right Right a
        frame_shot "$(wait_window 'バージョン情報')" "$name-about"
        key Return
        geometry "$main"
        menu_height=$((HEIGHT - 161 * scale))
        click $((X + 261 * scale)) $((Y + menu_height + 83 * scale))
        frame_shot "$(wait_window '変換結果')" "$name-result-dialog"
        key Return
        pause 1
        xdotool search --onlyvisible --name '変換結果' >/dev/null 2>&1 && key Return
        # The header list's round button opens the viewer, and the viewer its two dialogs.
        click $((X + 74 * scale)) $((Y + menu_height + 130 * scale))
        viewer=$(wait_window 'リストファイルビューア')
        frame_shot "$viewer" "$name-list-viewer"
        key alt+x e
        frame_shot "$(wait_window 'リストファイルを編集')" "$name-list-select"
        key Escape
        xdotool search --onlyvisible --name 'リストファイルを編集' >/dev/null 2>&1 && key alt+F4
        xdotool windowactivate --sync "$viewer" 2>/dev/null || true
        key alt+s e
        frame_shot "$(wait_window 'エディタの指定')" "$name-editor-dialog"
        key Tab Tab Tab Return
        stop_program
        # A message box: a footer list that names no file stops each upload file.
        write_store "$placed"
        sed -i 's/"FutterFileName"="\*\.mfl"/"FutterFileName"="nothing*.mfl"/' "$store"
        fresh_uploads
        start_program
        main=$(wait_window '^Morvex$')
        pause 1
        geometry "$main"
        menu_height=$((HEIGHT - 161 * scale))
        click $((X + 261 * scale)) $((Y + menu_height + 83 * scale))
        frame_shot "$(wait_window '^エラー$')" "$name-error-box"
        stop_program
    done
done
unset QT_QPA_PLATFORMTHEME
rm -f "$XDG_CONFIG_HOME/qt6ct"
export QT_SCALE_FACTOR=1

mkdir -p docs
cp "$out/main-window-framed.png" docs/main-window.png
echo "docs/main-window.png updated"
