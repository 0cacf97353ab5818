#!/usr/bin/env bash
# The recorder for Linux and for Windows under Wine, in one run, against one
# simulator at the line's full rate, on an idle machine and then on a busy one
# (a spinning shell loop on every core, at the recorder's own priority): does
# each keep the line whole? Per run: the characters received a second against
# the simulator's, the samples the recorder took against those the simulator
# sent, checksum errors and damaged frames, the link's losses, and CPU in % of
# one core (the process, and for Wine the wineserver), and the process's
# largest resident memory.
#
#   bench/line_under_load.sh NATIVE_BUILD WINDOWS_BUILD
#   MEASURE=30 ROUNDS=2 bench/line_under_load.sh build build-win
# NATIVE_BUILD has tarvin_sim and tarvin9-recorder; WINDOWS_BUILD has
# recorder/tarvin9-recorder.exe (scripts/windows.sh makes both). The Wine
# prefix is WINDOWS_BUILD/wineprefix, as scripts/windows.sh makes it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# = 2 ] || { sed -n '/^#   bench/,/^# prefix is/p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
native=$(cd "$1" && pwd)
cross=$(cd "$2" && pwd)
measure=${MEASURE:-30}
rounds=${ROUNDS:-2}
sim=$native/sim/tarvin_sim
recorder=$native/recorder/tarvin9-recorder
recorder_exe=$cross/recorder/tarvin9-recorder.exe
for exe in "$sim" "$recorder" "$recorder_exe"; do
  [ -f "$exe" ] || { echo "missing $exe: build with scripts/windows.sh first" >&2; exit 2; }
done
tck=$(getconf CLK_TCK)

prefix=$cross/wineprefix
gcc_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
wine_env=(LC_ALL=C.UTF-8 HOME="$cross/winehome" WINEPREFIX="$prefix" WINEDEBUG=-all WINEARCH=win64
          WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d")
w() { env "${wine_env[@]}" "$@"; }
# A recorder built with MQTT imports libmosquitto and OpenSSL from their cache.
if mqtt=$("$root/scripts/windows-mqtt.sh" --path 2>/dev/null); then
  wine_env+=(WINEPATH="$(w winepath -w "$mqtt/bin")")
fi
mkdir -p "$cross/winehome"

work=$(mktemp -d)
sim_pid= run_pid= spinners=() wineserver_started=
stop_spinners() { [ ${#spinners[@]} = 0 ] || kill "${spinners[@]}" 2>/dev/null || true; spinners=(); }
cleanup() {
  stop_spinners
  [ -n "$run_pid" ] && kill "$run_pid" 2>/dev/null || true
  [ -n "$wineserver_started" ] && w wineserver -k 2>/dev/null || true
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

coproc SIM { cd "$work" && exec "$sim" --quiet COM1; }
sim_pid=$SIM_PID
exec {from_sim}<&"${SIM[0]}" {to_sim}>&"${SIM[1]}"
read -r line <&"$from_sim"
[ "$line" = ready ] || { echo "the simulator did not start" >&2; exit 1; }
pty=$(readlink -f "$work/COM1")
sim_stat() {  # key: the simulator's counter
  echo stats >&"$to_sim"
  read -r line <&"$from_sim"
  tr ' ' '\n' <<<"${line#stats }" | awk -F= -v k="$1" '$1 == k { print $2 }'
}

if [ ! -f "$prefix/system.reg" ]; then
  w wineboot -i >/dev/null 2>&1
  w wineserver -w
fi
w wine reg add 'HKLM\Software\Wine\Ports' /v COM7 /t REG_SZ /d "$pty" /f >/dev/null 2>&1
w wineserver -w
w wineserver -p  # kept running, as in a desktop session
wineserver_started=1
server_pid() { pgrep -n -f "wineserver" || true; }

ticks() { [ -r "/proc/$1/stat" ] && sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }' || echo 0; }

measured_run() {  # linux|wine, idle|busy, name
  local kind=$1 load=$2 name=$3 journal=$work/$3.jsonl
  [ "$load" = busy ] && for _ in $(seq "$(nproc)"); do (while :; do :; done) & spinners+=($!); done
  local frames0 samples0 server s0 p0 t0
  frames0=$(sim_stat frames) samples0=$(sim_stat samples)
  if [ "$kind" = linux ]; then
    (cd "$work" && exec "$recorder" --port COM1 --duration "$measure" --journal "$journal") 2>"$work/$name.err" &
  else
    (cd "$work" && exec env "${wine_env[@]}" wine "$recorder_exe" --port COM7 --duration "$measure" \
       --journal "$journal") 2>"$work/$name.err" &
  fi
  run_pid=$!
  server=$(server_pid)
  t0=$(date +%s%3N) s0=$(ticks "$server") p0=0
  local p=0 rss=0 now_rss
  while kill -0 "$run_pid" 2>/dev/null; do
    p=$(ticks "$run_pid")
    now_rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$run_pid/status" 2>/dev/null || echo 0)
    [ "${now_rss:-0}" -gt "$rss" ] && rss=$now_rss
    sleep 0.5
  done
  wait "$run_pid" || { cat "$work/$name.err" >&2; echo "the $kind recorder failed" >&2; exit 1; }
  run_pid=
  local t1 s1
  t1=$(date +%s%3N) s1=$(ticks "$server")
  stop_spinners
  local frames=$(($(sim_stat frames) - frames0)) samples=$(($(sim_stat samples) - samples0))
  python3 - "$journal" "$frames" "$samples" $((t1 - t0)) "$tck" "$p" $((s1 - s0)) "$kind" "$rss" <<'PY' >"$work/$name.fig"
import json, sys
journal, sent_frames, sent_samples, ms, tck, proc, server, kind, rss = sys.argv[1:]
events = [json.loads(l) for l in open(journal, encoding="utf-8") if l.strip()]
stop = [e for e in events if e["event"] == "stop"][-1]
c = stop["counters"]
seconds = int(ms) / 1000
lost = sum(e.get("lost", 0) for e in events if e["event"] == "summary")
print(f'{c["bytes_received"] / seconds:.0f} {c["frames_received"]} {sent_frames} {stop["samples"]} {sent_samples} '
      f'{c["checksum_errors"]} {c["overflows"]} {lost} '
      f'{sum(e["event"] == "link_lost" for e in events)} '
      f'{100 * int(proc) / int(tck) / seconds:.1f} '
      f'{(100 * int(server) / int(tck) / seconds) if kind == "wine" else 0:.1f} '
      f'{int(rss) / 1024:.1f}')
PY
}

echo "== the recorder for Linux and for Windows (Wine), $rounds rounds, ${measure} s each, idle then busy ($(nproc) cores)"
runs=()
for load in idle busy; do
  for r in $(seq "$rounds"); do
    order="linux wine"
    [ $((r % 2)) = 0 ] && order="wine linux"
    for kind in $order; do
      echo "-- $kind, $load, round $r"
      measured_run "$kind" "$load" "$kind-$load-$r"
      runs+=("$kind-$load-$r")
    done
  done
done
echo
printf '%-14s %7s %8s %8s %8s %8s %6s %6s %6s %5s %6s %6s %6s\n' run "rx B/s" "frames" "sent" "samples" "sent" "cksum" \
  "ovfl" "lost" "down" "proc%" "wsrv%" "MB"
for r in "${runs[@]}"; do
  # shellcheck disable=SC2046
  printf '%-14s %7s %8s %8s %8s %8s %6s %6s %6s %5s %6s %6s %6s\n' "$r" $(cat "$work/$r.fig")
done
echo "rx: characters the recorder received a second over the whole run (the link's first second included; the"
echo "line carries 3 840); frames, samples: what the recorder took, each beside what the simulator sent; cksum, ovfl: checksum errors and overflows; lost: damaged"
echo "frames in the summaries; down: link losses; proc: the recorder's process; wsrv: the wineserver (Wine only);"
echo "MB: the recorder's largest resident memory seen (under Wine: its whole process, Wine's own DLLs included)."
