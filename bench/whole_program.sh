#!/usr/bin/env bash
# The whole program at the line's full rate: the simulator streams chart frames
# at 38400 baud 7O1, the real window (bench/window_harness, built as tarvin9
# builds it) runs on a virtual X server at its initial size with EditX 5000 and
# "ПУСК" pressed, and measures itself over MEASURE seconds after WARMUP seconds.
# Then the start-up (process start to the first frame on screen) is measured
# STARTS times. Prints each figure next to its target; exit status 1 when one
# misses it.
#   bench/whole_program.sh [BUILD_DIR]   (default: build-bench in the repository)
#   WARMUP=10 MEASURE=60 STARTS=10 bench/whole_program.sh build-perf
# NICE=-10 runs the simulator and the program ahead of other work on a shared
# machine (root only), so that others' builds do not stretch the figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build-bench}" && pwd)
warmup=${WARMUP:-10}
measure=${MEASURE:-60}
starts=${STARTS:-10}
nice=${NICE:-0}
harness=$build/bench/window_harness
sim=$build/sim/tarvin_sim
missing_hint="build the targets window_harness and tarvin_sim"
. "$root/bench/bench_rig.sh"
need_files "$harness" "$sim"
begin_window_bench

prepare_window_folder "$work"
start_simulator "$work"

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
echo "== whole program: window 5000, full line rate, ${warmup} s warm-up, ${measure} s measured (display $display)"
(cd "$work" && nice -n "$nice" "$harness" --window 5000 --warmup "$warmup" --measure "$measure") >"$work/run.out" 2>"$work/run.err" \
  || { cat "$work/run.err" >&2; echo "the harness failed" >&2; exit 1; }
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
cp "$work/run.out" "$build/whole_program.out"  # every figure, for a closer look

fig() { awk -v k="$1" '$1 == k { print $2 }' "$work/run.out"; }

echo "== start-up, $starts runs"
startup=()
for _ in $(seq "$starts"); do
  # The previous instance must have let the port go; the simulator keeps it.
  ms=$(cd "$work" && nice -n "$nice" "$harness" --startup-only 2>/dev/null | awk '$1 == "startup_ms" { print $2 }')
  [ -n "$ms" ] && startup+=("$ms")
done
startup_sorted=$(printf '%s\n' "${startup[@]}" | sort -n)
startup_median=$(echo "$startup_sorted" | awk '{ a[NR] = $1 } END { print (NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2) }')
startup_max=$(echo "$startup_sorted" | tail -1)

failed=0
row() {  # name, value, comparison (le or eq), target, unit
  local ok
  ok=$(awk -v v="$2" -v t="$4" -v c="$3" 'BEGIN { print (v == "" ? 0 : (c == "le" ? v <= t : v == t)) }')
  printf '%-34s %12s %-4s   target %s %s %s   %s\n' "$1" "${2:-none}" "$5" "$( [ "$3" = le ] && echo '<=' || echo '=')" "$4" "$5" \
    "$( [ "$ok" = 1 ] && echo ok || echo MISSED)"
  [ "$ok" = 1 ] || failed=1
}
hwm_mb=$(awk -v k="$(fig vmhwm_kb)" 'BEGIN { printf "%.1f", k / 1024 }')
echo
echo "whole program ($(fig measured_s) s measured, $(fig samples_per_s) samples/s; nice $nice;" \
  "load $load_before -> $load_after on $(nproc) cores)"
row "CPU, share of one core" "$(fig cpu_percent)" le 10 %
row "Label35, largest value seen" "$(fig label35_max_us)" le 1000 us
label35_spread=$(slowest_tick_values "$work/run.out" |
  awk '{ a[NR] = $1 } END { if (NR) printf "%s us median, %s us at 90 %%, %d windows of 50 ticks", a[int((NR + 1) / 2)], a[int(NR * 0.9 + 0.5)], NR }')
printf '%-34s %s\n' "  Label35 spread" "$label35_spread"
printf '%-34s %s us median, %s us at 99 %%, %s us largest\n' "  one LinkTick pass, wall time" \
  "$(fig tick_wall_us_median)" "$(fig tick_wall_us_p99)" "$(fig tick_wall_us_max)"
printf '%-34s %s us median, %s us at 99 %%, %s us largest\n' "  one LinkTick pass, CPU time" \
  "$(fig tick_cpu_us_median)" "$(fig tick_cpu_us_p99)" "$(fig tick_cpu_us_max)"
row "samples lost" "$(fig samples_lost)" eq 0 ""
row "peak resident memory (VmHWM)" "$hwm_mb" le 80 MB
printf '%-34s %12s /s    (one per 40 ms tick at most: 25)\n' "redraws" "$(fig replots_per_s)"
printf '%-34s %12s ms    (largest %s ms)\n' "one redraw, mean" "$(fig replot_ms_mean)" "$(fig replot_ms_max)"
printf '%-34s %12s       (bad frames %s, overflows %s)\n' "samples received" "$(fig samples_received)" \
  "$(fig bad_frames)" "$(fig overflows)"
row "start-up to first frame, median" "$startup_median" le 300 ms
row "start-up to first frame, largest" "$startup_max" le 300 ms
exit "$failed"
