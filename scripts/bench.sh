#!/usr/bin/env bash
# Every benchmark, each figure printed next to its target: installs what is
# missing, builds Release in build-bench/, runs bench_core (the core), bench_window
# (the real window, offscreen) and bench/whole_program.sh (the program against
# the simulator at full line rate under Xvfb, then its start-up) and
# bench/mqtt_fleet.sh (fifty recorders publishing to one broker) and
# bench/journal_cost.sh (the window with its event journal and without) and
# bench/report_week.sh (the commissioning report over a week's journal).
# site/bench/banner_latency.mjs (the control room's page under fifty sensors' traffic)
# and site/bench/ack_latency.mjs (acknowledgements across five operators' pages,
# and a page opened on fifty sensors' histories) and site/bench/plan_latency.mjs
# (the plan view under fifty sensors) and site/bench/scale_latency.mjs (500
# sensors on 50 bridged sites: a page's first screen, an alarm on three pages).
#   scripts/bench.sh
#   NICE=-10 MEASURE=60 scripts/bench.sh   on a machine shared with other work (root)
# Exit status 1 when a figure misses its target. See BENCHMARKS.md.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${TARVIN_BENCH_DIR:-$root/build-bench}
nice=${NICE:-0}

scripts/deps.sh

echo "== build (Release, $build)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVIN_TESTS=OFF -DTARVIN_BENCH=ON >/dev/null
cmake --build "$build" --target bench_core bench_window window_harness tarvin_sim -- -j2
cmake --build "$build" --target tarvin9-osc bench_osc -- -j2
# Publishing to a broker (bench/mqtt_fleet.sh).
cmake --build "$build" --target tarvin9-recorder mqtt_fleet_watch -- -j2

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

run_bench() {  # executable, json file: three repetitions, medians kept
  nice -n "$nice" "$1" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    --benchmark_out="$2" --benchmark_out_format=json
}
echo "== bench_core"
run_bench "$build/bench/bench_core" "$out/core.json"
echo "== bench_window (offscreen)"
QT_QPA_PLATFORM=offscreen run_bench "$build/bench/bench_window" "$out/window.json"

# The median of benchmark $2's field $3 in the JSON file $1; times in microseconds.
get() {
  awk -v want="$2_median" -v key="$3" '
    /"name":/ { n = $0; sub(/.*"name": *"/, "", n); sub(/".*/, "", n); here = (n == want) }
    here && index($0, "\"" key "\":") { v = $0; sub(/.*: */, "", v); sub(/,$/, "", v) }
    here && /"time_unit":/ { u = $0; sub(/.*: *"/, "", u); sub(/".*/, "", u) }
    END {
      if (v == "") exit
      if (key ~ /_time$/) v = v / (u == "ns" ? 1000 : (u == "ms" ? 0.001 : 1))
      printf "%.6g\n", v
    }' "$1"
}

failed=0
row() {  # name, value, comparison (le, ge or eq), target, unit
  local ok
  ok=$(awk -v v="$2" -v t="$4" -v c="$3" 'BEGIN { print (v == "" ? 0 : (c == "le" ? v <= t : (c == "ge" ? v >= t : v == t))) }')
  printf '%-46s %12s %-6s target %s %s %s   %s\n' "$1" "${2:-none}" "$5" \
    "$(case $3 in le) echo '<=' ;; ge) echo '>=' ;; *) echo '=' ;; esac)" "$4" "$5" \
    "$([ "$ok" = 1 ] && echo ok || echo MISSED)"
  [ "$ok" = 1 ] || failed=1
}
info() { printf '%-46s %12s %-6s %s\n' "$1" "$2" "$3" "$4"; }

echo
echo "core (bench_core, CPU time, median of 3; load $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores)"
row "LinkTick, chart frames, x line rate (80/tick)" "$(get "$out/core.json" BM_LinkTickChartFrames/80 x_line_rate)" ge 1000 ""
row "LinkTick, chart frames, x line rate (3/tick)" "$(get "$out/core.json" BM_LinkTickChartFrames/3 x_line_rate)" ge 1000 ""
row "LinkTick into the history, x line rate (80)" "$(get "$out/core.json" BM_LinkTickIntoScope/80 x_line_rate)" ge 1000 ""
row "LinkTick, allocations per frame" "$(get "$out/core.json" BM_LinkTickChartFrames/80 allocs_per_frame)" eq 0 ""
row "LinkTick into the history, allocations/frame" "$(get "$out/core.json" BM_LinkTickIntoScope/80 allocs_per_frame)" eq 0 ""
row "AppendScopeSample (core), allocations/sample" "$(get "$out/core.json" BM_AppendScopeSample allocs_per_sample)" eq 0 ""
info "AppendScopeSample (core), window 5000" "$(get "$out/core.json" BM_AppendScopeSample cpu_time)" us "per sample"
echo
echo "window (bench_window, real TFmain offscreen, window 5000, CPU time, median of 3)"
row "AppendScopeSample through the Qt sink/chart" "$(get "$out/window.json" BM_WindowAppendScopeSample cpu_time)" le 50 us
row "  the same, history flushed from the caches" "$(get "$out/window.json" BM_WindowAppendScopeSampleColdHistory cpu_time)" le 50 us
info "  mallocs per sample (Qt's strings, grid)" "$(get "$out/window.json" BM_WindowAppendScopeSample mallocs_per_sample)" "" ""
info "one tick (3 frames) with its redraw" "$(get "$out/window.json" BM_WindowTickAndReplot cpu_time)" us "per 40 ms tick"
info "  of which the chart's replot (wall)" "$(get "$out/window.json" BM_WindowTickAndReplot replot_us)" us ""
info "  share of a core at 25 ticks/s" \
  "$(awk -v v="$(get "$out/window.json" BM_WindowTickAndReplot core_share_at_25Hz)" 'BEGIN { printf "%.1f", 100 * v }')" % ""
echo

echo "tarvin9-osc (bench_osc: 1000 files of 5000 samples, files per second of one core)"
nice -n "$nice" "$build/bench/bench_osc" "$build/osc/tarvin9-osc" || failed=1
echo
echo "tarvin9-osc report over a week (10,080 summaries, 200 oscillograms of 5000 samples)"
bench/report_week.sh "$build" || failed=1
echo

NICE=$nice bench/whole_program.sh "$build" || failed=1

echo
NICE=$nice bench/mqtt_fleet.sh "$build" || failed=1
# The event journal's cost: the window with and without it, in turns.
echo
NICE=$nice bench/journal_cost.sh "$build" || failed=1
# The control room's page in headless chromium under fifty sensors' traffic:
# alarm published -> banner shown, and the page's CPU and memory (DURATION=3600 for the hour).
echo
scripts/site.sh && nice -n "$nice" node site/bench/banner_latency.mjs || failed=1
# Five operators' pages on fifty sensors: an acknowledgement from one page to
# the others, the first screen over full histories, and the pages' memory.
echo
(cd site && nice -n "$nice" node bench/ack_latency.mjs) || failed=1
# The plan view under fifty sensors: its first drawing over a picture of a few
# MB, status -> zone state, and the page's memory (DURATION=3600 for the hour).
echo
(cd site && nice -n "$nice" node bench/plan_latency.mjs) || failed=1
# A guard company's control room: 500 sensors with full retained histories on
# 50 site brokers bridged to one central broker (a real recorder's messages,
# recorded on the simulator and published again under every sensor's name):
# the first screen of a page opened then, and an alarm on three open pages.
echo
(cd site && TARVIN_BUILD="$build" nice -n "$nice" node bench/scale_latency.mjs) || failed=1
exit "$failed"
