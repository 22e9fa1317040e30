#!/usr/bin/env bash
# Keeps the layers honest: every quoted include of a library folder names its folder from the
# project root and resolves to a file of a layer that folder may use. A lower layer never
# includes a higher one, and only the engine includes engine/detail/.
set -euo pipefail
cd "$(dirname "$0")/.."

# layer: the layers it may include besides itself
declare -A allowed=(
    [engine]=""
    [settings]="engine"
    [gui]="engine"
    [controls]="gui"
    [windows]="controls settings gui engine"
    [modes]="settings engine"
    [desktop]="modes settings gui engine"
    [app]="desktop modes windows settings controls gui engine"
    [cli]="engine"
)

layer_of() { # path relative to the root
    case "$1" in
    app/desktop/*) echo desktop ;;
    engine/* | settings/* | gui/* | controls/* | windows/* | modes/* | app/* | cli/*) echo "${1%%/*}" ;;
    *) echo "" ;;
    esac
}

# Every header of a layer folder by its file name, for includes written without their folder.
declare -A home=()
while IFS= read -r h; do
    name=${h##*/}
    if [ -n "${home[$name]:-}" ]; then home[$name]="?"; else home[$name]=$h; fi
done < <(git ls-files 'engine/*.h' 'settings/*.h' 'gui/*.h' 'controls/*.h' 'windows/*.h' \
    'modes/*.h' 'app/*.h' 'cli/*.h')

status=0
while IFS= read -r src; do
    from=$(layer_of "$src")
    [ -n "$from" ] || continue
    dir=${src%/*}
    while IFS= read -r inc; do
        if [ -f "$inc" ]; then target=$inc
        elif [ -f "$dir/$inc" ]; then target=$dir/$inc
        elif [ -n "${home[${inc##*/}]:-}" ]; then target=${home[${inc##*/}]}
        else continue # generated (ui_, moc) or not ours
        fi
        if [ "$target" != "$inc" ]; then
            echo "$src: \"$inc\" must name its folder from the project root" >&2
            status=1
            continue
        fi
        if [ "$target" = "?" ]; then
            echo "$src: \"$inc\" names a header of two folders; write its folder" >&2
            status=1
            continue
        fi
        to=$(layer_of "$target")
        if [ "$to" = engine ] && [ "$from" != engine ] && [[ $target == engine/detail/* ]]; then
            echo "$src includes $target, which is the engine's own (engine/detail/)" >&2
            status=1
            continue
        fi
        [ -z "$to" ] || [ "$to" = "$from" ] && continue
        case " ${allowed[$from]} " in
        *" $to "*) ;;
        *)
            echo "$src ($from) includes $target ($to), which $from may not use" >&2
            status=1
            ;;
        esac
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$src")
done < <(git ls-files 'engine/*' 'settings/*' 'gui/*' 'controls/*' 'windows/*' 'modes/*' 'app/*' \
    'cli/*' | grep -E '\.(cpp|h)$')
[ "$status" -eq 0 ] && echo "Layers: no folder includes one above it"
exit "$status"
