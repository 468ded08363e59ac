#!/usr/bin/env bash
# Runs a reader of the accessibility bus (python3 with pyatspi) with an X server and a D-Bus
# session of its own, so no desktop's bus is read or touched.
# Usage: run_atspi.sh SCRIPT [ARG...]; exits 77 (skipped) when a part is missing.
set -euo pipefail
python=${PELLIX_SYSTEM_PYTHON:-/usr/bin/python3}
for need in Xvfb dbus-run-session "$python"; do
  command -v "$need" >/dev/null || { echo "run_atspi: needs $need"; exit 77; }
done
"$python" -c "import pyatspi" 2>/dev/null || { echo "run_atspi: needs python3-pyatspi"; exit 77; }

displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; rm -f "$displayfile"' EXIT
for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.1; done
[ -s "$displayfile" ] || { echo "run_atspi: Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -n1 "$displayfile")"
unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS
dbus-run-session -- "$python" "$@"
