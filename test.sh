#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit, gui, e2e).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZOR_WERROR=ON >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"
cd "$BUILD_DIR"
# GUI tests run offscreen; nothing here needs a display.
export QT_QPA_PLATFORM=offscreen
ctest -j "$(nproc)" --output-on-failure --timeout 300 "$@"
