#!/bin/sh
# Runs one Windows test program under wine for CTest: wine-run.sh PREFIX PROGRAM [ARGS...].
# PREFIX is the build's own wine prefix (an exported WINEPREFIX wins), so the user's
# ~/.wine is never touched. Programs see no display, unless PELLIX_WINE_DISPLAY names one
# (scripts/test-windows.sh starts an Xvfb for the tests that work real windows); all
# programs of one wine session share the display of the first.
prefix=$1
shift
export WINEPREFIX="${WINEPREFIX:-$prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
unset DISPLAY WAYLAND_DISPLAY
[ -z "${PELLIX_WINE_DISPLAY:-}" ] || export DISPLAY="$PELLIX_WINE_DISPLAY"
wine=/usr/lib/wine/wine64
mkdir -p "$WINEPREFIX"
# When no wine server runs for the prefix yet, the test program would also start wine's
# services, and they would inherit its output pipe: CTest would wait for them to end. A
# first program with its output going nowhere starts them (a moment's work otherwise).
"$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
# The program's output goes through a file, not CTest's pipe: a console host that wine
# keeps for a console program can outlive it, and would hold the pipe open, leaving CTest
# waiting for an end of output that never comes.
out=$(mktemp "${TMPDIR:-/tmp}/pellix-wine-run.XXXXXX")
"$wine" "$@" >"$out" 2>&1
status=$?
cat "$out"
rm -f "$out"
exit $status
