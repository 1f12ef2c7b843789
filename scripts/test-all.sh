#!/usr/bin/env bash
# Sets everything up and runs every test: native, ASan+UBSan and TSan builds,
# the .deb of the release build, the fuzz targets, and the Windows cross
# build under Wine (with its own Xvfb display) and its ZIP.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
for preset in linux asan tsan; do
    echo "=== $preset ==="
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs"
done

# The optimised build the README's first command runs: it must build
# warning-free too (the optimiser finds things a debug build does not).
echo "=== linux-release ==="
cmake --preset linux-release >/dev/null
cmake --build --preset linux-release -j "$jobs"

# The .deb made from it, checked as installed (own Xvfb display; screenshot
# in build/linux-release/artifacts).
echo "=== package (deb) ==="
bash scripts/package-check.sh deb build/linux-release

# Fuzz targets, a minute each, from their seeds and crash inputs.
echo "=== fuzz ==="
bash scripts/fuzz.sh all 60

# Windows: cross build, then every test under Wine. The runner creates the
# Wine prefix in the build tree on first use and starts the X server that
# the GUI check needs; --stop ends that session afterwards.
echo "=== mingw ==="
mingw_start=$SECONDS
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$jobs"
mingw_status=0
# A Wine launch now and then ends at once with no output at all (the program
# never ran); a test that fails is run once more, and only a second failure
# counts.
ctest --preset mingw -j "$jobs" --repeat until-pass:2 || mingw_status=$?
WINEPREFIX="$PWD/build/mingw/wineprefix" scripts/wine-run.sh --stop
echo "=== package (zip) ==="
bash scripts/package-check.sh zip build/mingw || mingw_status=1
echo "mingw step: $((SECONDS - mingw_start)) s; screenshots in build/mingw/artifacts"
exit "$mingw_status"
