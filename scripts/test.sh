#!/usr/bin/env bash
# The whole test suite, from a fresh machine: installs what is missing, checks
# that no folder includes from a layer above it, builds, runs the unit,
# integration and window tests, builds and checks the Debian package, builds
# Qt for Windows once (cached) and cross-compiles the window, the recorder and
# their tests for Windows, makes the installer and runs the Windows tests under
# Wine, runs the unit and window tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each fuzz target for a short while.
# On a fresh two-core machine the Qt build is the longest part: everything that
# does not need it runs first, while it fills the time the real-time suites
# leave idle, so that only the Windows step waits for it.
#   TARVIN_QUICK=1 scripts/test.sh   skips the sanitizer pass and the fuzzing,
#                                    and the Windows window when Qt for Windows
#                                    is not cached yet.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

started=$SECONDS
stage() { printf '== [%d:%02d] %s\n' $(((SECONDS - started) / 60)) $(((SECONDS - started) % 60)) "$*"; }

scripts/deps.sh

stage "layers: no folder includes from a folder above it, no Qt in the core"
scripts/check-layers.sh

# Qt for Windows takes long the first time and is only needed for the Windows
# step: it is built meanwhile, at the lowest priority, so that it uses the CPU
# the real-time suites leave idle while they wait on the simulator; then, in
# the same job, libmosquitto and OpenSSL for the Windows recorder.
qt_pid=
if [ "${TARVIN_QUICK:-0}" != 1 ] &&
   ! { scripts/windows-qt.sh --path && scripts/windows-mqtt.sh --path; } >/dev/null; then
  mkdir -p build
  stage "Qt and libmosquitto for Windows: building in the background (build/windows-qt.log)"
  nice -n 19 sh -c 'scripts/windows-qt.sh && scripts/windows-mqtt.sh' >build/windows-qt.log 2>&1 &
  qt_pid=$!
fi

run_suite() {  # build dir, what to run (all or unit), extra cmake args...
  local dir=$1 what=$2; shift 2
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir"
  # Unit tests in parallel; tests that talk to the simulator in real time one at a time.
  # mqtt: publishing, also against a real mosquitto the tests start on a free port.
  (cd "$dir" && ctest --output-on-failure -j2 -LE 'integration|gui|mqtt')
  if [ "$what" = unit ]; then
    # The window's tests but those against the simulator in real time.
    (cd "$dir" && ctest --output-on-failure -L gui -E 'WindowWithSimulator')
    return
  fi
  (cd "$dir" && ctest --output-on-failure -L integration \
             && ctest --output-on-failure -L gui \
             && ctest --output-on-failure -L mqtt)
}

stage "build and test"
run_suite build all

# The Debian package from the tree just built, and its checks.
stage "the Debian package"
scripts/package.sh build
# The control room's page in headless chromium, against a real broker and recorders.
stage "the control room's page"
scripts/site-tests.sh build

if [ "${TARVIN_QUICK:-0}" != 1 ]; then
  # The real-time suites ran above; under the sanitizers the unit and window
  # tests cover the same code without waiting on the simulator.
  stage "the unit and window tests under AddressSanitizer and UndefinedBehaviorSanitizer"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_suite build-asan unit -DTARVIN_SANITIZE=ON -DTARVIN_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug

  if [ -f fuzz/CMakeLists.txt ]; then
    stage "fuzzing, a short run of each target"
    scripts/fuzz.sh "${TARVIN_FUZZ_SECONDS:-60}"
  fi
fi

# The Windows build (the window, the recorder, osc, their tests, the installer),
# cross-compiled and tried under Wine against the simulator.
if [ -n "$qt_pid" ]; then
  stage "Qt and libmosquitto for Windows: waiting for the background build"
  wait "$qt_pid" || { tail -40 build/windows-qt.log; exit 1; }
fi
stage "Windows"
scripts/windows.sh build
stage "all tests passed"
