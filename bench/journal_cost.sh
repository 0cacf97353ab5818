#!/usr/bin/env bash
# What the window's event journal costs a tick: the real window (bench/
# window_harness) against the simulator at full line rate with an intrusion
# every few seconds and saving on alarm on, so that alarms, their ends and
# saves are journalled; measured with the journal and without it in turns
# (ROUNDS times each, each mode first in every other round), so that a change
# of the machine's load falls on both. Prints, per run, Label35 (the largest LinkTick of each 2 s), the
# LinkTick passes and the CPU share. A window of 1000 samples saves 500
# samples (6.4 s) after each alarm, so saves fall inside the measurement.
#   bench/journal_cost.sh [BUILD_DIR]         (default: build-bench)
#   WARMUP=10 MEASURE=40 INTRUSIONS=8 ROUNDS=2 WINDOW=1000 NICE=-10 bench/journal_cost.sh build
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build-bench}" && pwd)
warmup=${WARMUP:-10}
measure=${MEASURE:-40}
intrusions=${INTRUSIONS:-8}
rounds=${ROUNDS:-2}
window=${WINDOW:-1000}
nice=${NICE:-0}
harness=$build/bench/window_harness
sim=$build/sim/tarvin_sim
missing_hint="build the targets window_harness and tarvin_sim"
. "$root/bench/bench_rig.sh"
need_files "$harness" "$sim"
begin_window_bench

# One run: a fresh working folder and simulator (the same seed, so the same
# intrusions), then the harness with the journal's flag $1.
run() {
  local mode=$1 dir=$work/$2
  prepare_window_folder "$dir"
  start_simulator "$dir" --seed 7 --random-intrusions "$intrusions"
  local flag=
  [ "$mode" = off ] && flag=--no-journal
  (cd "$dir" && nice -n "$nice" "$harness" --window "$window" --warmup "$warmup" --measure "$measure" --save-on-alarm $flag) \
    >"$dir/run.out" 2>"$dir/run.err" || { cat "$dir/run.err" >&2; echo "the harness failed ($mode)" >&2; exit 1; }
  stop_process sim_pid
  ls "$dir/Chart4pF" | wc -l >"$dir/saves"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
echo "== journal on and off in turns, $rounds rounds: window $window, an intrusion every ~${intrusions} s," \
  "saving on alarm, ${warmup} s warm-up, ${measure} s measured each (display $display)"
in_turns "$rounds" on off run
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

fig() { awk -v k="$2" '$1 == k { printf "%.0f", $2 }' "$work/$1/run.out"; }
echo
echo "load $load_before -> $load_after on $(nproc) cores; times in us"
printf '%-8s %7s %6s %16s %22s %22s %6s %5s\n' run events saves "Label35 med/max" "LinkTick wall med/p99/max" \
  "LinkTick CPU med/p99/max" "CPU %" lost
for r in "${runs[@]}"; do
  printf '%-8s %7s %6s %16s %22s %22s %6s %5s\n' "$r" "$(fig "$r" journal_events)" "$(cat "$work/$r/saves")" \
    "$(slowest_tick_spread "$work/$r/run.out")" "$(fig "$r" tick_wall_us_median)/$(fig "$r" tick_wall_us_p99)/$(fig "$r" tick_wall_us_max)" \
    "$(fig "$r" tick_cpu_us_median)/$(fig "$r" tick_cpu_us_p99)/$(fig "$r" tick_cpu_us_max)" \
    "$(awk -v k=cpu_percent '$1 == k { printf "%.1f", $2 }' "$work/$r/run.out")" "$(fig "$r" samples_lost)"
done
