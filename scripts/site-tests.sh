#!/usr/bin/env bash
# The control room's page in a real browser: prepares the page as a checkout
# does (scripts/site.sh: its locked npm packages, their bundles in site/vendor/),
# builds the simulator, the recorder and the journal's names (journal_names)
# when the build lacks them, and runs the page's tests (Debian's chromium, a
# mosquitto the tests start on free ports, recorders on simulators).
#   scripts/site-tests.sh [build dir]   (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-$root/build}
case $build in /*) ;; *) build=$root/$build ;; esac

scripts/deps.sh

scripts/site.sh

if [ ! -x "$build/sim/tarvin_sim" ] || [ ! -x "$build/recorder/tarvin9-recorder" ] ||
  [ ! -x "$build/tests/journal_names" ]; then
  echo "== site: building the simulator, the recorder and journal_names ($build)"
  [ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -G Ninja -DTARVIN_BENCH=OFF >/dev/null
  cmake --build "$build" -- -j2 tarvin_sim tarvin9-recorder journal_names
fi

echo "== site: the page's tests"
cd site
TARVIN_BUILD=$build node --test --test-concurrency=1 tests/
