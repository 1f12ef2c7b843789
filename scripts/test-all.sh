#!/usr/bin/env bash
# Sets everything up and runs every test: native, ASan+UBSan and TSan builds,
# the .deb of the release build, the fuzz targets, the web page, the Windows cross build
# under Wine (with its own Xvfb display) and its ZIP.
# Prints the time of each step at the end, also when a step fails.
set -euo pipefail
cd "$(dirname "$0")/.."

timings=()
step_name=""
step_start=$SECONDS
step() {
    [[ -n $step_name ]] && timings+=("$(printf '%-8s %5d s' "$step_name" $((SECONDS - step_start)))")
    step_name=$1
    step_start=$SECONDS
    [[ $1 == end ]] || echo "=== $1 ==="
}
summary() {
    step end
    echo "=== step times (total $SECONDS s) ==="
    printf '%s\n' "${timings[@]}"
}
trap summary EXIT

step apt
bash scripts/install-deps.sh

jobs=$(nproc)
for preset in linux asan tsan; do
    step "$preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs"
done

# The optimised build the README's first command runs: it must build
# warning-free too (the optimiser finds things a debug build does not).
step release
cmake --preset linux-release >/dev/null
cmake --build --preset linux-release -j "$jobs"

# The .deb made from it, checked as installed (own Xvfb display; screenshot
# in build/linux-release/artifacts).
step package
bash scripts/package-check.sh deb build/linux-release

# Fuzz targets from their seeds and crash inputs, a short run each here;
# scripts/fuzz.sh runs them longer.
step fuzz
bash scripts/fuzz.sh all "${UPDATER_FUZZ_SECONDS:-30}"

# The web page: WebAssembly build and its tests in headless Chromium
# (screenshots in build/web-test/artifacts).
step web
bash scripts/web-test.sh

# Windows: cross build, then every test under Wine. The runner creates the
# Wine prefix in the build tree on first use and starts the X server that
# the GUI check needs; --stop ends that session afterwards.
step mingw
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$jobs"
mingw_status=0
# With one retry for Wine's launch hiccups; every retried test is named, and
# one that needs the retry twice in a row fails the step.
bash scripts/ctest-retried.sh mingw "$jobs" || mingw_status=$?
WINEPREFIX="$PWD/build/mingw/wineprefix" scripts/wine-run.sh --stop
echo "--- package (zip) ---"
bash scripts/package-check.sh zip build/mingw || mingw_status=1
echo "screenshots in build/mingw/artifacts"
exit "$mingw_status"
