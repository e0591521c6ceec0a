#!/usr/bin/env bash
# A second start of zormouse exits with 0 at once, creates no window, and the first copy is
# asked to come to the front.
set -u
ZORMOUSE=$1
BUILD=$2
WORK=$3
rm -rf "$WORK" && mkdir -p "$WORK/run" && chmod 700 "$WORK/run"
# The autostart entry the program aligns at start goes to the work folder, not the user's.
export XDG_RUNTIME_DIR="$WORK/run" XDG_CONFIG_HOME="$WORK/config" ZOR_DEBUG=1 QT_QPA_PLATFORM=offscreen
cp -r "$BUILD/res" "$BUILD/res_black" "$BUILD/res_white" "$WORK/"

"$ZORMOUSE" --virtual-cable --home "$WORK" 2>"$WORK/first.log" &
first=$!
trap 'kill $first 2>/dev/null; wait $first 2>/dev/null' EXIT
fail() { echo "FAIL: $*"; echo "--- first"; cat "$WORK/first.log"; echo "--- second"; cat "$WORK/second.log" 2>/dev/null; exit 1; }

timeout 30 bash -c "until grep -q 'autostart entry' '$WORK/first.log'; do sleep 0.1; done" || fail "first copy did not start"
timeout 20 "$ZORMOUSE" --virtual-cable --home "$WORK" 2>"$WORK/second.log"
rc=$?
[ "$rc" -eq 0 ] || fail "second copy exited with $rc"
grep -q "another copy runs" "$WORK/second.log" || fail "second copy did not find the first"
! grep -q "autostart entry" "$WORK/second.log" || fail "second copy built a window"
timeout 10 bash -c "until grep -q 'restored at the request of a later start' '$WORK/first.log'; do sleep 0.1; done" \
  || fail "first copy was not restored"
kill -0 "$first" || fail "first copy ended"
# The session's termination signal ends the first copy the orderly way: exit code 0, its socket
# removed, and the next start runs as the first copy.
kill -TERM "$first"
timeout 20 bash -c "while kill -0 $first 2>/dev/null; do sleep 0.1; done" || fail "first copy did not end on SIGTERM"
wait "$first"
rc=$?
trap - EXIT
[ "$rc" -eq 0 ] || fail "first copy exited with $rc on SIGTERM"
[ ! -e "$WORK/run/ZorMouse.sock" ] || fail "the instance socket was left behind"
echo "second instance: ok"
