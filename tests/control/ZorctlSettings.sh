#!/usr/bin/env bash
# End-to-end: zorctl get / set dpi / set rate / set power / reset against the virtual mouse, in a copy of the
# program folder. Each change is saved and sent as the program's page sends it; bad input is
# refused with one line and exit code 1, changing no file.
set -euo pipefail
ZORCTL=$1
BUILD=$2
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cp -r "$BUILD/res" "$WORK/res"
HOME_DIR="$WORK"
CONFIG="$WORK/res/MouseVarn/MouseA/Config/MouseConfig.json"
fail() { echo "FAIL: $*" >&2; exit 1; }
zor() { "$ZORCTL" --home "$HOME_DIR" --virtual "$@"; }
sums() { find "$WORK/res" -type f -print0 | sort -z | xargs -0 md5sum; }

# A DPI value of a gear: saved, shown by get, and sent as the DPI write (gear 1 = bytes 4..5 of
# the payload) followed by the renewed profile identifier, nothing else after the identity read.
zor --trace set dpi --profile 0 --gear 1 --value 1600 > "$WORK/out" 2> "$WORK/trace" || fail "set dpi failed: $(cat "$WORK/trace")"
sent=$(grep '^>' "$WORK/trace" | cut -c1-16)
expected=$'> 06 00 00 81 01\n> 06 00 00 06 02\n> 06 00 00 02 03'
[[ "$sent" == "$expected" ]] || fail "set dpi sent:\n$sent"
grep '^> 06 00 00 06' "$WORK/trace" | grep -q '^> 06 00 00 06 02 00 00 00 14 .. .. .. .. 40 06' || fail "gear 1 is not 1600 on the wire"
zor --json get --profile 0 > "$WORK/get.json"
grep -A1 '"gear": 1,' "$WORK/get.json" | grep -q '"label": "1600"' || fail "get does not show gear 1 at 1600"
grep -q '1600' "$CONFIG" || fail "the document was not saved"

# Bad input: one line, exit 1, no file touched.
before=$(sums)
for args in "dpi --profile 0 --gear 9 --value 800" "dpi --profile 0 --gear 1 --value 1234" \
            "dpi --profile 3 --gear 1 --value 800" "rate --profile 0 333" "dpi --gear 1 --value 800"; do
  set +e
  zor set $args > "$WORK/out" 2> "$WORK/err"
  rc=$?
  set -e
  [[ $rc -eq 1 ]] || fail "set $args: exit $rc"
  [[ $(wc -l < "$WORK/err") -eq 1 ]] || fail "set $args: not one line: $(cat "$WORK/err")"
done
[[ "$(sums)" == "$before" ]] || fail "refused input changed a file"

# The report rate: the op-3 write of the option's code (1000 Hz = option 3 = code 1).
zor --trace set rate --profile 0 1000 > /dev/null 2> "$WORK/trace" || fail "set rate failed"
grep -q '^> 06 00 00 03 02 00 00 00 01 01' "$WORK/trace" || fail "no report-rate write of code 1: $(cat "$WORK/trace")"

# Power options: Set.ini written, get shows them, and each value goes out as its own single write
# (after the sequence byte: sleep time op 2 item 3 in seconds, little-endian; short press op 10
# item 2; lift-off op 2 item 6, index 1 = code 2 on this chip).
zor --trace set power sleeptime=10 ShortPress=5 LODHeight=1 > "$WORK/out" 2> "$WORK/trace" || fail "set power failed: $(cat "$WORK/trace")"
grep -q '^SleepTime=10' "$WORK/res/Set.ini" || fail "SleepTime not written"
grep -q '^ShortPress=5' "$WORK/res/Set.ini" || fail "ShortPress not written"
grep -q '^> 06 00 00 02 .. 03 00 00 02 58 02' "$WORK/trace" || fail "no sleep-time write of 600 s: $(grep '^>' "$WORK/trace")"
grep -q '^> 06 00 00 0a .. 02 00 00 01 05' "$WORK/trace" || fail "no short-press write of 5"
grep -q '^> 06 00 00 02 .. 06 00 00 01 02' "$WORK/trace" || fail "no lift-off write"
[[ $(grep -c '^> 06 00 00 06' "$WORK/trace") -eq 0 ]] || fail "set power sent DPI writes"
zor --json get > "$WORK/get.json"
grep -q '"SleepTime": 10' "$WORK/get.json" || fail "get does not show SleepTime 10"
before=$(sums)
for args in "SleepTime=0" "SleepTime=121" "NoSuch=1" "SleepTime" "LODHeight=2" "SleepTime=5 SleepTime=6" "SleepTime=-1" \
            "PDTime=5" "SleepTime=31" "SleepTime=40 PDTime=35"; do
  set +e
  zor set power $args > "$WORK/out" 2> "$WORK/err"
  rc=$?
  set -e
  [[ $rc -eq 1 ]] || fail "set power $args: exit $rc"
  [[ $(wc -l < "$WORK/err") -eq 1 ]] || fail "set power $args: not one line: $(cat "$WORK/err")"
done
[[ "$(sums)" == "$before" ]] || fail "refused power input changed a file"

# Reset: refused with a damaged factory file, nothing changed; then done for real.
cp "$WORK/res/MouseVarn/MouseA/Config/ResetMouseConfig.json" "$WORK/reset.json"
echo '{"mouseconfig": ' > "$WORK/res/MouseVarn/MouseA/Config/ResetMouseConfig.json"
before=$(sums)
set +e
zor reset > /dev/null 2> "$WORK/err"
rc=$?
set -e
[[ $rc -eq 1 ]] || fail "reset with a damaged factory file: exit $rc"
[[ "$(sums)" == "$before" ]] || fail "a refused reset changed a file"
cp "$WORK/reset.json" "$WORK/res/MouseVarn/MouseA/Config/ResetMouseConfig.json"
echo "[Set]" > "$WORK/res/Set.ini"
zor --trace reset > /dev/null 2> "$WORK/trace" || fail "reset failed: $(cat "$WORK/trace")"
grep -q '^SleepTime=' "$WORK/res/Set.ini" || fail "reset did not write the factory power options"
grep -c '^> 06 00 00 06' "$WORK/trace" > /dev/null || fail "reset pushed no DPI write"
echo "zorctl settings: all checks passed"
