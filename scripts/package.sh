#!/usr/bin/env bash
# Makes the Debian packages the Debian way: dpkg-buildpackage on a clean copy of the tree gives
# the source package (.dsc, .tar.xz), the binary package and its debug symbols (morvex-dbgsym).
# Then: a second build of the same copy, later, must give the same bytes (SOURCE_DATE_EPOCH
# comes from debian/changelog); lintian over all of them must find no warning; the dependencies
# must resolve on a fresh Debian 12; apt installs the package, the installed programs, manual and
# completions are checked (scripts/install-check.sh --installed /usr), and after a purge no file
# of the package may be left. Needs root (or sudo) for apt.
#   scripts/package.sh [output-dir]              (default: build-pkg)
#   MORVEX_PACKAGE_ONLY=1 scripts/package.sh     build, compare and lint; no install
#   MORVEX_PACKAGE_ONCE=1 scripts/package.sh     one build, no comparison
# The tests are not run in the package build (debian/rules): ./test.sh runs them on the tree.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build-pkg}")
logs="$out/logs"
start=$SECONDS
step() { echo "package: $*"; }
fail() {
    echo "package: FAILED: $*" >&2
    exit 1
}
scripts/deps.sh --package
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# Other users of the machine may run apt too: one at a time.
apt_locked() {
    $sudo flock /tmp/apt.lock env DEBIAN_FRONTEND=noninteractive \
        apt-get -o DPkg::Lock::Timeout=600 "$@"
}

version=$(dpkg-parsechangelog -S Version)
source_dir="$out/morvex-$version"
rm -rf "$out/first" "$logs" "$source_dir" "$out"/morvex[_-]*
mkdir -p "$logs" "$out/first"

# The files of the tree as git sees them (committed or not, without what .gitignore names);
# outside a git checkout, everything but the build folders. Taken once, so that both builds
# start from the same files even when the tree changes meanwhile.
tree="$out/tree"
rm -rf "$tree"
mkdir -p "$tree"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard |
        tar --null --files-from=- --ignore-failed-read --warning=no-failed-read -cf - |
        tar -xf - -C "$tree"
else
    tar --exclude='./build*' --exclude=./.git -cf - . | tar -xf - -C "$tree"
fi

# dpkg-buildpackage leaves its results beside the source folder.
build() {
    local name=$1
    rm -rf "$source_dir"
    cp -a "$tree" "$source_dir"
    (cd "$source_dir" && DEB_BUILD_OPTIONS="parallel=2 ${DEB_BUILD_OPTIONS:-}" \
        dpkg-buildpackage -us -uc) >"$logs/$name.log" 2>&1 ||
        { tail -30 "$logs/$name.log" >&2; fail "dpkg-buildpackage ($name build), log: $logs/$name.log"; }
}
# The packages of a build; the .buildinfo and .changes files name the time of the build.
products() { (cd "$1" && ls ./*.dsc ./*.tar.* ./*.deb ./*.ddeb 2>/dev/null | sed 's|^\./||' | sort); }
results() { find "$out" -maxdepth 1 -type f -name 'morvex*'; }

step "dpkg-buildpackage -us -uc (morvex $version)"
build first
results | xargs mv -t "$out/first/"
step "built in $((SECONDS - start)) s: $(products "$out/first" | tr '\n' ' ')"

if [ "${MORVEX_PACKAGE_ONCE:-}" != 1 ]; then
    step "the same tree built again must give the same bytes"
    build second
    [ "$(products "$out")" = "$(products "$out/first")" ] ||
        fail "the second build made other files: $(products "$out" | tr '\n' ' ')"
    while read -r file; do
        if ! cmp -s "$out/$file" "$out/first/$file"; then
            if command -v diffoscope >/dev/null; then
                diffoscope "$out/first/$file" "$out/$file" | head -60 >&2 || true
            fi
            fail "$file differs between two builds of the same tree"
        fi
        echo "  $(sha256sum "$out/$file" | cut -c1-16)  $file"
    done < <(products "$out")
fi
rm -rf "$source_dir" "$tree"
results | xargs rm -f
mv "$out"/first/* "$out/"
rmdir "$out/first"
changes=$(ls "$out"/*.changes)
deb=$(ls "$out"/morvex_*.deb)
dpkg-deb -I "$deb" | sed -n 's/^ \(Package\|Version\|Depends\|Recommends\|Installed-Size\):/  &/p'

step "lintian $(basename "$changes") (source, binary and debug symbols)"
lint_status=0
lintian --fail-on warning --display-level '>=warning' "$changes" >"$logs/lintian.log" 2>&1 ||
    lint_status=$?
grep -v 'running with root privileges' "$logs/lintian.log" | sed 's/^/  /' ||
    echo "  no errors or warnings"
[ "$lint_status" -eq 0 ] || fail "lintian found warnings or errors"

step "dependencies resolve on a fresh Debian 12 (apt simulation with an empty package database)"
empty=$(mktemp)
trap 'rm -f "$empty"' EXIT
apt-get -s -q -o Dir::State::status="$empty" install "$deb" >"$logs/fresh.log" 2>&1 ||
    { tail -20 "$logs/fresh.log" >&2; fail "the dependencies do not resolve from Debian 12"; }
echo "  $(grep -c '^Inst ' "$logs/fresh.log") packages would be installed on a fresh system"

if [ "${MORVEX_PACKAGE_ONLY:-}" = 1 ]; then
    step "built and checked $(basename "$deb") in $((SECONDS - start)) s"
    exit 0
fi
if dpkg-query -W -f='${Status}' morvex 2>/dev/null | grep -q "install ok installed"; then
    fail "morvex is installed already; remove it first (apt-get purge morvex)"
fi

files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||' | grep -v '^/\?$')
absent_dirs=()
while read -r path; do
    [ -e "$path" ] || absent_dirs+=("$path")
done <<<"$files"

step "apt-get install $(basename "$deb")"
apt_locked install -y -q --no-install-recommends "$deb" >"$logs/apt.log" 2>&1 ||
    { tail -20 "$logs/apt.log" >&2; fail "apt-get install"; }
removed=0
remove() {
    [ "$removed" = 1 ] && return
    removed=1
    apt_locked purge -y -q morvex >>"$logs/apt.log" 2>&1
}
trap 'remove; rm -f "$empty"' EXIT

step "run the installed programs, manual and completions"
scripts/install-check.sh --installed /usr | sed 's/^/  /'
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "the installed package does not work"

step "apt-get purge morvex"
remove || fail "apt-get purge"
left=()
while read -r path; do
    [ -d "$path" ] && [[ ! " ${absent_dirs[*]} " =~ " $path " ]] && continue # a shared folder
    [ -e "$path" ] || [ -L "$path" ] && left+=("$path")
done <<<"$files"
[ ${#left[@]} -eq 0 ] || fail "left behind after removal: ${left[*]}"
step "installed, ran, removed, nothing left ($(wc -l <<<"$files") paths): $((SECONDS - start)) s"
