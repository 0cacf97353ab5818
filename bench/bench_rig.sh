# shellcheck shell=bash
# Sourced by the benchmarks that run the window against the simulator: their
# scratch folder and clean-up, a virtual X server of their own, the working
# folder as scripts/run.sh prepares it, the simulator started in it, runs of two
# kinds in turns, and the spread of the slowest-tick values a run saw. The
# caller sets root, sim and nice.

# Stops the script (status 2) unless every path given is a file, saying
# $missing_hint of the first that is not.
need_files() {
  local f
  for f in "$@"; do
    [ -f "$f" ] || { echo "missing $f: $missing_hint" >&2; exit 2; }
  done
}

# A scratch folder ($work) and a clean-up at exit that stops the harness
# ($run_pid), runs the caller's before_cleanup if it has one, then stops the
# simulator and the X server and removes the folder; then the virtual display.
begin_window_bench() {
  work=$(mktemp -d)
  xvfb_pid= sim_pid= run_pid=
  trap end_window_bench EXIT
  trap 'exit 130' INT TERM
  start_virtual_display
}

end_window_bench() {
  stop_process run_pid
  if declare -F before_cleanup >/dev/null; then before_cleanup; fi
  stop_process sim_pid
  stop_process xvfb_pid
  rm -rf "$work"
}

# Starts a virtual X server on the first free display from :90 (at $nice), sets
# DISPLAY, display and xvfb_pid, and unsets QT_QPA_PLATFORM so the window draws
# on it. Exits 2 when no server can start.
start_virtual_display() {
  local n
  display=
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    nice -n "${nice:-0}" Xvfb ":$n" -screen 0 1400x1000x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do xdpyinfo -display ":$n" >/dev/null 2>&1 && break; sleep 0.1; done
    if xdpyinfo -display ":$n" >/dev/null 2>&1; then display=:$n; break; fi
    kill "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=
  done
  [ -n "$display" ] || { echo "no virtual X server could start" >&2; exit 2; }
  export DISPLAY=$display
  unset QT_QPA_PLATFORM
}

# The window's working folder $1: its oscillogram folder and state pictures.
prepare_window_folder() {
  mkdir -p "$1/Chart4pF"
  cp -f "$root"/assets/ok.jpg "$root"/assets/no_con.jpeg "$root"/assets/smile.jpg "$1/"
}

# The simulator on COM1 in folder $1, the words after it its options, at
# $nice; sets sim_pid. Exits 2 when it never says it is ready.
start_simulator() {
  local dir=$1
  shift
  (cd "$dir" && exec nice -n "${nice:-0}" "$sim" --quiet "$@" COM1 </dev/null >"$dir/sim.out" 2>"$dir/sim.err") &
  sim_pid=$!
  for _ in $(seq 100); do grep -q '^ready' "$dir/sim.out" && break; sleep 0.1; done
  grep -q '^ready' "$dir/sim.out" || { echo "the simulator never became ready" >&2; exit 2; }
}

# Ends the background process whose pid the variable named $1 holds, and
# clears it.
stop_process() {
  local -n pid_of=$1
  [ -n "$pid_of" ] && kill "$pid_of" 2>/dev/null && wait "$pid_of" 2>/dev/null || true
  pid_of=
}

# $1 rounds of the two kinds $2 and $3 in turns, each first in every other
# round, so that a change of the machine's load falls on both: calls $4 with
# the kind and the run's name (the kind and the round), and lists the names in
# runs.
in_turns() {
  local rounds=$1 first=$2 second=$3 run_one=$4 r kind order
  runs=()
  for r in $(seq "$rounds"); do
    order="$first $second"
    [ $((r % 2)) = 0 ] && order="$second $first"
    for kind in $order; do
      "$run_one" "$kind" "$kind$r"
      runs+=("$kind$r")
    done
  done
}

# The slowest-tick values a harness run showed (its "label35_seen" line in file
# $1), sorted, one a line.
slowest_tick_values() {
  awk '$1 == "label35_seen" { $1 = ""; print }' "$1" | tr ' ' '\n' | sed '/^$/d' | sort -n
}

# "median/largest" of those values, or "none".
slowest_tick_spread() {
  slowest_tick_values "$1" |
    awk '{ a[NR] = $1 } END { if (NR) printf "%s/%s", a[int((NR + 1) / 2)], a[NR]; else printf "none" }'
}
