#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program against the virtual mouse.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"
ZORCTL="$BUILD_DIR/tools/zorctl/zorctl"
echo "== Supported devices =="
"$ZORCTL" catalog
echo
echo "== Model description of MouseA =="
"$ZORCTL" feature
