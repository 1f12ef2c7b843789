#!/usr/bin/env bash
# Builds the web page for the tests (scripts/web-test-build.sh) and runs its
# browser tests in headless Chromium; screenshots land in
# build/web-test/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/web-test-build.sh
cd platform/web/tests
npm ci --no-audit --no-fund --silent
node --test --test-concurrency=1 web.test.mjs
echo "screenshots in build/web-test/artifacts"
