#!/usr/bin/env bash
# The whole test suite, from a fresh machine: installs what is missing, checks
# that no folder includes from a layer above it and that the C++ files are as
# clang-format writes them, builds, runs the unit, integration and window
# tests and the checks of .clang-tidy, builds and checks the Debian package, runs the
# control room's page in chromium, runs the unit and window tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, runs each fuzz target for a
# short while, and, in a second lane beside all that, builds Qt and the MQTT
# libraries for Windows once (cached), cross-compiles the window, the recorder
# and their tests for Windows, makes the installer and runs the Windows tests
# under Wine.
# On a fresh two-core machine Qt for Windows is the longest part. It starts at
# once, at the same priority as the rest: the real-time suites leave cores
# idle while they wait on the simulator, and a compiler at the lowest priority
# got almost none of the rest. What needs no Qt (libmosquitto, the core and
# the recorder for Windows and their Wine tests) runs beside it once the Linux
# lane is past its real-time suites, and the window's part as soon as Qt is
# there, so that the Wine tests' waiting is time the compilers use.
#   TARVIN_QUICK=1 scripts/test.sh   skips the sanitizer pass and the fuzzing,
#                                    and the Windows window when Qt for Windows
#                                    is not cached yet.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

t0=$(date +%s)
busy_last=
# Each stage's line: minutes since the start, and how busy the machine's cores
# were since the previous line (the share the cold run's time is made of).
stage() {
  local now busy total share=
  now=$(($(date +%s) - t0))
  read -r _ u n s i w q sq st _ </proc/stat
  busy=$((u + n + s + q + sq + st)) total=$((busy + i + w))
  if [ -n "$busy_last" ]; then
    [ "$((total - ${busy_last#* }))" -gt 0 ] &&
      share=" (cores busy $((100 * (busy - ${busy_last% *}) / (total - ${busy_last#* })))% since the last line)"
  fi
  busy_last="$busy $total"
  printf '== [%d:%02d] %s%s\n' $((now / 60)) $((now % 60)) "$*" "$share"
}

scripts/deps.sh
# The alarm receiver the DC-09 tests report to (npm packages from its lock file).
scripts/dc09-receiver.sh

stage "layers: no folder includes from a folder above it, no Qt in the core"
scripts/check-layers.sh
stage "format: every C++ file as clang-format writes it"
scripts/check-format.sh

# The Windows lane: Qt and libmosquitto for Windows (built once, cached), then
# scripts/windows.sh. Its native part (the simulator and the Wine test driver)
# builds in the Linux lane's build folder, and its page test uses the page's
# vendored packages, so it waits until that lane is past its builds there and
# the page's tests. Qt for Windows is the long pole of a first run: it builds
# from the start, and what needs no Qt (libmosquitto, then the core and the
# recorder with their tests under Wine) is done beside it, leaving only the
# window's part for after. It runs in a process group of its own, ended with
# the run.
mkdir -p build
native_built=build/.linux-lane-built
rm -f "$native_built"
windows_log=build/windows.log
qt_log=build/windows-qt.log
windows_lane() {
  local part=all qt_pid=
  if [ "${TARVIN_QUICK:-0}" != 1 ] && ! scripts/windows-qt.sh --path >/dev/null; then
    stage "Windows lane: Qt for Windows, building (once, cached; $qt_log)"
    scripts/windows-qt.sh >"$qt_log" 2>&1 &
    qt_pid=$! part=core
  fi
  while [ ! -f "$native_built" ]; do sleep 5; done
  if [ "${TARVIN_QUICK:-0}" != 1 ] && ! scripts/windows-mqtt.sh --path >/dev/null; then
    stage "Windows lane: libmosquitto for Windows, building (once, cached)"
    scripts/windows-mqtt.sh
  fi
  stage "Windows lane: cross-build and tests under Wine ($part)"
  scripts/windows.sh build "$part"
  if [ -n "$qt_pid" ]; then
    wait "$qt_pid" || { cat "$qt_log"; return 1; }
    stage "Windows lane: Qt for Windows built; the window's part"
    scripts/windows.sh build window
  fi
  stage "Windows lane: passed"
}
set -m
windows_lane </dev/null >"$windows_log" 2>&1 &
windows_pid=$!
set +m
trap '[ -z "$windows_pid" ] || kill -- -"$windows_pid" 2>/dev/null || true' EXIT
stage "the Windows lane started beside this one ($windows_log)"

run_suite() {  # build dir, what to run (all or unit), extra cmake args...
  local dir=$1 what=$2; shift 2
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  if [ "$what" = unit ]; then
    # Only the tests this pass runs, and what they start: the real-time and
    # broker suites are not built (their ctest placeholders, *_NOT_BUILT, are
    # left out), which spares a sanitized build of a third of the tree.
    cmake --build "$dir" --target core_tests report_tests sim_tests osc_tests gui_tests
    (cd "$dir" && ctest --output-on-failure -j2 -LE 'integration|gui|mqtt|dc09' -E '_NOT_BUILT$')
    # The window's tests but those against the simulator in real time.
    (cd "$dir" && ctest --output-on-failure -L gui -E 'WindowWithSimulator')
    return
  fi
  cmake --build "$dir"
  # Unit tests in parallel; tests that talk to the simulator in real time one at a time.
  # mqtt: publishing, also against a real mosquitto the tests start on a free port.
  # dc09: reporting to an alarm receiving centre's receiver, run by node.
  (cd "$dir" && ctest --output-on-failure -j2 -LE 'integration|gui|mqtt|dc09')
  (cd "$dir" && ctest --output-on-failure -L integration \
             && ctest --output-on-failure -L gui \
             && ctest --output-on-failure -L mqtt \
             && ctest --output-on-failure -L dc09)
}

stage "build and test"
run_suite build all
# The checks of .clang-tidy over what was just built (about a minute).
stage "tidy: the checks we keep, over the programs' code"
scripts/check-tidy.sh build

# The Debian package from the tree just built, and its checks.
stage "the Debian package"
scripts/package.sh build
# The control room's page in headless chromium, against a real broker and recorders.
stage "the control room's page"
scripts/site-tests.sh build
# Nothing below builds in build/ or vendors the page's packages any more: the
# Windows lane may.
touch "$native_built"

if [ "${TARVIN_QUICK:-0}" != 1 ]; then
  # The real-time suites ran above; under the sanitizers the unit and window
  # tests cover the same code without waiting on the simulator. Line tables
  # (-g1) are all a sanitizer's report needs, at a fraction of full debug
  # information's compile time.
  stage "the unit and window tests under AddressSanitizer and UndefinedBehaviorSanitizer"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_suite build-asan unit -DTARVIN_SANITIZE=ON -DTARVIN_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1

  if [ -f fuzz/CMakeLists.txt ]; then
    stage "fuzzing, a short run of each target"
    scripts/fuzz.sh "${TARVIN_FUZZ_SECONDS:-60}"
  fi
fi

# The Windows lane, as it went.
stage "the Windows lane: waiting for it"
windows_rc=0
wait "$windows_pid" || windows_rc=$?
windows_pid=
cat "$windows_log"
[ "$windows_rc" = 0 ] || { echo "== the Windows lane failed (exit $windows_rc)"; exit 1; }
stage "all tests passed"
