#!/usr/bin/env bash
# `tarvin9-osc report` over a week: bench/report_week.py makes a recorder's
# journal of 10,080 minute summaries with their quiet figures, a few hundred
# events, WALK_TESTS walk tests of ten passes each, a restart and three torn
# lines, with 200 oscillograms of 5000 samples; the report (PDF) is made
# ROUNDS times, each timed with its peak resident memory. WALK_TESTS 0 makes
# a journal as written before walk tests and quiet figures.
#   bench/report_week.sh [BUILD_DIR] [ROUNDS] [WALK_TESTS]   (default: build, 3, 50)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
rounds=${2:-3}
walk_tests=${3:-50}
osc=$build/osc/tarvin9-osc
[ -x "$osc" ] || { echo "missing $osc: build the target tarvin9-osc" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$root/bench/report_week.py" "$work" --walk-tests "$walk_tests"
echo "journal: $(du -h "$work/journal.jsonl" | cut -f1), oscillograms: $(du -sh "$work/Chart4pF" | cut -f1)"
cd "$work"
worst_s=0 worst_kb=0
for i in $(seq "$rounds"); do
  /usr/bin/time -f "%e %M" -o time.txt "$osc" report journal.jsonl -o week.pdf --site bench --sensor week
  read -r s kb <time.txt
  echo "round $i: $s s, peak resident $((kb / 1024)) MB"
  worst_s=$(awk -v a="$worst_s" -v b="$s" 'BEGIN {print (b > a) ? b : a}')
  [ "$kb" -gt "$worst_kb" ] && worst_kb=$kb
done
pages=$(pdfinfo week.pdf 2>/dev/null | awk '/^Pages:/ {print $2}')
echo "report: ${pages:-?} pages, $(du -h week.pdf | cut -f1)"
echo "slowest $worst_s s (target 3), largest $((worst_kb / 1024)) MB (target 200)"
awk -v s="$worst_s" -v kb="$worst_kb" 'BEGIN {exit !(s <= 3 && kb <= 200 * 1024)}'
