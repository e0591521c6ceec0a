#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing.
# Quick and silent when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-qpa-plugins libgl-dev
  libhidapi-dev libudev-dev
  libxkbcommon-dev libxkbcommon-x11-dev xkb-data
  nlohmann-json3-dev libminizip-dev zlib1g-dev
  libssl-dev openssl libcurl4-openssl-dev uuid-dev ca-certificates libqt6network6
  libgtest-dev libgmock-dev libbenchmark-dev
  libxcb1-dev dbus-daemon
  # The screen-reader test: the accessibility registry and the Python client a screen reader uses.
  at-spi2-core python3-pyatspi
  zip unzip xvfb xauth xdotool
  # The Wayland scenarios: a headless compositor and Qt's wayland platform.
  weston qt6-wayland
  dpkg-dev desktop-file-utils appstream
  fonts-noto-core fonts-noto-cjk
  # The kernel test (ctest label "kernel"): the distribution's kernel booted under QEMU with an
  # initramfs of busybox, udevd and the program, made by the test itself.
  qemu-system-x86 linux-image-amd64 busybox-static cpio udev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "deps: installing ${missing[*]}"
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# INITRD=No: the kernel is only ever booted by the kernel test with an initramfs of its own, so
# the package's hook does not spend half a minute building one for this machine.
$SUDO env INITRD=No apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
