#!/usr/bin/env bash
# Installs what Pellix needs to build and test on Debian 12; skips what is already there.
# Usage: scripts/setup.sh [EXTRA-PACKAGE...]  (the Windows and fuzzing scripts add theirs)
set -euo pipefail
# gzip: the installation ships its own; the system's stays because the gzip tests read
# their packages back with it, the benchmarks compare against it and fuzz.sh makes seeds.
# pigz, libdeflate-tools and time: the gzip benchmarks compare with them and measure memory.
# at-spi2-core, python3-pyatspi and dbus-bin: a test reads the windows as a screen reader does.
# dpkg-dev (dpkg-shlibdeps) makes the Debian package; lintian, appstream and
# desktop-file-utils check it.
packages=("$@" cmake g++ make ninja-build pkg-config gzip pigz libdeflate-tools time
          qt6-base-dev libgl1-mesa-dev
          libstb-dev libdeflate-dev zlib1g-dev
          libgtest-dev libgmock-dev libbenchmark-dev
          xvfb xauth fonts-liberation fonts-dejavu-core
          at-spi2-core python3-pyatspi dbus-bin
          dpkg-dev lintian appstream desktop-file-utils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Runs apt-get; while another program installs packages (a machine installing its updates)
# and holds the package manager's lock, waits for it, at most PELLIX_APT_WAIT seconds.
apt_get() {
  local limit=${PELLIX_APT_WAIT:-900} errors told=""
  local deadline=$((SECONDS + limit))
  errors=$(mktemp)
  until $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=10 "$@" \
          2>"$errors"; do
    cat "$errors" >&2
    if ! grep -q "lock" "$errors"; then rm -f "$errors"; return 1; fi
    if [ $SECONDS -ge $deadline ]; then
      echo "setup: the package manager was still busy after $limit seconds; try again later" \
           "(PELLIX_APT_WAIT sets the wait)" >&2
      rm -f "$errors"
      return 1
    fi
    [ -n "$told" ] || echo "setup: another program is installing packages; waiting for it" \
                          "(at most $limit seconds)..." >&2
    told=yes
    sleep 5
  done
  cat "$errors" >&2
  rm -f "$errors"
}
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  apt_get update -qq
  apt_get install -y -qq "${missing[@]}"
fi
