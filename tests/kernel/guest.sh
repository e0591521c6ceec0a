#!/bin/sh
# Init of the kernel test's guest (busybox sh): loads the HID modules, starts udevd, then drives
# zorctl's real device path (hidapi on hidraw, the udev monitor, the input listeners) against the
# uhid mouse. Every check prints "KT PASS name" or "KT FAIL name" on the console, and the last
# line is "KT RESULT N passed, M failed"; then the guest powers off.
export PATH=/bin
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /run
mount -t tmpfs tmpfs /tmp
echo "KT BOOTED $(cut -d' ' -f1 /proc/uptime)"

passed=0
failed=0
pass() { echo "KT PASS $*"; passed=$((passed + 1)); }
fail() { echo "KT FAIL $*"; failed=$((failed + 1)); }
check() { # check NAME COMMAND...: passes when the command succeeds
  name=$1
  shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}
finish() {
  echo "KT RESULT $passed passed, $failed failed"
  echo "KT UPTIME $(cut -d' ' -f1 /proc/uptime)"
  sync
  reboot -f
}
show() { # a file on the console, for the log of a failed run
  echo "KT ---- $1"
  sed 's/^/KT | /' "$1"
}

# Waits (at most $2 tenths of a second, default 100) until the command $1 succeeds.
wait_until() {
  i=0
  limit=${2:-100}
  while ! eval "$1"; do
    i=$((i + 1))
    [ $i -ge "$limit" ] && return 1
    sleep 0.1
  done
  return 0
}

for m in $(cat /etc/modules); do
  insmod "/lib/modules/$m" || fail "insmod $m"
done
check "uhid device node" wait_until '[ -c /dev/uhid ]'

/lib/systemd/systemd-udevd --daemon 2> /tmp/udevd.log
check "udevd answers" udevadm control --ping --timeout=20
udevadm monitor --udev --kernel --subsystem-match=hidraw > /tmp/udev.events 2>&1 &

# The uhid mouse reads commands from a fifo and answers each with one "ok"/"error" line.
sent=0
start_mouse() {
  rm -f /tmp/mouse.in /tmp/mouse.out
  mkfifo /tmp/mouse.in
  uhid_mouse "$1" < /tmp/mouse.in > /tmp/mouse.out 2>&1 &
  MOUSE=$!
  exec 3> /tmp/mouse.in
  sent=1
  wait_until 'answers_at_least 1'
}
answers_at_least() { [ "$(grep -c '^\(ok\|error\) ' /tmp/mouse.out)" -ge "$1" ]; }
mouse() {
  echo "$*" >&3
  sent=$((sent + 1))
  wait_until "answers_at_least $sent" && grep '^\(ok\|error\) ' /tmp/mouse.out | tail -1 | grep -qx "ok $*"
}
stop_mouse() {
  mouse quit
  exec 3>&-
  wait "$MOUSE"
}
hidraw_count() { ls /sys/class/hidraw 2> /dev/null | wc -l; }
# Waits until N hidraw nodes exist and udevd has handled every event.
settle_nodes() { wait_until "[ \$(hidraw_count) -eq $1 ]" && udevadm settle --timeout=20; }

# Fresh copies of the program folder: one for the real path, one for the virtual mouse.
fresh_homes() {
  rm -rf /hk /hv
  mkdir /hk /hv
  cp -r /zor/res /hk/res
  cp -r /zor/res /hv/res
}

# The frames the uhid mouse's firmware received, as "XX XX ..." lines.
firmware_frames() {
  n=$(wc -l < /tmp/mouse.out)
  mouse frames || return 1
  tail -n +"$((n + 1))" /tmp/mouse.out | sed -n 's/^frame //p'
}
sent_frames() { sed -n 's/^> //p' "$1" | tr a-f A-F; }
# Profile identifiers are drawn at random on every apply: their payload is masked to compare runs.
mask_ids() { sed -E 's/^([<>] 06 00 00 (02|82) [0-9a-f]{2} 01 00 00 [0-9a-f]{2}) [0-9a-f]{2} [0-9a-f]{2} [0-9a-f]{2} [0-9a-f]{2} [0-9a-f]{2} [0-9a-f]{2} [0-9a-f]{2} [0-9a-f]{2}/\1 ## ## ## ## ## ## ## ##/' "$1"; }

# Fds of the watch process on hidraw nodes: the two handles of the match and the listener's own
# (only links to the nodes count: libudev's enumeration briefly holds sysfs files of the same name).
hidraw_fds() { ls -l "/proc/$1/fd" 2> /dev/null | grep -c -- '-> /dev/hidraw'; }

# Runs a command of the trace pair on the real path (/hk) and on the virtual mouse (/hv), and
# checks that both exchange the same frames and that the firmware received exactly what was sent.
trace_pair() {
  what=$1
  shift
  firmware_frames > /dev/null
  if zorctl --home /hk --trace "$@" > "/tmp/k-$what.out" 2> "/tmp/k-$what.trace"; then pass "$what on the real path"; else
    fail "$what on the real path"
    show "/tmp/k-$what.out"
    show "/tmp/k-$what.trace"
  fi
  zorctl --home /hv --virtual --trace "$@" > "/tmp/v-$what.out" 2> "/tmp/v-$what.trace"
  mask_ids "/tmp/k-$what.trace" > /tmp/k.masked
  mask_ids "/tmp/v-$what.trace" > /tmp/v.masked
  if [ -s /tmp/k.masked ] && cmp -s /tmp/k.masked /tmp/v.masked; then
    pass "$what: the same frames as the virtual mouse ($(grep -c '^>' "/tmp/k-$what.trace") sent)"
  else
    fail "$what: frames differ from the virtual mouse's"
    diff /tmp/v.masked /tmp/k.masked | head -20 | sed 's/^/KT | /'
  fi
  firmware_frames > /tmp/fw.frames
  sent_frames "/tmp/k-$what.trace" > /tmp/sent.frames
  if [ -s /tmp/sent.frames ] && cmp -s /tmp/sent.frames /tmp/fw.frames; then
    pass "$what: the firmware received every frame byte for byte"
  else
    fail "$what: the firmware received other frames"
    diff /tmp/sent.frames /tmp/fw.frames | head -20 | sed 's/^/KT | /'
  fi
}

start_watch() {
  ZOR_DEBUG=1 zorctl --home /hk watch > /tmp/watch.log 2> /tmp/watch.err &
  WATCH=$!
  wait_until "[ \$(hidraw_fds $WATCH) -ge 3 ]" || return 1
  ls -l "/proc/$WATCH/fd" > /tmp/watch.fds
  grep -H . /sys/class/hidraw/*/device/uevent >> /tmp/watch.fds
}
watch_has() { grep -q "$1" /tmp/watch.log; }
stop_watch() {
  kill -INT "$WATCH"
  wait "$WATCH"
}

# ---- The mouse on its cable: two interfaces of 3A5C:1001.
fresh_homes
check "cable: uhid mouse started" start_mouse cable
check "cable: two hidraw nodes" settle_nodes 2
zorctl --home /hk devices > /tmp/devices.out 2>&1
if grep -q '^ 0  Zor MouseA  found: yes  matched: Zor MouseA  path: /DEV/HIDRAW' /tmp/devices.out &&
  grep -q '^ 1  Zor MouseA 2.4G  found: no' /tmp/devices.out; then pass "cable: devices finds it by ids and usage page"; else
  fail "cable: devices"
  show /tmp/devices.out
fi

trace_pair read read
trace_pair apply apply

check "cable: watch listens" start_watch
check "cable: watch sees the DPI button" mouse click dpi
if wait_until 'watch_has "^2031 dpi .* key=5"'; then pass "cable: dpi event from an input report"; else fail "cable: dpi event"; fi
check "cable: unplug" mouse unplug
if wait_until 'watch_has "^537 device-change removal 3A5C:1001 .* changed=1 found=- listeners=0"'; then pass "cable: removal"; else fail "cable: removal"; fi
check "cable: replug" mouse replug
if wait_until 'watch_has "^537 device-change arrival 3A5C:1001 .* changed=1 found=0 listeners=1"'; then pass "cable: arrival with a listener"; else fail "cable: arrival"; fi
check "cable: listener reading again" wait_until "[ \$(hidraw_fds $WATCH) -ge 3 ]"
mouse click profile
if wait_until 'watch_has "^2032 profile .* value=1 key=6"'; then pass "cable: profile event after the replug"; else fail "cable: profile event after the replug"; fi
check "cable: watch ends on SIGINT" stop_watch
show /tmp/watch.log
if [ "$failed" -ne 0 ]; then
  show /tmp/watch.err
  show /tmp/watch.fds
  show /tmp/mouse.out
fi
stop_mouse
check "cable: nodes gone" settle_nodes 0

# ---- The receiver: a plain mouse interface and the two collections, all 3A5C:1002.
fresh_homes
check "receiver: uhid mouse started" start_mouse receiver
check "receiver: three hidraw nodes" settle_nodes 3
zorctl --home /hk devices > /tmp/devices.out 2>&1
if grep -q '^ 1  Zor MouseA 2.4G  found: yes' /tmp/devices.out && grep -q '^ 0  Zor MouseA  found: no' /tmp/devices.out; then
  pass "receiver: devices finds it"
else
  fail "receiver: devices"
  show /tmp/devices.out
fi
trace_pair receiver-read read
check "receiver: watch listens" start_watch
check "receiver: its plain mouse interface leaves" mouse remove 0
if wait_until 'watch_has "^537 device-change removal 3A5C:1002 .* changed=0 found=1 listeners=1"'; then
  pass "receiver: stays found while its collections are present"
else
  fail "receiver: entry lost with its second interface"
fi
zorctl --home /hk devices > /tmp/devices.out 2>&1
check "receiver: devices still finds it" grep -q '^ 1  Zor MouseA 2.4G  found: yes' /tmp/devices.out
mouse click lighting
if wait_until 'watch_has "^2040 lighting .* value=130"'; then pass "receiver: lighting event"; else fail "receiver: lighting event"; fi
check "receiver: unplug" mouse unplug
if wait_until 'watch_has "^537 device-change removal 3A5C:1002 .* changed=1 found=- listeners=0"'; then pass "receiver: removal"; else fail "receiver: removal"; fi
check "receiver: replug" mouse replug
if wait_until 'watch_has "^537 device-change arrival 3A5C:1002 .* changed=1 found=1 listeners=1"'; then pass "receiver: arrival"; else fail "receiver: arrival"; fi
check "receiver: watch ends on SIGINT" stop_watch
show /tmp/watch.log
stop_mouse

if [ "$failed" -ne 0 ]; then
  show /tmp/udevd.log
  show /tmp/mouse.out
  show /tmp/udev.events
  show /tmp/watch.err
  show /tmp/watch.fds
fi
finish
