#!/usr/bin/env bash
# The Windows side run for real: cross-builds the core, the recorder and the
# core's unit tests with mingw-w64, runs the tests under Wine, then runs the
# Windows recorder under Wine against the simulator through the Win32 port.
#   scripts/wine-tests.sh [native build dir]   (default build; the simulator and
#                                               the Wine test driver are built there)
# The Wine prefix is private (build-wine/wineprefix); the first start makes it (about a minute).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
native=${1:-$root/build}
case $native in /*) ;; *) native=$root/$native ;; esac
cross=$root/build-wine

scripts/deps.sh

echo "== Windows: cross-build of the core, the recorder and the unit tests (mingw-w64)"
cmake -S "$root" -B "$cross" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DTARVIN_GUI=OFF -DTARVIN_BENCH=OFF -DTARVIN_SIM=OFF -DTARVIN_TESTS=ON >/dev/null
cmake --build "$cross" -- -j2

echo "== Windows: the simulator and the Wine test driver (native)"
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$native" -G Ninja >/dev/null
fi
cmake --build "$native" --target tarvin_sim wine_tests -- -j2

export WINEPREFIX=$cross/wineprefix WINEDEBUG=-all WINEARCH=win64
# No desktop integration or menus for a test prefix; no Mono or Gecko prompts.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== Windows: a private Wine prefix ($WINEPREFIX)"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

echo "== Windows: the core's unit tests under Wine"
for tests in "$cross"/tests/windows/*_tests.exe; do
  echo "-- $(basename "$tests")"
  wine "$tests" --gtest_brief=1
done

echo "== Windows: the recorder under Wine against the simulator (COM7)"
TARVIN_WINDOWS_RECORDER=$cross/recorder/tarvin9-recorder.exe "$native/tests/wine_tests"
wineserver -w
