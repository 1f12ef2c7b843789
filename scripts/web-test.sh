#!/usr/bin/env bash
# Builds the web page for the tests (scripts/web-test-build.sh) and runs its
# browser tests in headless Chromium; screenshots land in
# build/web-test/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/web-test-build.sh
# The attack vectors are made by the command-line program (after the linux
# step of scripts/test-all.sh it is there already).
export CONTROLLER_UPDATER=${CONTROLLER_UPDATER:-$PWD/build/linux/bin/controller-updater}
if [[ ! -x $CONTROLLER_UPDATER ]]; then
    cmake --preset linux >/dev/null
    cmake --build --preset linux -j "${JOBS:-2}" --target controller-updater
fi
cd platform/web/tests
npm ci --no-audit --no-fund --silent
node --test --test-concurrency=1 web.test.mjs
node --test --test-concurrency=1 vectors.test.mjs
echo "screenshots in build/web-test/artifacts"
