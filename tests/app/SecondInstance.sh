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
# A copy that was killed leaves no lock behind: the next start runs as the first copy.
kill -KILL "$first"
wait "$first" 2>/dev/null
trap - EXIT
timeout 30 "$ZORMOUSE" --virtual-cable --home "$WORK" 2>"$WORK/third.log" &
third=$!
trap 'kill $third 2>/dev/null; wait $third 2>/dev/null' EXIT
timeout 30 bash -c "until grep -q 'autostart entry' '$WORK/third.log'; do sleep 0.1; done" \
  || fail "a start after a killed copy did not run"
! grep -q "another copy runs" "$WORK/third.log" || fail "a killed copy's lock was taken for a running one"
echo "second instance: ok"
