#!/usr/bin/env bash
# zormouse read through AT-SPI at scale 2, as a screen reader reads it: a private X server, a
# private session bus with the accessibility registry, the program on the virtual mouse, and
# AtSpiTree.py walking its accessible tree. Exits 77 (skipped) only when the registry cannot start.
set -u
ZORMOUSE=$1
BUILD=$2
WORK=$3
HERE=$(cd "$(dirname "$0")" && pwd)
SCALE=2

if [[ "${ZOR_ATSPI_INNER:-}" != 1 ]]; then
  rm -rf "$WORK" && mkdir -p "$WORK/run" && chmod 700 "$WORK/run"
  cp -r "$BUILD/res" "$BUILD/res_black" "$BUILD/res_white" "$WORK/"
  for tool in xvfb-run dbus-run-session; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  export ZOR_ATSPI_INNER=1
  exec xvfb-run -a -s "-screen 0 2560x1600x24" dbus-run-session -- bash "$0" "$@"
fi

export XDG_RUNTIME_DIR="$WORK/run" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data"
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_SCALE_FACTOR=$SCALE

LAUNCHER=/usr/libexec/at-spi-bus-launcher
[[ -x "$LAUNCHER" ]] || { echo "SKIP: the AT-SPI registry (at-spi2-core) is not installed"; exit 77; }
/usr/bin/python3 -c "import pyatspi" 2>/dev/null || { echo "SKIP: python3-pyatspi is not installed"; exit 77; }

"$LAUNCHER" --launch-immediately >"$WORK/launcher.log" 2>&1 &
launcher=$!
app=
cleanup() {
  [[ -n "$app" ]] && kill "$app" 2>/dev/null && wait "$app" 2>/dev/null
  kill "$launcher" 2>/dev/null
  wait "$launcher" 2>/dev/null
}
trap cleanup EXIT

# The registry answers once the bus is up.
if ! timeout 20 bash -c 'until /usr/bin/python3 -c "import pyatspi; pyatspi.Registry.getDesktop(0).childCount" \
      >/dev/null 2>&1; do sleep 0.2; done'; then
  echo "SKIP: the AT-SPI registry did not start"
  cat "$WORK/launcher.log"
  exit 77
fi

"$ZORMOUSE" --virtual-cable --home "$WORK" >"$WORK/zormouse.log" 2>&1 &
app=$!
timeout 120 /usr/bin/python3 "${ZOR_ATSPI_SCRIPT:-$HERE/AtSpiTree.py}" "$SCALE"
rc=$?
if [[ $rc -ne 0 ]]; then
  echo "--- zormouse"
  tail -n 40 "$WORK/zormouse.log"
fi
exit $rc
