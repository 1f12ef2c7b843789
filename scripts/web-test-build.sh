#!/usr/bin/env bash
# Builds the web-test presets: the web page trusting a catalogue key of the
# browser tests (build/web-test), and one built with three root keys, 2 of
# 3 (build/web-test-chain), that follows a key chain; the keys are generated
# here (never committed), so the tests can sign what the page verifies.
set -euo pipefail
cd "$(dirname "$0")/.."

# signify key pair dir/name.{pub,sec}, made once.
make_key() {
    local dir=$1 name=$2 comment=$3
    if [[ ! -s $dir/$name.pub || ! -s $dir/$name.sec ]]; then
        mkdir -p "$dir"
        rm -f "$dir/$name.pub" "$dir/$name.sec"
        signify-openbsd -G -n -c "$comment" -p "$dir/$name.pub" -s "$dir/$name.sec"
    fi
}

make_key build/web-test/test_key test "catalogue key of the browser tests"
for n in 1 2 3; do
    make_key build/web-test-chain/test_roots "root$n" "root key $n of the browser tests"
done
for preset in web-test web-test-chain; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "${JOBS:-2}" "$@"
done
