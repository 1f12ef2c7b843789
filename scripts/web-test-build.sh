#!/usr/bin/env bash
# Builds the web-test preset: the web page trusting a catalogue key of the
# browser tests, generated here into build/web-test/test_key (never
# committed), so the tests can sign catalogues the page verifies.
set -euo pipefail
cd "$(dirname "$0")/.."
key=build/web-test/test_key
if [[ ! -s $key/test.pub || ! -s $key/test.sec ]]; then
    mkdir -p "$key"
    rm -f "$key/test.pub" "$key/test.sec"
    signify-openbsd -G -n -c "catalogue key of the browser tests" -p "$key/test.pub" -s "$key/test.sec"
fi
cmake --preset web-test >/dev/null
cmake --build --preset web-test -j "${JOBS:-2}" "$@"
