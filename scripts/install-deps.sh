#!/usr/bin/env bash
# Installs every Debian package needed to build, run and test the project.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-qpa-plugins
  libpugixml-dev libhidapi-dev libudev-dev fuse3 libfuse3-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth xdotool x11-utils imagemagick trayer python3-tk openbox libxcb-damage0-dev
  fonts-wqy-microhei fonts-dejavu-core qt6-translations-l10n
  clang-format
  dpkg-dev fakeroot lintian file
  clang-14 libclang-rt-14-dev
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
