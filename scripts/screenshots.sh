#!/usr/bin/env bash
# Runs the real program under Xvfb with the Japanese fonts and photographs the main window, its
# menus and pop-up menus, and the dialogs opened from it, into <build>/screenshots/.
#   scripts/screenshots.sh [build-dir]     (default: build)
# Needs xvfb, xdotool and imagemagick; openbox, when present, draws the title bars.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
program="$build/bin/morvex"
out="$build/screenshots"
[ -x "$program" ] || { echo "no program at $program; build first" >&2; exit 1; }
for tool in Xvfb xdotool xwininfo import convert; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (see scripts/deps.sh)" >&2; exit 1; }
done
mkdir -p "$out"
rm -f "$out"/*.png

scratch=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

# A display of its own, and a window manager for the title bars when there is one.
exec 3>"$scratch/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$scratch/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$scratch/display")"
if command -v openbox >/dev/null; then
    openbox >/dev/null 2>&1 &
    pids+=($!)
fi
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
wait_window() { timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -1; }
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

echo "Main window and its menus:"
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

echo "Dialogs opened from it:"
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
for page in 2 3; do
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
kill -TERM "$program_pid"
wait "$program_pid" || true

echo "The store error box:"
write_store '"WindowTop"="top"'
start_program
wait_window '^Morvex$' >/dev/null
pause 1
shot store-error
kill -TERM "$program_pid"
wait "$program_pid" || true

mkdir -p docs
cp "$out/main-window-framed.png" docs/main-window.png
echo "docs/main-window.png updated"
