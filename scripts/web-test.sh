#!/usr/bin/env bash
# Builds the web page (web preset) and runs its browser tests in headless
# Chromium; screenshots land in build/web/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset web >/dev/null
cmake --build --preset web -j "${JOBS:-2}"
cd platform/web/tests
npm ci --no-audit --no-fund --silent
node --test --test-concurrency=1 web.test.mjs
echo "screenshots in build/web/artifacts"
