#!/usr/bin/env bash
# Sets everything up, builds the updater and runs it. With no supported
# controller attached it runs against a simulated one.
set -euo pipefail
cd "$(dirname "$0")/.."

UPDATER_WITH_WINDOWS=0 UPDATER_WITH_PACKAGE_CHECK=0 UPDATER_WITH_FUZZ=0 UPDATER_WITH_WEB=0 bash scripts/install-deps.sh
cmake --preset linux-release >/dev/null
cmake --build --preset linux-release -j "$(nproc)"
# The dialog when a display is there, the console otherwise.
exec build/linux-release/bin/controller-updater-qt "$@"
