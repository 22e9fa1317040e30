#!/usr/bin/env bash
# Installs the Debian 12 packages that this machine lacks; quick when nothing is missing.
#   scripts/deps.sh              what building and running Morvex needs (./run.sh)
#   scripts/deps.sh --tests      that, and what the tests, the fuzzing and the checks of CI need
#                                on top (./test.sh)
#   scripts/deps.sh --package    that, and what making and checking the Debian package needs
#                                (scripts/package.sh)
# Options combine; MORVEX_DEPS_EXTRA adds packages of your own.
set -euo pipefail

# The compiler and build tools, Qt, and what the program uses at run time without linking it:
# the Japanese font it asks for, the Japanese texts of Qt's dialogs, and xdg-open for the
# manual and the list editor.
packages=(
    cmake g++ ninja-build
    qt6-base-dev
    fonts-ipafont-gothic qt6-translations-l10n xdg-utils
)
tests=(
    googletest libgtest-dev libgmock-dev libxcb1-dev
    clang libclang-rt-14-dev clang-format
    xvfb xauth xdotool x11-utils trayer openbox dbus dbus-x11 libglib2.0-bin
    desktop-file-utils appstream groff-base systemd
    bash-completion zsh fish
    at-spi2-core python3-pyatspi qt6ct
)
# The package's build, and the checks of the installed package (scripts/install-check.sh).
package=(
    build-essential debhelper dpkg-dev pkg-config bash-completion lintian
    desktop-file-utils appstream groff-base systemd zsh fish
)
for option in "$@"; do
    case $option in
    --tests) packages+=("${tests[@]}") ;;
    --package) packages+=("${package[@]}") ;;
    *)
        echo "usage: scripts/deps.sh [--tests] [--package]" >&2
        exit 2
        ;;
    esac
done
if [ "${MORVEX_DEPS_EXTRA:-}" != "" ]; then
    read -r -a extra <<<"$MORVEX_DEPS_EXTRA"
    packages+=("${extra[@]}")
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
mapfile -t missing < <(printf '%s\n' "${missing[@]}" | sort -u)

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# Other users of the machine may run apt too: one at a time, waiting for dpkg's lock.
apt() { $sudo flock /tmp/apt.lock env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"; }
apt update -qq
apt install -y -qq --no-install-recommends "${missing[@]}"
