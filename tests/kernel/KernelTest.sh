#!/usr/bin/env bash
# The real device path against a Linux kernel: boots the distribution's kernel under QEMU with an
# initramfs made here (busybox, the hid and uhid modules, udevd, zorctl, the uhid mouse and the
# program folder), runs tests/kernel/guest.sh inside as init and reads its verdict from the
# serial console. It runs under TCG; ZOR_KERNEL_TEST_KVM=1 uses KVM where /dev/kvm can be opened.
#
#   KernelTest.sh ZORCTL UHID_MOUSE BUILD_DIR WORK_DIR
#
# Everything it needs comes from scripts/deps.sh; a missing piece is a failure, not a skip.
set -euo pipefail
ZORCTL=$1
MOUSE=$2
BUILD=$3
WORK=$4
HERE=$(cd "$(dirname "$0")" && pwd)
BOOT_LIMIT=${ZOR_KERNEL_TEST_LIMIT:-240}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The newest installed kernel that has both its image and its modules.
KVER=""
for dir in $(ls -d /lib/modules/*/ 2>/dev/null | sort -V); do
  v=$(basename "$dir")
  if [[ -r /boot/vmlinuz-$v && -r /lib/modules/$v/modules.dep ]]; then KVER=$v; fi
done
[[ -n $KVER ]] || fail "no kernel image with modules in /boot and /lib/modules (scripts/deps.sh installs linux-image-amd64)"
KERNEL=/boot/vmlinuz-$KVER
QEMU=$(command -v qemu-system-x86_64) || fail "qemu-system-x86_64 missing (scripts/deps.sh installs qemu-system-x86)"
BUSYBOX=/bin/busybox
[[ -x $BUSYBOX ]] && ! ldd "$BUSYBOX" >/dev/null 2>&1 || fail "no static busybox (scripts/deps.sh installs busybox-static)"
command -v cpio >/dev/null || fail "cpio missing (scripts/deps.sh installs it)"
UDEVADM=$(command -v udevadm) || fail "udevadm missing (scripts/deps.sh installs udev)"

rm -rf "$WORK"
ROOT=$WORK/root
mkdir -p "$ROOT"/{bin,dev,proc,sys,run,tmp,etc,lib/modules,lib/systemd,zor}

# Binaries and every shared library they load, at the same paths as here.
copy_with_libs() {
  local binary=$1 target=$2
  cp "$binary" "$ROOT$target"
  ldd "$binary" | awk '/=> \// {print $3} /^\s*\/lib/ {print $1}' | while read -r lib; do
    [[ -e "$ROOT$lib" ]] && continue
    mkdir -p "$ROOT$(dirname "$lib")"
    cp -L "$lib" "$ROOT$lib"
  done
}
cp "$BUSYBOX" "$ROOT/bin/busybox"
ln -s busybox "$ROOT/bin/sh"
copy_with_libs "$ZORCTL" /bin/zorctl
copy_with_libs "$MOUSE" /bin/uhid_mouse
copy_with_libs "$UDEVADM" /bin/udevadm
ln -s /bin/udevadm "$ROOT/lib/systemd/systemd-udevd"
# The loader: glibc binaries name /lib64/ld-linux-x86-64.so.2.
mkdir -p "$ROOT/lib64"
[[ -e $ROOT/lib64/ld-linux-x86-64.so.2 ]] || cp -L /lib64/ld-linux-x86-64.so.2 "$ROOT/lib64/"

# The modules of the kernel's HID core, uhid and the generic HID driver, dependencies first.
MODDIR=/lib/modules/$KVER
: > "$ROOT/etc/modules"
add_module() {
  local name=$1 path deps
  path=$(awk -F: -v n="/$name.ko" 'index($1, n) == length($1) - length(n) + 1 {print $1; exit}' "$MODDIR/modules.dep")
  [[ -z $path ]] && path=$(awk -F: -v n="/$name.ko" 'index($1, n) {print $1; exit}' "$MODDIR/modules.dep")
  [[ -n $path ]] || fail "kernel $KVER has no module $name"
  deps=$(awk -F': ' -v p="$path" '$1 == p {print $2}' "$MODDIR/modules.dep")
  for dep in $deps; do add_module "$(basename "${dep%%.ko*}")"; done
  grep -qx "$(basename "$path")" "$ROOT/etc/modules" && return
  cp "$MODDIR/$path" "$ROOT/lib/modules/"
  basename "$path" >> "$ROOT/etc/modules"
}
for m in hid uhid hid-generic; do add_module "$m"; done
case $(head -1 "$ROOT/etc/modules") in
  *.ko) ;;
  *) fail "compressed modules are not handled: $(cat "$ROOT/etc/modules")" ;;
esac

# The program folder: the build tree's resources.
cp -r "$BUILD/res" "$ROOT/zor/res"
cp "$HERE/guest.sh" "$ROOT/init"
chmod +x "$ROOT/init"

(cd "$ROOT" && find . | cpio -o -H newc --quiet) | gzip -1 > "$WORK/initramfs.gz"

# TCG unless asked for KVM: under nested virtualisation KVM can be far slower than TCG (seen
# here: no console output within 4 minutes), and TCG finishes well within the limit.
ACCEL=(-accel tcg)
if [[ ${ZOR_KERNEL_TEST_KVM:-0} == 1 && -r /dev/kvm && -w /dev/kvm ]]; then ACCEL=(-accel kvm -accel tcg); fi
CONSOLE=$WORK/console.log
start=$(date +%s.%N)
set +e
timeout "$BOOT_LIMIT" "$QEMU" "${ACCEL[@]}" -cpu max -smp 2 -m 1024 -nodefaults -no-reboot \
  -display none -serial "file:$CONSOLE" -kernel "$KERNEL" -initrd "$WORK/initramfs.gz" \
  -append "console=ttyS0 panic=-1 quiet loglevel=3 rdinit=/init" < /dev/null
rc=$?
set -e
end=$(date +%s.%N)
tr -d '\r' < "$CONSOLE" > "$WORK/console.txt"
grep '^KT' "$WORK/console.txt" || true
echo "kernel test: kernel $KVER, ${ACCEL[*]}, $(awk -v s="$start" -v e="$end" 'BEGIN {printf "%.1f", e - s}') s from boot to power-off"
[[ $rc -eq 0 ]] || { tail -40 "$WORK/console.txt"; fail "qemu ended with $rc (124: over the ${BOOT_LIMIT} s limit)"; }
result=$(grep -E '^KT RESULT [0-9]+ passed, [0-9]+ failed$' "$WORK/console.txt" | tail -1)
[[ -n $result ]] || { tail -40 "$WORK/console.txt"; fail "the guest gave no result"; }
passed=$(echo "$result" | awk '{print $3}')
failed=$(echo "$result" | awk '{print $5}')
[[ $failed -eq 0 && $passed -gt 0 ]] || { grep -B2 -A30 '^KT FAIL' "$WORK/console.txt" | head -120; fail "$result"; }
echo "kernel test: $passed checks passed"
