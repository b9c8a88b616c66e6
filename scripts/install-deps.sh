#!/usr/bin/env bash
# Installs what building, running and testing Trovan needs on Debian 12, where nothing may be
# installed yet. Does nothing when everything is there.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkgconf qt6-base-dev libmount-dev liburing-dev
    fonts-liberation
    xvfb xauth xdotool x11-apps xclip libxfixes3 imagemagick desktop-file-utils
    clang libclang-rt-14-dev
    findutils util-linux
    xdg-utils
    fuse3 python3-fusepy
    bfs fd-find linux-perf
    libgif-dev
    dpkg-dev appstream openbox
    lintian devscripts man-db librsvg2-bin
    weston qt6-wayland qt6-translations-l10n
    dbus-daemon dbus-bin python3-dbus python3-gi
    libsm-dev libice-dev
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
