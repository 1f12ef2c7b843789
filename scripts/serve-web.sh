#!/usr/bin/env bash
# Builds the web page and serves it on http://localhost:8080 (WebHID needs
# https or localhost). Any static server will do; no special headers.
set -euo pipefail
cd "$(dirname "$0")/.."
# What the page's build needs (emscripten, rsvg-convert), on a machine that
# scripts/run.sh set up with the native group alone.
UPDATER_WITH_WINDOWS=0 UPDATER_WITH_PACKAGE_CHECK=0 UPDATER_WITH_FUZZ=0 UPDATER_WITH_WEB=1 bash scripts/install-deps.sh
cmake --preset web >/dev/null
cmake --build --preset web -j "${JOBS:-2}"
echo "http://localhost:8080/  (demo: http://localhost:8080/?simulate=stream)"
exec python3 -m http.server 8080 --bind 127.0.0.1 --directory build/web/site
