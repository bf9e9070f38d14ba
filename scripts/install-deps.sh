#!/usr/bin/env bash
# Installs the Debian packages Orvalink needs to build, run and test.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
packages=(
  build-essential cmake ninja-build pkg-config git
  libzip-dev zlib1g-dev libcurl4-openssl-dev
  libgtest-dev googletest
  zip unzip ccache
  clang libclang-rt-14-dev
  # the fuzz corpora's coverage report (llvm-profdata, llvm-cov)
  llvm
  binutils-mingw-w64-x86-64

  qt6-base-dev libqt6serialport6-dev qt6-charts-dev libqt6opengl6-dev libgl-dev
  libudev-dev libjpeg-dev libfreetype-dev xfonts-base fonts-dejavu-core
  # the system's Chinese texts (the loop-back results, the link's time-out)
  fonts-wqy-microhei
  xvfb xauth
  # the user-path tests: a window manager, real input, the accessibility bus
  openbox xdotool x11-utils imagemagick dbus dbus-x11 at-spi2-core python3-pyatspi
  # the Debian package: its build, man pages and icons, and its checks
  dpkg-dev debhelper go-md2man librsvg2-bin lintian desktop-file-utils appstream
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
else
  echo "All packages are installed."
fi
