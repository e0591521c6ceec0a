#!/usr/bin/env bash
# The zormouse program itself serves the session bus (run under dbus-run-session): its interface is
# found by name, zorctl goes through it (the window's reports, not a second mouse of zorctl's own),
# and the service leaves the bus with the program.
set -u
ZORMOUSE=$1
ZORCTL=$2
BUILD=$3
WORK=$4
rm -rf "$WORK" && mkdir -p "$WORK/run" "$WORK/home" && chmod 700 "$WORK/run"
export XDG_RUNTIME_DIR="$WORK/run" XDG_CONFIG_HOME="$WORK/config" QT_QPA_PLATFORM=offscreen
unset ZOR_DEBUG
cp -r "$BUILD/res" "$BUILD/res_black" "$BUILD/res_white" "$WORK/home/"
NAME=example.zormouse.ZorMouse
OBJECT=/example/zormouse/ZorMouse

"$ZORMOUSE" --virtual-cable --home "$WORK/home" 2>"$WORK/program.log" &
program=$!
trap 'kill $program 2>/dev/null; wait $program 2>/dev/null' EXIT
fail() { echo "FAIL: $*"; echo "--- program"; tail -20 "$WORK/program.log"; exit 1; }

timeout 30 bash -c "until gdbus introspect --session --dest $NAME --object-path $OBJECT >/dev/null 2>&1; do sleep 0.2; done" \
  || fail "the program did not take $NAME on the session bus"
gdbus introspect --session --dest $NAME --object-path $OBJECT | grep -q "SetReportRate" || fail "no SetReportRate"
folder=$(gdbus call --session --dest $NAME --object-path $OBJECT --method org.freedesktop.DBus.Properties.Get $NAME ProgramFolder)
[[ "$folder" == *"$WORK/home"* ]] || fail "ProgramFolder is $folder"

# The status zorctl prints comes from the program's own read: its frames are the program's.
"$ZORCTL" --home "$WORK/home" --virtual --trace status >"$WORK/status.out" 2>"$WORK/status.err" \
  || fail "status through the program: $(cat "$WORK/status.err")"
grep -q '^Device: ' "$WORK/status.out" || fail "status printed $(cat "$WORK/status.out")"
grep -q '^> ' "$WORK/status.err" && grep -q '^< ' "$WORK/status.err" || fail "no frames handed back: $(cat "$WORK/status.err")"

# A desktop names the focused application: the mouse's profile follows the rules, and status
# shows both; an empty id is refused.
"$ZORCTL" --home "$WORK/home" app-profiles add org.example.Editor 2 >/dev/null || fail "app-profiles add"
"$ZORCTL" --home "$WORK/home" app-profiles enable >/dev/null || fail "app-profiles enable"
gdbus call --session --dest $NAME --object-path $OBJECT --method $NAME.FocusedApplication org.example.Editor \
  >/dev/null || fail "FocusedApplication was not taken"
followed=""
for _ in $(seq 1 30); do
  "$ZORCTL" --home "$WORK/home" --virtual --json status >"$WORK/focus.out" 2>"$WORK/focus.err"
  if grep -q '"activeProfile": 2' "$WORK/focus.out" && grep -q '"focusedApplication": "org.example.Editor"' "$WORK/focus.out"; then
    followed=yes; break
  fi
  sleep 0.1
done
[[ -n "$followed" ]] || fail "the profile did not follow the focused application: $(cat "$WORK/focus.out" "$WORK/focus.err")"
gdbus call --session --dest $NAME --object-path $OBJECT --method $NAME.FocusedApplication "" >/dev/null 2>&1 \
  && fail "an empty application id was taken"

kill $program
wait $program 2>/dev/null
trap - EXIT
# With the program gone zorctl works in-process again.
"$ZORCTL" --home "$WORK/home" --virtual status >/dev/null 2>"$WORK/alone.err" || fail "status in-process: $(cat "$WORK/alone.err")"
! gdbus introspect --session --dest $NAME --object-path $OBJECT >/dev/null 2>&1 || fail "$NAME stayed on the bus"
echo "dbus service of the program: ok"
