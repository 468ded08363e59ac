#!/usr/bin/env bash
# Installs what Pellix needs to build and test on Debian 12; skips what is already there.
# Usage: scripts/setup.sh [EXTRA-PACKAGE...]  (the Windows and fuzzing scripts add theirs)
set -euo pipefail
# gzip: the installation ships its own; the system's stays because the gzip tests read
# their packages back with it, the benchmarks compare against it and fuzz.sh makes seeds.
# pigz, libdeflate-tools and time: the gzip benchmarks compare with them and measure memory.
# at-spi2-core, python3-pyatspi and dbus-bin: a test reads the windows as a screen reader does.
packages=("$@" cmake g++ make ninja-build pkg-config gzip pigz libdeflate-tools time
          qt6-base-dev libgl1-mesa-dev
          libstb-dev libdeflate-dev zlib1g-dev
          libgtest-dev libgmock-dev libbenchmark-dev
          xvfb xauth fonts-liberation fonts-dejavu-core
          at-spi2-core python3-pyatspi dbus-bin)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
