#!/bin/sh
# Runs the black-box tests against the Windows build xev.exe under Wine: the
# same statuses as the native program, and every command giving the same
# bytes as the native build.
#
#   scripts/test-wine.sh [MINGW_BUILD_DIR [NATIVE_XEV]]
#
# The Wine prefix is private (WINEPREFIX, default /tmp/xev-wine-$(id -u)) and
# is created on first use; one wineserver serves the whole run.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
exe=$(cd "${1:-$root/build/mingw}" && pwd)/xev.exe
native=${2:-$root/build/release/xev}
[ -f "$exe" ] || { echo "test-wine: $exe is missing; build the mingw preset" >&2; exit 2; }
[ -x "$native" ] || { echo "test-wine: $native is missing; build the release preset" >&2; exit 2; }

export WINEPREFIX="${WINEPREFIX:-/tmp/xev-wine-$(id -u)}"
export WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix $WINEPREFIX"
  wineboot --init >/dev/null 2>&1 </dev/null
  wineserver -w
fi
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
# The first program brings up Wine's own services; started here, they inherit
# none of the tests' pipes (a test would wait for them to close).
wine "$exe" >/dev/null 2>&1 </dev/null || true
started=$(date +%s)
python3 "$root/tests/blackbox/blackbox_test.py" "$exe" --same-as "$native" wine
echo "Wine run: $(( $(date +%s) - started )) s"
