#!/usr/bin/env bash
# Figures of the web page against the native benchmark (no verdicts).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/web-test-build.sh >/dev/null
cmake --preset linux-release >/dev/null
cmake --build --preset linux-release -j "${JOBS:-2}" --target update_bench catalogue_bench >/dev/null
cd platform/web/tests
npm ci --no-audit --no-fund --silent
node bench.mjs
