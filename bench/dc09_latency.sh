#!/usr/bin/env bash
# The alarm receiving centre on loopback: from the status reply that raised an
# alarm (the journal's alarm_begin) to the receiver's ACK (its dc09_acked),
# median and 95th percentile over ALARMS alarms, against the real receiver of
# the tests (tests/dc09/receiver, iobroker.sia) over TCP with AES-128; then
# the recorder's CPU over MEASURE seconds of streaming, without --dc09 and
# with --dc09 --dc09-null 10, and what the outlet adds.
#   bench/dc09_latency.sh [BUILD_DIR]   (default: build)
#   ALARMS=100 MEASURE=120 bench/dc09_latency.sh
# Exit status 1 when the median misses its target (100 ms).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
alarms=${ALARMS:-100}
measure=${MEASURE:-120}
sim=$build/sim/tarvin_sim
recorder=$build/recorder/tarvin9-recorder
for exe in "$sim" "$recorder"; do
  [ -x "$exe" ] || { echo "missing $exe: build tarvin_sim and tarvin9-recorder" >&2; exit 2; }
done
"$root/scripts/dc09-receiver.sh" >/dev/null

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

key=000102030405060708090A0B0C0D0E0F
echo "$key" >"$work/site.key"
node "$root/tests/dc09/receiver/receiver.js" --protocol tcp --account 1234 --key "$key" >"$work/receiver.out" &
pids+=($!)
for _ in $(seq 100); do grep -q listening "$work/receiver.out" 2>/dev/null && break; sleep 0.1; done
port=$(python3 -c 'import json,sys; print(json.loads(open(sys.argv[1]).readline())["listening"])' "$work/receiver.out")

# One recorder run of S seconds on a fresh simulator; its CPU seconds (user + system).
run() {  # name, seconds, sim options, -- recorder options
  local name=$1 seconds=$2; shift 2
  local sim_args=()
  while [ "$1" != -- ]; do sim_args+=("$1"); shift; done
  shift
  mkfifo "$work/$name.commands"
  "$sim" --link "$work/$name.tty" "${sim_args[@]}" <>"$work/$name.commands" >"$work/$name.sim" 2>&1 &
  local sim_pid=$!
  for _ in $(seq 100); do [ -e "$work/$name.tty" ] && break; sleep 0.05; done
  python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[2:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
r = resource.getrusage(resource.RUSAGE_CHILDREN)
open(sys.argv[1], "w").write(f"{r.ru_utime} {r.ru_stime}")' "$work/$name.cpu" "$recorder" --port "$work/$name.tty" \
    --journal "$work/$name.jsonl" --folder "$work/$name-osc" --duration "$seconds" "$@"
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
}

dc09=(--dc09 "tcp://127.0.0.1:$port" --dc09-account 1234 --dc09-key "$work/site.key")
# An intrusion of 1 s every 3 s, once the link is up: each its own alarm of about 2 s.
echo "== $alarms alarms to the receiver (about $((alarms * 3 + 15)) s)"
(
  sleep 8
  for _ in $(seq "$alarms"); do echo "intrusion 1" >"$work/latency.commands"; sleep 3; done
) &
pids+=($!)
run latency $((alarms * 3 + 15)) -- "${dc09[@]}"
echo "== the recorder's CPU over $measure s of streaming, without and with the centre"
run plain "$measure" -- 
run null "$measure" -- "${dc09[@]}" --dc09-null 10

python3 - "$work" "$alarms" <<'PY'
import json, statistics, sys
from datetime import datetime
work, want = sys.argv[1], int(sys.argv[2])
def t(text): return datetime.fromisoformat(text).timestamp()
events = [json.loads(l) for l in open(f"{work}/latency.jsonl")]
begun = {(e["time"], e["seq"]) for e in events if e["event"] == "alarm_begin"}
ms = sorted((t(e["time"]) - t(e["event_time"])) * 1000 for e in events
            if e["event"] == "dc09_acked" and e["reported"] == "alarm_begin" and (e["event_time"], e["event_seq"]) in begun)
cpu = {n: sum(map(float, open(f"{work}/{n}.cpu").read().split()[-2:])) for n in ("plain", "null")}
nulls = sum(1 for l in open(f"{work}/receiver.out") if '"frame"' in l and 'NULL' in l)
p95 = ms[max(0, int(len(ms) * 0.95) - 1)] if ms else float("nan")
print(f"alarms acknowledged: {len(ms)} of {len(begun)} begun")
print(f"alarm_begin -> ACK: median {statistics.median(ms):.1f} ms, 95th percentile {p95:.1f} ms, max {ms[-1]:.1f} ms")
print(f"recorder CPU: {cpu['plain']:.2f} s without the centre, {cpu['null']:.2f} s with NULL every 10 s "
      f"(+{cpu['null'] - cpu['plain']:.2f} s), {nulls} NULL frames seen by the receiver")
sys.exit(0 if ms and len(ms) >= min(want, len(begun)) and statistics.median(ms) < 100 else 1)
PY
