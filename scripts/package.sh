#!/usr/bin/env bash
# Builds the Debian package (cpack -G DEB) with Debian's build flags, runs lintian over it,
# checks that its dependencies resolve on a fresh Debian 12, installs it with apt, runs the
# installed programs (scripts/install-check.sh --installed /usr), removes it and checks that no
# file of it is left behind. Needs root (or sudo) for apt; takes about two minutes on two cores
# from a cold compiler cache, well under one with a warm one.
#   scripts/package.sh [build-dir]      (default: build-pkg)
#   MORVEX_PACKAGE_ONLY=1 scripts/package.sh     build and lint only, no install
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build-pkg}")
logs="$build/package-logs"
start=$SECONDS
step() { echo "package: $*"; }
fail() {
    echo "package: FAILED: $*" >&2
    exit 1
}
scripts/deps.sh
for tool in cmake cpack dpkg-deb dpkg-shlibdeps dpkg-buildflags lintian fakeroot; do
    command -v "$tool" >/dev/null ||
        fail "$tool is missing (Debian: cmake, dpkg-dev, lintian, fakeroot)"
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# Other users of the machine may run apt too: one at a time.
apt_locked() { $sudo flock /tmp/apt.lock env DEBIAN_FRONTEND=noninteractive apt-get "$@"; }

step "configure $build with Debian's build flags"
mkdir -p "$logs"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DMORVEX_TESTS=OFF \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    -DCMAKE_MODULE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >"$logs/configure.log" 2>&1 ||
    { cat "$logs/configure.log" >&2; fail "configure"; }
step "build"
cmake --build "$build" -j2 --target morvex morvex-convert morvex-window morvex_manual \
    morvex_changelog >"$logs/build.log" 2>&1 || { tail -30 "$logs/build.log" >&2; fail "build"; }

step "cpack -G DEB"
rm -f "$build"/morvex_*.deb
(cd "$build" && fakeroot cpack -G DEB >"$logs/cpack.log" 2>&1) ||
    { cat "$logs/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$build"/morvex_*.deb)
dpkg-deb -I "$deb" | sed -n 's/^ \(Package\|Version\|Depends\|Recommends\|Installed-Size\):/  &/p'

step "lintian $(basename "$deb")"
lint_status=0
lintian --fail-on error --display-level '>=warning' "$deb" >"$logs/lintian.log" 2>&1 || lint_status=$?
grep -v 'running with root privileges' "$logs/lintian.log" | sed 's/^/  /' || echo "  no errors or warnings"
[ "$lint_status" -eq 0 ] || fail "lintian found errors"

step "dependencies resolve on a fresh Debian 12 (apt simulation with an empty package database)"
empty=$(mktemp)
trap 'rm -f "$empty"' EXIT
apt-get -s -q -o Dir::State::status="$empty" install "$deb" >"$logs/fresh.log" 2>&1 ||
    { tail -20 "$logs/fresh.log" >&2; fail "the dependencies do not resolve from Debian 12"; }
echo "  $(grep -c '^Inst ' "$logs/fresh.log") packages would be installed on a fresh system"

if [ "${MORVEX_PACKAGE_ONLY:-}" = 1 ]; then
    step "built $deb in $((SECONDS - start)) s"
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

step "apt-get install $deb"
apt_locked install -y -q --no-install-recommends "$deb" >"$logs/apt.log" 2>&1 ||
    { tail -20 "$logs/apt.log" >&2; fail "apt-get install"; }
removed=0
remove() {
    [ "$removed" = 1 ] && return
    removed=1
    apt_locked purge -y -q morvex >>"$logs/apt.log" 2>&1
}
trap 'remove; rm -f "$empty"' EXIT

step "run the installed programs"
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
