#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for
# SECONDS (default 60) on a scratch copy of its seed corpus in fuzz/corpus/.
# Fails when a target crashes or breaks an invariant; the input that did it is
# kept in build-fuzz/artifacts/.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-60}
build=$root/build-fuzz

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTARVIN_FUZZ=ON \
  -DTARVIN_GUI=OFF -DTARVIN_TESTS=OFF -DTARVIN_BENCH=OFF -DTARVIN_SIM=OFF >/dev/null
cmake --build "$build" --target fuzz_link_tick fuzz_oscillogram_reader fuzz_dc09_answers -- -j2

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$build/artifacts"

# The targets side by side: each runs on one core, and a machine has two.
run_target() {  # corpus, target
  local corpus=$1 target=$2
  mkdir -p "$scratch/$corpus"
  cp -r "fuzz/corpus/$corpus/." "$scratch/$corpus/"
  "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
    "$scratch/$corpus" 2>"$scratch/$target.log"
}
pids=()
targets=(link_tick:fuzz_link_tick oscillogram:fuzz_oscillogram_reader dc09_answers:fuzz_dc09_answers)
for pair in "${targets[@]}"; do
  echo "== ${pair##*:}, ${seconds}s"
  run_target "${pair%%:*}" "${pair##*:}" &
  pids+=($!)
done
status=0
for i in "${!targets[@]}"; do
  target=${targets[$i]##*:}
  if ! wait "${pids[$i]}"; then
    tail -n 60 "$scratch/$target.log" >&2
    echo "$target failed; the input is in $build/artifacts/" >&2
    status=1
  else
    echo "-- $target"
    grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::average_exec_per_sec)' "$scratch/$target.log" || true
  fi
done
exit "$status"
