#!/usr/bin/env bash
# zormouse with damaged start-up resources: a damaged description or main skin file ends the
# program with exit code 1 and a message naming the file (and the key of a number out of range),
# never an empty window; a font list that is a folder, or FIFOs in place of the device list
# package, the BLE list and a skin picture, are no reason to stop.
set -u
ZORMOUSE=$1
BUILD=$2
WORK=$3
rm -rf "$WORK" && mkdir -p "$WORK"
export QT_QPA_PLATFORM=offscreen
failures=0

# Runs zormouse on a fresh program folder after the damage command; sets rc and err.
run() {
  local damage=$1
  rm -rf "$WORK/home" "$WORK/run" && mkdir -p "$WORK/home" "$WORK/run" && chmod 700 "$WORK/run"
  cp -r "$BUILD/res" "$BUILD/res_black" "$BUILD/res_white" "$WORK/home/"
  (cd "$WORK/home" && eval "$damage")
  XDG_RUNTIME_DIR="$WORK/run" XDG_CONFIG_HOME="$WORK/config" timeout 60 \
    "$ZORMOUSE" --virtual-cable --home "$WORK/home" --screenshot "$WORK/home/shot.png" \
    >/dev/null 2>"$WORK/err.txt"
  rc=$?
  err=$(cat "$WORK/err.txt")
}

expect_refused() {
  local what=$1 damage=$2 file=$3
  run "$damage"
  if [ "$rc" -ne 1 ] || ! grep -q "zormouse: .*$file" "$WORK/err.txt" || [ -e "$WORK/home/shot.png" ]; then
    echo "FAIL: $what: exit $rc, no message naming $file or a window was shown"; echo "$err"
    failures=$((failures + 1))
  else
    echo "ok: $what: $(grep 'zormouse: ' "$WORK/err.txt" | head -1)"
  fi
}

expect_runs() {
  local what=$1 damage=$2
  run "$damage"
  if [ "$rc" -ne 0 ] || [ ! -s "$WORK/home/shot.png" ]; then
    echo "FAIL: $what: exit $rc without a picture of the window"; echo "$err"
    failures=$((failures + 1))
  else
    echo "ok: $what"
  fi
}

feature=res/MouseVarn/MouseA/Config/DeviceFeature.ini
expect_refused "description truncated" "head -c 60 $feature > x && mv x $feature" DeviceFeature.ini
expect_refused "description a folder" "rm $feature && mkdir $feature" DeviceFeature.ini
expect_refused "skin folder missing" "sed -i 's/^ResPath=.*/ResPath=res_gone/' $feature" DeviceFeature.ini
expect_refused "main skin garbage" "head -c 300 /dev/urandom > res_black/MainWnd.xml" MainWnd.xml
expect_refused "main skin without controls" "echo '<Window size=\"990,690\"/>' > res_black/MainWnd.xml" MainWnd.xml
expect_refused "description number out of range" \
  "sed -i 's/^GEAR_MAX_VALUE=26000/GEAR_MAX_VALUE=9223372036854775808/' $feature" "GEAR_MAX_VALUE"
expect_runs "font list a folder" "rm -f res/Language/ExFont.json && mkdir res/Language/ExFont.json"
# A FIFO is never opened as a data file: the window is built and synchronised all the same.
expect_runs "device list package, BLE list and a skin picture FIFOs" \
  "rm res/Home/Icons/Ndevice.zip res/Home/Icons/ble.json res_black/common/logo.svg &&
   mkfifo res/Home/Icons/Ndevice.zip res/Home/Icons/ble.json res_black/common/logo.svg"
[ "$failures" -eq 0 ] || exit 1
echo "damaged resources: ok"
