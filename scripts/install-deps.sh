#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need (as root).
# Skips apt entirely when everything is already there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    googletest libgtest-dev libgmock-dev
    libudev-dev qt6-base-dev help2man
    libcli11-dev nlohmann-json3-dev
    librsvg2-bin icoutils  # the icon's renderings and the Windows .ico
    # the catalogue: signatures and SHA-256, fetching, and the signer the
    # interoperability tests check against, and their local server
    libgcrypt20-dev libcurl4-openssl-dev signify-openbsd python3
    faketime  # a clock set back or ahead, for the catalogue's expiry
)
# The fuzz targets (clang's libFuzzer runtime): tests only.
if [[ "${UPDATER_WITH_FUZZ:-1}" == 1 ]]; then
    packages+=(clang libclang-rt-14-dev)
fi
if [[ "${UPDATER_WITH_WINDOWS:-1}" == 1 ]]; then
    packages+=(g++-mingw-w64-x86-64-posix libgcrypt-mingw-w64-dev wine64 wine fonts-wine xvfb xauth fonts-wqy-microhei imagemagick x11-utils)
fi
# scripts/package-check.sh: the .deb (dpkg-shlibdeps, file), its checkers,
# and the installed dialog on an X server (Qt's xcb plugin).
if [[ "${UPDATER_WITH_PACKAGE_CHECK:-1}" == 1 ]]; then
    packages+=(dpkg-dev file lintian desktop-file-utils appstream
               xvfb xauth x11-utils imagemagick qt6-qpa-plugins)
fi

# The web page: emscripten (its optimiser runs on node-acorn), and Chromium
# that the page tests drive through playwright-core (npm ci, package-lock.json).
if [[ "${UPDATER_WITH_WEB:-1}" == 1 ]]; then
    # pngquant, esbuild and binaryen's wasm-opt: the icons, scripts and module
    # at a lighter weight.
    packages+=(emscripten node-acorn chromium fonts-wqy-microhei pngquant esbuild binaryen)
    # npm ci of the page tests; a Node.js that came with its own npm keeps it.
    command -v npm >/dev/null || packages+=(npm)
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
