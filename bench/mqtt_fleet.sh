#!/usr/bin/env bash
# Fifty recorders publishing to one broker on this machine. Fifty simulators
# stream at the line's full rate (alarms now and then on all but the probe);
# the recorders run first without --mqtt, then with --mqtt --mqtt-samples 1,
# and the difference of their CPU time is what publishing adds. During the
# second run bench/mqtt_fleet_watch subscribes to tarvin9/#, counts what the
# broker carries and times the probe's alarms from the line to the subscriber.
# Then a third run with --mqtt-samples 25 shows the broker at a heavier load.
#   bench/mqtt_fleet.sh [BUILD_DIR]   (default: build-bench)
#   COUNT=50 WARMUP=5 MEASURE=60 bench/mqtt_fleet.sh
# Exit status 1 when a figure misses its target.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build-bench}" && pwd)
count=${COUNT:-50}
warmup=${WARMUP:-5}
measure=${MEASURE:-60}
nice=${NICE:-0}
sim=$build/sim/tarvin_sim
recorder=$build/recorder/tarvin9-recorder
watcher=$build/bench/mqtt_fleet_watch
for exe in "$sim" "$recorder" "$watcher"; do
  [ -x "$exe" ] || { echo "missing $exe: build tarvin_sim, tarvin9-recorder and mqtt_fleet_watch" >&2; exit 2; }
done

work=$(mktemp -d)
pids=()
recorders=()
broker_pid=
cleanup() {
  for p in "${recorders[@]}" "${pids[@]}" $broker_pid; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
{
  [ "$(id -u)" = 0 ] && echo "user root"
  echo "listener $port 127.0.0.1"
  echo "allow_anonymous true"
  echo "persistence false"
  echo "max_queued_messages 100000"
} > "$work/mosquitto.conf"
nice -n "$nice" /usr/sbin/mosquitto -c "$work/mosquitto.conf" > "$work/mosquitto.log" 2>&1 &
broker_pid=$!

# The simulators, one folder each; the probe (s00) takes commands on a FIFO
# and logs its frames.
mkfifo "$work/probe.fifo"
exec 3<>"$work/probe.fifo"
names=$(seq -f 's%02g' 0 $((count - 1)))
for i in $names; do
  mkdir -p "$work/$i"
  if [ "$i" = s00 ]; then
    nice -n "$nice" "$sim" --link "$work/$i/COM1" --log "$work/probe.log" <&3 >/dev/null &
  else
    nice -n "$nice" "$sim" --link "$work/$i/COM1" --quiet --random-intrusions 20 --seed "$((10#${i#s} + 1))" </dev/null >/dev/null &
  fi
  pids+=($!)
done
for i in $names; do
  for _ in $(seq 100); do [ -e "$work/$i/COM1" ] && break; sleep 0.05; done
done

ticks=$(getconf CLK_TCK)
cpu_ticks() {  # the user and system ticks of the pids given
  local total=0 p f
  for p in "$@"; do
    f=$(cut -d' ' -f14,15 "/proc/$p/stat" 2>/dev/null || echo "0 0")
    total=$((total + ${f% *} + ${f#* }))
  done
  echo "$total"
}

run_fleet() {  # label (plain, mqtt or heavy)
  local label=$1 i extra
  recorders=()
  for i in $names; do
    case $label in
      plain) extra=() ;;
      mqtt) extra=(--mqtt "mqtt://127.0.0.1:$port" --site bench --sensor "$i" --mqtt-samples 1) ;;
      heavy) extra=(--mqtt "mqtt://127.0.0.1:$port" --site bench --sensor "$i" --mqtt-samples 25) ;;
    esac
    (cd "$work/$i" && rm -rf Chart4pF journal.jsonl &&
      exec nice -n "$nice" "$recorder" --port COM1 --window 200 "${extra[@]}" >"$work/$i/recorder.out" 2>&1) &
    recorders+=($!)
  done
  sleep "$warmup"
  local before after broker_before broker_after t0 t1
  before=$(cpu_ticks "${recorders[@]}")
  broker_before=$(cpu_ticks "$broker_pid")
  t0=$(date +%s.%N)
  if [ "$label" = plain ]; then
    sleep "$measure"
  else
    "$watcher" "$port" "$measure" "tarvin9/bench/s00/event" "$work/probe.fifo" "$work/probe.log" 4 \
      > "$work/$label.txt" || true
  fi
  t1=$(date +%s.%N)
  after=$(cpu_ticks "${recorders[@]}")
  broker_after=$(cpu_ticks "$broker_pid")
  for i in "${recorders[@]}"; do kill "$i" 2>/dev/null || true; done
  for i in "${recorders[@]}"; do wait "$i" 2>/dev/null || true; done
  recorders=()
  awk -v a="$before" -v b="$after" -v ba="$broker_before" -v bb="$broker_after" -v t0="$t0" -v t1="$t1" \
      -v n="$count" -v hz="$ticks" -v l="$label" 'BEGIN {
    s = t1 - t0
    printf "%s_cpu_per_recorder %.3f\n%s_broker_cpu %.2f\n", l, 100 * (b - a) / hz / s / n, l, 100 * (bb - ba) / hz / s
  }' >> "$work/figures.txt"
  [ "$label" = plain ] || sed "s/^/${label}_/" "$work/$label.txt" >> "$work/figures.txt"
}

fig() { awk -v k="$1" '$1 == k { print $2 }' "$work/figures.txt"; }

echo "== $count simulators at line rate, $count recorders without --mqtt (${measure} s after ${warmup} s)"
run_fleet plain
echo "== the same recorders with --mqtt --mqtt-samples 1"
run_fleet mqtt
echo "== and with --mqtt-samples 25 (a heavier load on the broker)"
run_fleet heavy

failed=0
row() {  # name, value, comparison (le, ge), target, unit
  local ok
  ok=$(awk -v v="$2" -v t="$4" -v c="$3" 'BEGIN { print (v == "" ? 0 : (c == "le" ? v <= t : v >= t)) }')
  printf '%-52s %10s %-3s target %s %s %s   %s\n' "$1" "${2:-none}" "$5" "$([ "$3" = le ] && echo '<=' || echo '>=')" \
    "$4" "$5" "$([ "$ok" = 1 ] && echo ok || echo MISSED)"
  [ "$ok" = 1 ] || failed=1
}
info() { printf '%-52s %10s %s\n' "$1" "$2" "$3"; }

added=$(awk -v a="$(fig plain_cpu_per_recorder)" -v b="$(fig mqtt_cpu_per_recorder)" 'BEGIN { printf "%.3f", b - a }')
echo
echo "fleet of $count (load $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores)"
info "recorder CPU without --mqtt (per recorder)" "$(fig plain_cpu_per_recorder)" "% of a core"
info "recorder CPU with --mqtt --mqtt-samples 1" "$(fig mqtt_cpu_per_recorder)" "% of a core"
row "  added by publishing, per recorder" "$added" le 0.5 "%"
info "chart samples per 1 s summary (line rate: ~78)" "$(fig mqtt_chart_samples_per_summary)" ""
info "broker CPU (mosquitto) at --mqtt-samples 1" "$(fig mqtt_broker_cpu)" "% of a core"
info "messages/s the broker carried to the subscriber" "$(fig mqtt_messages_per_s)" ""
info "  of which events/s" "$(fig mqtt_events_per_s)" ""
info "  oscillograms in ${measure} s" "$(fig mqtt_oscillograms)" ""
row "alarm frame on the line -> subscriber, median" "$(fig mqtt_alarm_latency_ms_median)" le 100 ms
info "  90th percentile / max ($(fig mqtt_alarm_probes) probes)" "$(fig mqtt_alarm_latency_ms_p90) / $(fig mqtt_alarm_latency_ms_max)" ms
info "with --mqtt-samples 25: messages/s carried" "$(fig heavy_messages_per_s)" ""
info "  recorder CPU per recorder" "$(fig heavy_cpu_per_recorder)" "% of a core"
info "  broker CPU" "$(fig heavy_broker_cpu)" "% of a core"
info "  alarm latency median / max" "$(fig heavy_alarm_latency_ms_median) / $(fig heavy_alarm_latency_ms_max)" ms
exit "$failed"
