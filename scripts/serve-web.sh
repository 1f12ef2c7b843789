#!/usr/bin/env bash
# Builds the web page and serves it on http://localhost:8080 (WebHID needs
# https or localhost). Any static server will do; no special headers.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset web >/dev/null
cmake --build --preset web -j "${JOBS:-2}"
echo "http://localhost:8080/  (demo: http://localhost:8080/?simulate=stream)"
exec python3 -m http.server 8080 --bind 127.0.0.1 --directory build/web/site
