#!/usr/bin/env bash
# Windows, built and tried on Debian:
#   1. Qt, QCustomPlot and libjpeg for Windows from Debian's sources, built once
#      into a cache (scripts/windows-qt.sh), and libmosquitto with OpenSSL
#      the same way (scripts/windows-mqtt.sh);
#   2. the window, the recorder, tarvin9-osc and the unit and window tests
#      cross-compiled with mingw-w64, and the installer tarvin9-<version>-win64.exe
#      with a portable .zip beside it, made by CPack with makensis;
#   3. under Wine, in a private prefix with a home of its own: the unit tests,
#      the window tests (offscreen), the recorder against the simulator (COM7),
#      then the installer run silently, the installed window started as its
#      Start-menu entry starts it against the simulator, and the uninstaller.
#   scripts/windows.sh [native build dir] [all|core|window]
#     native build dir: the simulator and the Wine test driver are built there
#       (default build);
#     core: what needs no Qt (the core, the recorder, their tests under Wine,
#       the page fed by the Windows recorder), so that it runs while Qt for
#       Windows is still building; window: the rest, once it is built, in the
#       same build folder; all (the default): both.
#   TARVIN_QUICK=1 with Qt for Windows not yet cached: the core part only, no
#   Qt build; with libmosquitto not yet cached, a recorder without MQTT.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
native=${1:-$root/build}
case $native in /*) ;; *) native=$root/$native ;; esac
part=${2:-all}
case $part in all | core | window) ;; *) echo "windows.sh: the part is all, core or window, not $part" >&2; exit 2 ;; esac

scripts/deps.sh nsis

if [ "$part" = core ]; then
  prefix=
elif prefix=$(scripts/windows-qt.sh --path); then
  :
elif [ "${TARVIN_QUICK:-0}" = 1 ] && [ "$part" = all ]; then
  prefix= part=core
  echo "== Windows: Qt for Windows is not cached; TARVIN_QUICK=1 builds the core and the recorder only"
else
  prefix=$(scripts/windows-qt.sh | tail -1)
fi
run_core() { [ "$part" != window ]; }
if mqtt=$(scripts/windows-mqtt.sh --path); then
  :
elif [ "${TARVIN_QUICK:-0}" = 1 ]; then
  mqtt=
  echo "== Windows: libmosquitto for Windows is not cached; TARVIN_QUICK=1 builds the recorder without MQTT"
else
  mqtt=$(scripts/windows-mqtt.sh | tail -1)
fi

# A private prefix, and a home of its own: Wine links Documents and the other
# shell folders into HOME, and no test may write into the real one.
# Wine names files through the locale: UTF-8, so Cyrillic names survive.
export LC_ALL=C.UTF-8
cross=$root/build-win
export HOME=$cross/winehome WINEPREFIX=$cross/wineprefix WINEDEBUG=-all WINEARCH=win64
mkdir -p "$HOME"
# No desktop integration or menus for a test prefix; no Mono or Gecko prompts.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
# A new one takes a minute of Wine's own start-up: made beside the build.
prefix_pid=
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== Windows: a private Wine prefix ($WINEPREFIX), made in the background"
  (wineboot -i >/dev/null 2>&1; wineserver -w) &
  prefix_pid=$!
fi
wait_prefix() { [ -z "$prefix_pid" ] || wait "$prefix_pid"; prefix_pid=; }

# One build folder for both parts: the window's part finds the core and the
# recorder already built (the same objects, the same recorder it ships).
if [ -n "$prefix" ]; then
  echo "== Windows: cross-build of the window, the recorder, osc and the tests (mingw-w64, Qt in $prefix)"
  gui=ON
else
  echo "== Windows: cross-build of the core, the recorder and the unit tests (mingw-w64)"
  gui=OFF
fi
cmake -S "$root" -B "$cross" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-qt.cmake" \
  -DTARVIN_WIN_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release \
  -DTARVIN_GUI=$gui -DTARVIN_BENCH=OFF -DTARVIN_SIM=OFF -DTARVIN_TESTS=ON -DTARVIN_MQTT_PREFIX="$mqtt" >/dev/null
cmake --build "$cross" -- -j2
if [ -n "$prefix" ]; then
  echo "== Windows: the installer and the portable .zip"
  (cd "$cross" && cpack -G "NSIS;ZIP" >cpack.log 2>&1) || { cat "$cross/cpack.log"; exit 1; }
  installer=$(ls "$cross"/tarvin9-*-win64.exe)
  echo "   $installer"
  echo "   ${installer%.exe}.zip"
fi

echo "== Windows: the simulator and the Wine test driver (native)"
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$native" -G Ninja >/dev/null
fi
cmake --build "$native" --target tarvin_sim tarvin9-recorder wine_tests -- -j2
# The alarm receiving centre's receiver the installer's service reports to.
"$root/scripts/dc09-receiver.sh" >/dev/null

# The prefix made while the cross-build runs, if it is new.
wait_prefix
# The recorder and its tests import libmosquitto and OpenSSL from their cache.
[ -z "$mqtt" ] || export WINEPATH="$(winepath -w "$mqtt/bin")"
if run_core; then
  echo "== Windows: the unit tests under Wine"
  for tests in "$cross"/tests/windows/*_tests.exe; do
    [ "$(basename "$tests")" = gui_tests.exe ] && continue
    echo "-- $(basename "$tests")"
    wine "$tests" --gtest_brief=1
  done
fi
if [ -n "$prefix" ]; then
  echo "-- gui_tests.exe (offscreen)"
  gcc_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
  WINEPATH="$(winepath -w "$prefix/bin");$(winepath -w "$gcc_runtime");$(winepath -w /usr/x86_64-w64-mingw32/lib)" \
    QT_PLUGIN_PATH="$(winepath -w "$prefix/plugins")" QT_QPA_PLATFORM=offscreen \
    wine "$cross/tests/windows/gui_tests.exe" --gtest_brief=1
fi

export TARVIN_WINDOWS_RECORDER=$cross/recorder/tarvin9-recorder.exe
# With MQTT, it publishes to a mosquitto the tests start on loopback.
[ -z "$mqtt" ] || export TARVIN_WINDOWS_MQTT=1
# The tests named for the installer need it; the others are the core's part.
if run_core; then
  echo "== Windows: the recorder under Wine against the simulator (COM7)"
  "$native/tests/wine_tests" --gtest_filter='WineRecorder.*-*Install*'
fi
if [ -n "$prefix" ]; then
  echo "== Windows: the installer, its service, the installed window against the simulator, the uninstaller"
  export TARVIN_WINDOWS_INSTALLER=$installer TARVIN_SCREENSHOT=$cross/window-under-wine.png
  xvfb-run -a -s "-screen 0 1280x1024x24" "$native/tests/wine_tests" --gtest_filter='*Install*'
  echo "   the installed window under Wine: $TARVIN_SCREENSHOT"
fi
if run_core && [ -n "$mqtt" ]; then
  echo "== Windows: the control room's page fed by the Windows recorder beside a Linux one"
  [ -d site/vendor ] && [ -d site/node_modules ] || scripts/site.sh >/dev/null
  (cd site && TARVIN_BUILD=$native node --test tests/windows.test.mjs)
fi
wineserver -w
