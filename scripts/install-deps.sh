#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need (as root).
# Skips apt entirely when everything is already there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    googletest libgtest-dev libgmock-dev
    libudev-dev qt6-base-dev zlib1g-dev help2man
    clang libclang-rt-14-dev
)
if [[ "${UPDATER_WITH_WINDOWS:-1}" == 1 ]]; then
    packages+=(g++-mingw-w64-x86-64-posix wine64 wine fonts-wine xvfb xauth fonts-wqy-microhei imagemagick x11-utils)
fi
# scripts/package-check.sh: the .deb (dpkg-shlibdeps, file), its checkers,
# and the installed dialog on an X server (Qt's xcb plugin).
if [[ "${UPDATER_WITH_PACKAGE_CHECK:-1}" == 1 ]]; then
    packages+=(dpkg-dev file lintian desktop-file-utils appstream
               xvfb xauth x11-utils imagemagick qt6-qpa-plugins)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" >/dev/null
fi
