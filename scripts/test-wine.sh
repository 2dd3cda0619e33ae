#!/bin/sh
# Runs the black-box tests, the ones that start xev and compare its output,
# against the Windows build xev.exe under Wine, with the same expected bytes
# as for the native build.
#
#   scripts/test-wine.sh [MINGW_BUILD_DIR [NATIVE_BUILD_DIR]]
#
# MINGW_BUILD_DIR holds xev.exe (default build/mingw, the mingw preset);
# NATIVE_BUILD_DIR holds the native test programs (default build/debug).
# Needs wine (wine64) and the MinGW-w64 compiler, for the small launcher that
# starts xev.exe under a program name of the test's choosing.
#
# The Wine prefix is private (WINEPREFIX, default /tmp/xev-wine-$(id -u)) and
# is created on first use; a persistent wineserver keeps the start-up of each
# run short and is stopped at the end.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
mingw_dir=$(cd "${1:-$root/build/mingw}" && pwd)
native_dir=$(cd "${2:-$root/build/debug}" && pwd)
exe=$mingw_dir/xev.exe
launcher=$mingw_dir/tests/xev_launch.exe
programs="cli imagetype store commands platform"

[ -f "$exe" ] || { echo "test-wine: $exe is missing; build the mingw preset" >&2; exit 2; }

mkdir -p "$mingw_dir/tests"
if [ ! -f "$launcher" ] || [ "$root/tests/wine/xev_launch.cpp" -nt "$launcher" ]; then
  "${XEV_MINGW_CXX:-x86_64-w64-mingw32-g++}" -std=c++17 -O2 -static \
    -Wall -Wextra -Wpedantic -Werror \
    -o "$launcher" "$root/tests/wine/xev_launch.cpp"
fi

export WINEPREFIX="${WINEPREFIX:-/tmp/xev-wine-$(id -u)}"
export WINEDEBUG=-all
export XEV_TEST_EXE="$exe" XEV_TEST_LAUNCHER="$launcher"
export XEV_TEST_RUNNER="${XEV_TEST_RUNNER:-wine}"
unset DISPLAY WAYLAND_DISPLAY

# A new prefix takes a while to set up, once.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix $WINEPREFIX"
  wineboot --init >/dev/null 2>&1 </dev/null
  wineserver -w
fi
# One persistent server for the whole run; one left over in the private
# prefix from an earlier use ends first. The first program started brings up
# Wine's own services: start it here, with none of the tests' pipes to inherit.
wineserver -k 2>/dev/null || true
wineserver -w
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
"$XEV_TEST_RUNNER" "$launcher" >/dev/null 2>&1 </dev/null || true

results=$(mktemp -d "${TMPDIR:-/tmp}/xev-wine-results-XXXXXX")
started=$(date +%s)
failed=0
for area in $programs; do
  program=$native_dir/tests/xev_${area}_tests
  if [ ! -x "$program" ]; then
    echo "test-wine: $program is missing; build the native tests" >&2
    failed=1
    continue
  fi
  echo "== xev_${area}_tests"
  if ! "$program" --gtest_brief=1 --gtest_output="xml:$results/$area.xml"; then
    failed=1
  fi
done
finished=$(date +%s)

# Count the tests that started xev.exe (the sandbox marks them) by outcome.
awk '
  /<testcase / { runs = 0; outcome = "passed"; if (/result="skipped"/) outcome = "skipped" }
  /<property name="xev_exe"/ { runs = 1 }
  /<failure/ { outcome = "failed" }
  /<skipped/ { outcome = "skipped" }
  /<testcase .*\/>$/ || /<\/testcase>/ {
    total[outcome]++
    if (runs) wine[outcome]++
  }
  END {
    printf "Tests that ran xev.exe under Wine: %d passed, %d failed, %d skipped\n",
           wine["passed"], wine["failed"], wine["skipped"]
    printf "All tests of these programs: %d passed, %d failed, %d skipped\n",
           total["passed"], total["failed"], total["skipped"]
  }' "$results"/*.xml
echo "Wine run: $((finished - started)) s"
rm -rf "$results"
exit "$failed"
