#!/usr/bin/env bash
# zorctl macro editing on a copy of the program folder: every command changes the library as the
# page would, and bad input is refused with one line, exit 1 and the file left byte for byte.
set -u
ZORCTL=$1
SOURCE=$2
WORK=$3
rm -rf "$WORK" && mkdir -p "$WORK"
cp -r "$SOURCE/res" "$WORK/"
LIB="$WORK/res/MacroVarn/MacroData/macroConfig.json"
z() { "$ZORCTL" --home "$WORK" "$@"; }
fail() { echo "FAIL: $*"; exit 1; }
expect_ok() { out=$(z "$@" 2>&1) || fail "zorctl $* exited $?: $out"; }
# Refused: exit 1, exactly one line on stderr, nothing on stdout, the library unchanged.
expect_refused() {
  local before after err
  before=$(sha256sum "$LIB")
  err=$(z "$@" 2>&1 >/dev/null)
  local rc=$?
  [ "$rc" -eq 1 ] || fail "zorctl $* exited $rc, not 1"
  [ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] || fail "zorctl $* wrote more than one line: $err"
  after=$(sha256sum "$LIB")
  [ "$before" = "$after" ] || fail "zorctl $* changed the library"
}

expect_ok macro add-group Work
expect_ok macro add-group Work
[ "$out" = "added group Work1" ] || fail "second group not named uniquely: $out"
expect_ok macro add Hello --group Work
expect_ok macro add Hello --group Work
[ "$out" = "added macro Work/Hello1" ] || fail "second macro not named uniquely: $out"
expect_ok macro insert Work/Hello --at 0 key:H:down:20
expect_ok macro insert Work/Hello --at 1 key:H:up:150
expect_ok macro insert Work/Hello --at 0 mouse:left:down:10
expect_ok macro insert Work/Hello --at 3 move:-5,10:10
expect_ok macro insert Work/Hello --at 4 dpi:400:0
expect_ok macro events Work/Hello
expected=$'0  mouse:left:down:10\n1  key:H:down:20\n2  key:H:up:150\n3  move:-5,10:10\n4  dpi:400:0'
[ "$out" = "$expected" ] || fail "events: $out"
expect_ok --json macro events Work/Hello
echo "$out" | grep -q '"rptType": 1' || fail "a DPI event did not switch a count loop to until-release"
echo "$out" | grep -q '"numXY"' && fail "unexpected member"
expect_ok macro delete-event Work/Hello --at 0
expect_ok macro events Work/Hello
[ "$(echo "$out" | head -1)" = "0  key:H:down:20" ] || fail "delete-event: $out"
expect_ok macro loop Work/Hello times 7
expect_ok --json macro events Work/Hello
echo "$out" | grep -q '"macRpt": 7' || fail "loop times: $out"
echo "$out" | grep -q '"rptType": 0' || fail "loop times mode: $out"
expect_ok macro loop Work/Hello until-click
expect_refused macro rename Work/Hello1 Hello
expect_ok macro add Spare --group Work
expect_ok macro rename Work/Spare Hello
[ "$out" = "renamed to Hello2" ] || fail "rename did not keep the unique-name rule: $out"
expect_ok macro rename Work1 Games
expect_ok macro list
echo "$out" | grep -q "Games" || fail "group rename: $out"

expect_refused macro add-group ""
expect_refused macro add Nope --group Missing
expect_refused macro events Work/Missing
expect_refused macro insert Work/Hello --at 99 key:A:down:1
expect_refused macro insert Work/Hello --at 0 key:NoSuchKey:down:1
expect_refused macro insert Work/Hello --at 0 key:A:sideways:1
expect_refused macro insert Work/Hello --at 0 key:A:down:50001
expect_refused macro insert Work/Hello --at 0 key:A:down:-1
expect_refused macro insert Work/Hello --at 0 move:40000,1:1
expect_refused macro insert Work/Hello --at 0 dpi:800:1
expect_refused macro insert Work/Hello --at 0 mouse:k6:down:1
expect_refused macro insert Work/Hello --at x key:A:down:1
expect_refused macro delete-event Work/Hello --at 4
expect_refused macro loop Work/Hello times 0
expect_refused macro loop Work/Hello times 65536
expect_refused macro loop Work/Hello forever
expect_refused macro rename Work/Hello ""
expect_refused macro remove Nothing/Here

# A full macro refuses further events.
expect_ok macro add Full --group Work
python3 - "$LIB" <<'PY'
import json, sys
path = sys.argv[1]
doc = json.load(open(path))
for g in doc["MacroGrpInfo"]:
    for m in g.get("MacroInfo", []):
        if m["MacroName"] == [ord(c) for c in "Full"]:
            d = m["macData"]
            d["num"] = 500
            d["macVal"] = [4] * 500
            d["macSta"] = [1, 2] * 250
            d["macDly"] = [1] * 500
json.dump(doc, open(path, "w"), indent=4)
PY
expect_refused macro insert Work/Full --at 0 key:A:down:1

# Bound macros are removed only with --force.
python3 - "$LIB" <<'PY'
import json, sys
path = sys.argv[1]
doc = json.load(open(path))
for g in doc["MacroGrpInfo"]:
    for m in g.get("MacroInfo", []):
        if m["MacroName"] == [ord(c) for c in "Hello"]:
            m["BindKeys"] = 1
            m["BindKeysInfo"] = [{"BindDeviceName": [77], "BindKeysData": [{"KeyName": "Left", "Config": "1"}]}]
json.dump(doc, open(path, "w"), indent=4)
PY
expect_refused macro remove Work/Hello
expect_refused macro remove Work
expect_ok macro remove Work/Hello --force
expect_ok macro remove Work
expect_ok macro list
echo "$out" | grep -q "^[0-9]*  Work$" && fail "group not removed: $out"
echo "zorctl macro editing: ok"
