#!/usr/bin/env bash
# The checks of .clang-tidy (Debian's clang-tidy) over the code of the core,
# the window and the programs beside it (not the tests), as BUILD compiled it. A unity
# build's batches are checked whole: each batch's headers are parsed once,
# and a finding in any of its files is reported against that file.
#   scripts/check-tidy.sh BUILD   (a build folder with compile_commands.json)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: scripts/check-tidy.sh BUILD}
db=$build/compile_commands.json
[ -f "$db" ] || { echo "check-tidy: no $db (configure with CMAKE_EXPORT_COMPILE_COMMANDS)" >&2; exit 2; }
# The translation units of the core's and the programs' libraries and
# executables; no tests, no benchmarks.
mapfile -t units < <(python3 - "$db" <<'PY'
import json, re, sys
wanted = re.compile(r'/(tarvin_core|tarvin_words|tarvin_cli|tarvin_outlets|tarvin_recorder_lib|tarvin9-recorder|tarvin_sim_lib|tarvin_sim|tarvin_window|tarvin9|tarvin_chart|tarvin_report|tarvin_report_model|tarvin9-osc)\.dir/')
for entry in json.load(open(sys.argv[1])):
    if wanted.search(entry.get('output', '') or entry['command']):
        print(entry['file'])
PY
)
[ "${#units[@]}" -gt 0 ] || { echo "check-tidy: no unit of the core in $db" >&2; exit 2; }
printf '%s\n' "${units[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy --quiet -p "$build" >"$build/tidy.log" 2>&1 || {
  grep -E 'warning:|error:' "$build/tidy.log" | sort -u >&2
  echo "check-tidy: findings above (.clang-tidy); the whole output in $build/tidy.log" >&2
  exit 1
}
echo "tidy: ${#units[@]} translation units of the core and the programs, no finding"
