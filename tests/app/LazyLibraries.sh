#!/bin/sh
# Starts zormouse against the virtual mouse until its window shows the mouse (--screenshot), with
# the dynamic loader reporting every library it maps, and fails when libcurl, libcrypto or libssl
# was among them: those are opened with the first download, checksum or BLE connection, and
# loading them at start costs every run memory and start-up time.
set -eu
ZORMOUSE=$1
BUILD=$2
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/run" && chmod 700 "$WORK/run"
# Nothing of the user running the test is touched (the autostart entry lives in the config folder).
export XDG_RUNTIME_DIR="$WORK/run" XDG_CONFIG_HOME="$WORK/config"
mkdir -p "$WORK/home"
cp -r "$BUILD/res" "$BUILD/res_black" "$BUILD/res_white" "$WORK/home/"
if ! LD_DEBUG=files LD_DEBUG_OUTPUT="$WORK/ld" QT_QPA_PLATFORM=offscreen \
    "$ZORMOUSE" --virtual-cable --home "$WORK/home" --screenshot "$WORK/shot.png" >"$WORK/out" 2>&1; then
    cat "$WORK/out"
    echo "zormouse did not start"
    exit 1
fi
grep -q "screenshot saved" "$WORK/out" || { cat "$WORK/out"; echo "no screenshot"; exit 1; }
grep -q "file=libQt6Widgets" "$WORK"/ld.* || { echo "the loader reported nothing"; exit 1; }
if grep -h "file=lib\(curl\|crypto\|ssl\)\.so" "$WORK"/ld.*; then
    echo "loaded at start: see the lines above"
    exit 1
fi
echo "no network or crypto library loaded at start"
