#!/usr/bin/env bash
# Runs a program built by emscripten under Node.js (the web preset's
# emulator): Node 20 cannot load emscripten 3.1.6's output through fetch.
exec node --no-experimental-fetch "$@"
