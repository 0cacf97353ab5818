#!/usr/bin/env bash
# The window for Windows under Wine beside the window for Linux, in one run:
# bench/window_harness (the real window, EditX 5000, "ПУСК", measuring itself)
# built both ways, against one simulator at the line's full rate on one virtual
# X server, the two in turns (ROUNDS rounds, each first in every other round),
# so that a change of the machine's load falls on both. The Wine program opens
# COM7, which the private prefix maps to the simulator's pseudo-terminal
# (never COM1: Wine maps that to this machine's /dev/ttyS0).
#
# Each run's CPU share is measured twice: by the program itself (Linux: /proc;
# Windows: GetProcessTimes) and from outside, from /proc/<pid>/stat over the
# last MEASURE-1 s of its measurement: the program's process (a Wine program is
# a Linux process), for Wine also the wineserver and the prefix's other Wine
# processes (services, explorer ...), whose work is part of its cost, and the X
# server, which draws for both. Peak memory: the program's own figure (VmHWM;
# PeakWorkingSetSize, which Wine takes from the same VmHWM) and VmHWM read from
# outside, and in round 1 where the resident memory lies (anonymous, and
# the mapped files, largest first). Then STARTS start-ups each, to the first frame on screen: from the
# process's own start record and from the launch command (Wine's own start
# included; the wineserver is kept running, as in a desktop session).
#
#   bench/windows_window.sh NATIVE_BUILD WINDOWS_BUILD
#   WARMUP=10 MEASURE=40 ROUNDS=2 STARTS=5 NICE=0 bench/windows_window.sh build build-win
# The two build folders, made beforehand (Qt for Windows already cached by
# scripts/windows-qt.sh):
#   cmake -S . -B build -G Ninja && cmake --build build -j2 --target window_harness tarvin_sim
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/mingw-w64-qt.cmake \
#     -DTARVIN_WIN_PREFIX=$(scripts/windows-qt.sh --path) -DCMAKE_BUILD_TYPE=Release \
#     -DTARVIN_GUI=ON -DTARVIN_BENCH=ON -DTARVIN_SIM=OFF -DTARVIN_TESTS=OFF
#   cmake --build build-win -j2 --target window_harness
# The Wine prefix and its home are WINDOWS_BUILD/wineprefix and
# WINDOWS_BUILD/winehome, as scripts/windows.sh makes them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# = 2 ] || { sed -n '/^#   bench/,/^#   cmake --build build-win/p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
native=$(cd "$1" && pwd)
cross=$(cd "$2" && pwd)
warmup=${WARMUP:-10}
measure=${MEASURE:-40}
rounds=${ROUNDS:-2}
starts=${STARTS:-5}
nice=${NICE:-0}
port=7
harness=$native/bench/window_harness
harness_exe=$cross/bench/window_harness.exe
sim=$native/sim/tarvin_sim
missing_hint="see the build commands at the top of $0"
. "$root/bench/bench_rig.sh"
need_files "$harness" "$sim" "$harness_exe"
qt=$("$root"/scripts/windows-qt.sh --path) || { echo "Qt for Windows is not cached: scripts/windows-qt.sh" >&2; exit 2; }
tck=$(getconf CLK_TCK)

# Wine as scripts/windows.sh sets it up: a private prefix and home, UTF-8
# names. Only Wine's commands get it (w), so that the prefix's processes can be
# told by it.
prefix=$cross/wineprefix
wine_env=(LC_ALL=C.UTF-8 HOME="$cross/winehome" WINEPREFIX="$prefix" WINEDEBUG=-all WINEARCH=win64
          WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d")
w() { env "${wine_env[@]}" "$@"; }
mkdir -p "$cross/winehome"

wineserver_started=
before_cleanup() { [ -z "$wineserver_started" ] || w wineserver -k 2>/dev/null || true; }
begin_window_bench

# One working folder for both, one simulator.
prepare_window_folder "$work"
start_simulator "$work"
pty=$(readlink -f "$work/COM1")

if [ ! -f "$prefix/system.reg" ]; then
  echo "== a private Wine prefix ($prefix)"
  w wineboot -i >/dev/null 2>&1
  w wineserver -w
fi
# Wine reads its port map when its server starts: set it, let the server end,
# then keep one running for the whole benchmark.
w wine reg add 'HKLM\Software\Wine\Ports' /v "COM$port" /t REG_SZ /d "$pty" /f >/dev/null 2>&1
w wineserver -w
w nice -n "$nice" wineserver -p
wineserver_started=1
gcc_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
wine_env+=("WINEPATH=$(w winepath -w "$qt/bin");$(w winepath -w "$gcc_runtime");$(w winepath -w /usr/x86_64-w64-mingw32/lib)"
           "QT_PLUGIN_PATH=$(w winepath -w "$qt/plugins")")

# The process of one kind started in the working folder, in the background ($run_pid).
launch() {  # linux|wine, output file, harness options...
  local kind=$1 out=$2
  shift 2
  if [ "$kind" = linux ]; then
    (cd "$work" && exec nice -n "$nice" "$harness" "$@") >"$out" 2>"$out.err" &
  else
    (cd "$work" && exec env "${wine_env[@]}" nice -n "$nice" wine "$harness_exe" --port "$port" --link-wait 60 "$@") >"$out" 2>"$out.err" &
  fi
  run_pid=$!
}

ticks() { [ -r "/proc/$1/stat" ] && sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }' || echo 0; }
# The prefix's Wine processes (by the WINEPREFIX in their environment) except $1.
wine_pids() {
  local p
  for p in /proc/[0-9]*; do
    p=${p#/proc/}
    [ "$p" = "$1" ] && continue
    grep -qzx "WINEPREFIX=$prefix" "/proc/$p/environ" 2>/dev/null && echo "$p"
  done
}
sum_ticks() { local t=0 p; for p in "$@"; do t=$((t + $(ticks "$p"))); done; echo "$t"; }
now_ms() { date +%s%3N; }

# One measured run; its figures into $work/$name.fig, one "key value" a line.
measured_run() {  # linux|wine, name
  local kind=$1 name=$2 out=$work/$2.out
  echo "-- $kind, round ${name#"$kind"}"
  launch "$kind" "$out" --window 5000 --warmup "$warmup" --measure "$measure"
  for _ in $(seq $(((warmup + 90) * 10))); do
    grep -q '^measure_begin' "$out" && break
    kill -0 "$run_pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -q '^measure_begin' "$out" || { cat "$out.err" >&2; echo "the $kind harness never began measuring" >&2; exit 1; }
  local server= others=
  if [ "$kind" = wine ]; then
    for p in $(wine_pids "$run_pid"); do
      case $(cat "/proc/$p/comm" 2>/dev/null) in
        wineserver*) server="$server $p" ;;
        *) others="$others $p" ;;
      esac
    done
  fi
  # shellcheck disable=SC2086
  [ -z "$others" ] || cat $(printf '/proc/%s/comm ' $others) 2>/dev/null | sort | tr '\n' ' ' >"$work/$name.others"
  local t0 p0 s0 o0 x0 t1 p1 s1 o1 x1 hwm
  t0=$(now_ms) p0=$(ticks "$run_pid") s0=$(sum_ticks $server) o0=$(sum_ticks $others) x0=$(ticks "$xvfb_pid")
  sleep $((measure - 1))
  t1=$(now_ms) p1=$(ticks "$run_pid") s1=$(sum_ticks $server) o1=$(sum_ticks $others) x1=$(ticks "$xvfb_pid")
  hwm=$(awk '$1 == "VmHWM:" { print $2 }' "/proc/$run_pid/status" 2>/dev/null || echo 0)
  # Where the resident memory is: anonymous, and the files mapped, largest first.
  awk '$1 ~ /^[0-9a-f]+-[0-9a-f]+$/ { m = ($6 == "") ? "anonymous" : $6; sub(/.*\//, "", m) }
       $1 == "Rss:" { r[m] += $2 }
       END { for (m in r) if (r[m] >= 1024) printf "%.1f %s\n", r[m] / 1024, m }' "/proc/$run_pid/smaps" 2>/dev/null |
    sort -rn | head -8 | awk '{ printf "%s%s %s MB", (NR > 1) ? ", " : "", $2, $1 }' >"$work/$name.resident" || true
  wait "$run_pid" || { cat "$out.err" >&2; echo "the $kind harness failed" >&2; exit 1; }
  run_pid=
  {
    cat "$out"
    awk -v w=$((t1 - t0)) -v tck="$tck" -v p=$((p1 - p0)) -v s=$((s1 - s0)) -v o=$((o1 - o0)) -v x=$((x1 - x0)) \
      'BEGIN { f = 100000 / tck / w; printf "out_process %.1f\nout_server %.1f\nout_others %.1f\nout_x %.1f\n", p * f, s * f, o * f, x * f
               printf "out_total %.1f\n", (p + s + o) * f }'
    echo "out_vmhwm_kb $hwm"
  } >"$work/$name.fig"
}

# One start-up: "inside outside" in ms (own start record; from the launch command).
startup_run() {  # linux|wine
  local out=$work/startup.out t0
  t0=$(now_ms)
  launch "$1" "$out" --startup-only
  wait "$run_pid" || true
  run_pid=
  grep -h '^startup stages' "$out.err" >"$work/$1.stages" || true
  awk -v t0="$t0" '$1 == "startup_ms" { s = $2 } $1 == "first_frame_unix_ms" { f = $2 }
                   END { if (s != "") printf "%.0f %.0f\n", s, f - t0 }' "$out"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
echo "== the window for Linux and for Windows (Wine) in turns, $rounds rounds: window 5000, full line rate," \
  "${warmup} s warm-up, ${measure} s measured each (display $display, COM$port -> $pty)"
in_turns "$rounds" linux wine measured_run
echo "== start-up to the first frame, $starts runs each, in turns"
for s in $(seq "$starts"); do
  order="linux wine"
  [ $((s % 2)) = 0 ] && order="wine linux"
  for kind in $order; do startup_run "$kind" >>"$work/$kind.startups"; done
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

fig() { awk -v k="$2" -v f="${3:-%.1f}" '$1 == k { printf f, $2 }' "$work/$1.fig"; }
echo
echo "load $load_before -> $load_after on $(nproc) cores; CPU in % of one core; memory in MB"
printf '%-7s %6s %6s %6s %6s %6s %6s %7s %7s %8s %5s %7s %9s %12s %12s\n' run "own" "proc" "wsrv" "wine+" "total" \
  "Xvfb" "peak" "VmHWM" "samp/s" lost "redr/s" "redraw ms" "Label35 us" "tick us"
for r in "${runs[@]}"; do
  printf '%-7s %6s %6s %6s %6s %6s %6s %7s %7s %8s %5s %7s %9s %12s %12s\n' "$r" "$(fig "$r" cpu_percent)" \
    "$(fig "$r" out_process)" "$(fig "$r" out_server)" "$(fig "$r" out_others)" "$(fig "$r" out_total)" \
    "$(fig "$r" out_x)" "$(awk '$1 == "vmhwm_kb" { printf "%.1f", $2 / 1024 }' "$work/$r.fig")" \
    "$(awk '$1 == "out_vmhwm_kb" { printf "%.1f", $2 / 1024 }' "$work/$r.fig")" "$(fig "$r" samples_per_s)" \
    "$(fig "$r" samples_lost %.0f)" "$(fig "$r" replots_per_s)" "$(fig "$r" replot_ms_mean)" "$(slowest_tick_spread "$work/$r.fig")" \
    "$(fig "$r" tick_wall_us_median %.0f)/$(fig "$r" tick_wall_us_p99 %.0f)"
done
echo "own: the program's own CPU figure; proc: its process from /proc; wsrv: the wineserver; wine+: the prefix's"
echo "other Wine processes; total: proc + wsrv + wine+; Xvfb: the X server meanwhile. peak: the program's own"
echo "(VmHWM / PeakWorkingSetSize); VmHWM: read from /proc near the end. Label35: median/largest of the 2 s values;"
echo "tick: one LinkTick pass, wall time, median/99 %."
others=$(cat "$work"/wine*.others 2>/dev/null | tr ' ' '\n' | sed '/^$/d' | sort -u | tr '\n' ' ')
echo "The prefix's other Wine processes: ${others:-none}"
echo
median() { sort -n | awk '{ a[NR] = $1 } END { if (NR) printf "%s ms median, %s largest", (NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2), a[NR] }'; }
for r in "${runs[@]}"; do
  [ "${r%1}" = "$r" ] || echo "$r resident at the end: $(cat "$work/$r.resident" 2>/dev/null)"
done
echo
for kind in linux wine; do
  printf '%-6s start-up to the first frame: %s (own start record); %s (from the launch command); %s runs\n' "$kind" \
    "$(awk '{ print $1 }' "$work/$kind.startups" | median)" "$(awk '{ print $2 }' "$work/$kind.startups" | median)" \
    "$(wc -l <"$work/$kind.startups")"
  echo "       last start's $(cat "$work/$kind.stages" 2>/dev/null)"
done
