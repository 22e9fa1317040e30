#!/usr/bin/env bash
# Converts a scratch copy of the bundled example with morvex-convert and prints the upload file
# before and after, decoded from Shift-JIS, so that a newcomer sees headers and footers appear.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
# MORVEX_BIN: the folder of the converter to show, relative to the tree or absolute.
bin=${MORVEX_BIN:-build/bin}
[[ $bin == /* ]] || bin="$root/$bin"
convert="$bin/morvex-convert"
scratch="${MORVEX_DEMO_DIR:-$root/build/demo}"

rm -rf "$scratch"
mkdir -p "$scratch"
cp examples/sample.up examples/header.mhl examples/footer.mfl "$scratch"/
show() { iconv -f CP932 -t UTF-8 "$1" | tr -d '\r' | sed 's/^/    /'; }

echo "== Upload file before conversion ($scratch/sample.up) =="
show "$scratch/sample.up"
echo
echo "== morvex-convert --footer-list footer.mfl --header-list header.mhl sample.up   (file, footers, headers) =="
(cd "$scratch" && "$convert" --footer-list footer.mfl --header-list header.mhl sample.up) |
    sed 's/^/    /'
echo
echo "== Upload file after conversion (previous text kept in sample.bak) =="
show "$scratch/sample.up"
