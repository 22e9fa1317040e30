#!/usr/bin/env bash
# Installs the Debian packages Morvex needs that this machine lacks; quick when nothing is missing.
set -euo pipefail

packages=(
    cmake g++ ninja-build pkg-config
    googletest libgtest-dev libgmock-dev
    qt6-base-dev libgl-dev qt6-translations-l10n libxcb1-dev
    fonts-ipafont-gothic
    clang libclang-rt-14-dev
    xvfb xauth xdg-utils xdotool x11-utils
    trayer openbox dbus dbus-x11 libglib2.0-bin
    at-spi2-core python3-pyatspi
    clang-format
    desktop-file-utils appstream groff-base lintian fakeroot dpkg-dev
)
if [ "${MORVEX_DEPS_EXTRA:-}" != "" ]; then
    read -r -a extra <<<"$MORVEX_DEPS_EXTRA"
    packages+=("${extra[@]}")
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
