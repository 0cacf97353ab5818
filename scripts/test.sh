#!/usr/bin/env bash
# The whole test suite, from a fresh machine: installs what is missing, builds,
# runs the unit, integration and window tests, builds and checks the Debian
# package, cross-compiles for Windows and runs those tests under Wine, runs the
# suite again under AddressSanitizer and UndefinedBehaviorSanitizer, and runs
# each fuzz target for a short while.
#   TARVIN_QUICK=1 scripts/test.sh   skips the sanitizer pass and the fuzzing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/deps.sh

run_suite() {  # build dir, extra cmake args...
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir"
  # Unit tests in parallel; tests that talk to the simulator in real time one at a time.
  # mqtt: publishing, also against a real mosquitto the tests start on a free port.
  (cd "$dir" && ctest --output-on-failure -j2 -LE 'integration|gui|mqtt' \
             && ctest --output-on-failure -L integration \
             && ctest --output-on-failure -L gui \
             && ctest --output-on-failure -L mqtt)
}

echo "== build and test"
run_suite build

# The Debian package from the tree just built, and its checks.
scripts/package.sh build
# The control room's page in headless chromium, against a real broker and recorders.
scripts/site-tests.sh build

# The Windows build (core, recorder, unit tests) cross-compiled and run under Wine,
# and the Windows recorder against the simulator through the Win32 port.
scripts/wine-tests.sh build

if [ "${TARVIN_QUICK:-0}" != 1 ]; then
  echo "== the suite under AddressSanitizer and UndefinedBehaviorSanitizer"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_suite build-asan -DTARVIN_SANITIZE=ON -DTARVIN_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug

  if [ -f fuzz/CMakeLists.txt ]; then
    echo "== fuzzing, a short run of each target"
    scripts/fuzz.sh "${TARVIN_FUZZ_SECONDS:-60}"
  fi
fi
echo "== all tests passed"
