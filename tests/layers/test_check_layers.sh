#!/usr/bin/env bash
# scripts/check-layers.sh on two small trees: one that keeps to the layers
# (folders missing from it skipped), and one with an include upwards in the
# core, a Qt header in the core and in the core's tests, a program and a fuzz
# target reaching into the tests' helpers and a benchmark into another test
# folder, all of which must be named.
set -euo pipefail
check=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

tree() {  # root, then file:text pairs
  for pair in "${@:2}"; do
    mkdir -p "$1/$(dirname "${pair%%:*}")" && printf '%s\n' "${pair#*:}" >>"$1/${pair%%:*}"
  done
}
tree "$tmp/good" 'link/port.h:#include <string>' 'engine/engine.h:#include "link/port.h"' \
  'chart/view.h:#include <QWidget>' 'app/main.cpp:#include "chart/view.h"' \
  'app/main.cpp:#include "engine/engine.h"' 'sim/tests/test_sim.cpp:#include "tests/support/pty.h"' \
  'tests/gui/test_window.cpp:#include <QWidget>' 'tests/gui/test_window.cpp:#include "app/fmain.h"'
tree "$tmp/bad" 'link/port.h:#include "engine/engine.h"' 'engine/engine.h:#include "link/port.h"' \
  'scope/model.h:  #  include <QString>  // text' 'tests/core/test_tick.cpp:#include <QString>' \
  'sim/sim.cpp:#include "tests/support/pty.h"' 'fuzz/fuzz_tick.cpp:#include "app/fmain.h"' \
  'bench/soak.cpp:#include "tests/integration/sim_process.h"'

"$check" "$tmp/good" || { echo "a tree within its layers was refused"; exit 1; }
! "$check" "$tmp/bad" 2>"$tmp/out" || { echo "an include upwards was let through"; exit 1; }
expected='bench/soak.cpp:1: #include "tests/integration/sim_process.h": bench must not include tests/integration
fuzz/fuzz_tick.cpp:1: #include "app/fmain.h": fuzz must not include app
link/port.h:1: #include "engine/engine.h": link must not include engine
scope/model.h:1: #  include <QString>: scope must not include Qt
sim/sim.cpp:1: #include "tests/support/pty.h": sim must not include tests/support
tests/core/test_tick.cpp:1: #include <QString>: tests/core must not include Qt'
[ "$(cat "$tmp/out")" = "$expected" ] || { echo "named instead:"; cat "$tmp/out"; exit 1; }
