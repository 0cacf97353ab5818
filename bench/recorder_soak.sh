#!/usr/bin/env bash
# The recorder at full line rate with chart streaming, against the simulator
# on a pseudo-terminal: CPU share of a core, resident memory, and samples
# sent by the simulator against samples the recorder took.
#   bench/recorder_soak.sh [build dir] [seconds]      (default: build, 600)
set -euo pipefail
build=$(realpath "${1:-build}")
seconds=${2:-600}
work=$(mktemp -d)
trap 'kill $sim_pid 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"

coproc SIM { exec "$build/sim/tarvin_sim" --quiet COM1; }
sim_pid=$SIM_PID
exec {from_sim}<&"${SIM[0]}" {to_sim}>&"${SIM[1]}"  # kept even if the coproc's own names go
read -r line <&"$from_sim"
[ "$line" = ready ] || { echo "the simulator did not start" >&2; exit 1; }

"$build/recorder/tarvin9-recorder" --port COM1 --duration "$seconds" 2>recorder.err &
rec=$!
ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$rec/stat"; }
sleep 10  # the link comes up and the stream settles
cpu0=$(cpu); t0=$(date +%s.%N)
hwm=0
while kill -0 "$rec" 2>/dev/null; do
  if [ -r "/proc/$rec/status" ]; then
    now_hwm=$(awk '/VmHWM/ {print $2}' "/proc/$rec/status" 2>/dev/null || echo 0)
    [ -n "$now_hwm" ] && [ "$now_hwm" -gt "$hwm" ] && hwm=$now_hwm
    cpu1=$(cpu 2>/dev/null || echo "$cpu1"); t1=$(date +%s.%N)
  fi
  sleep 5
done
wait "$rec" || true
kill -0 "$sim_pid" 2>/dev/null || { echo "the simulator ended during the run" >&2; exit 1; }
echo stats >&"$to_sim"
read -r stats <&"$from_sim"
sent=$(sed -E 's/.* samples=([0-9]+).*/\1/' <<<"$stats")
taken=$(tail -n 1 journal.jsonl | sed -E 's/.*"samples":([0-9]+).*/\1/')
awk -v c0="$cpu0" -v c1="$cpu1" -v t0="$t0" -v t1="$t1" -v hz="$ticks" -v hwm="$hwm" \
    -v sent="$sent" -v taken="$taken" -v secs="$seconds" 'BEGIN {
  printf "recorder, %d s at full line rate with chart streaming\n", secs
  printf "  CPU            %.2f %% of a core (target <= 1 %%)\n", 100 * (c1 - c0) / hz / (t1 - t0)
  printf "  VmHWM          %.1f MB (target <= 10 MB)\n", hwm / 1024
  printf "  samples        sent %d, taken %d, %.1f per second\n", sent, taken, taken / secs
  printf "  not taken      %d (frames in flight when chart transmission was stopped at the end)\n", sent - taken
}'
