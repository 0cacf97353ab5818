#!/usr/bin/env bash
# The main job, from a fresh Debian 12: installs what is missing, builds, prepares
# the working folder run/ and starts the program there against the sensor
# simulator, which plays COM1 through a link in that folder.
#   scripts/run.sh [simulator options...]   e.g. scripts/run.sh --random-intrusions 30
# Without a display the window runs on a virtual X server (Xvfb :99).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${TARVIN_BUILD_DIR:-$root/build}

scripts/deps.sh

echo "== build ($build)"
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target tarvin9 tarvin_sim -- -j2

echo "== working folder run/"
run=$root/run
mkdir -p "$run/Chart4pF"
cp -f assets/ok.jpg assets/no_con.jpeg assets/smile.jpg "$run/"

sim_pid= xvfb_pid= sim_out=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "$sim_out" ] && rm -f "$sim_out" "$run/sim-commands"
  return 0
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -z "${DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
  echo "No display (DISPLAY is not set): the window runs on the virtual X server :99."
  if ! xdpyinfo -display :99 >/dev/null 2>&1; then
    Xvfb :99 -screen 0 1400x1000x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do xdpyinfo -display :99 >/dev/null 2>&1 && break; sleep 0.1; done
  fi
  export DISPLAY=:99
fi

echo "== simulator on COM1"
sim_out=$(mktemp)
# Commands for the simulator while the program runs, from another terminal:
#   echo intrusion > run/sim-commands      (see sim/README.md for the others)
commands=$run/sim-commands
rm -f "$commands" && mkfifo "$commands"
exec 3<>"$commands"  # held open here, so the simulator never sees the end of its input
# The simulator's frame log goes to run/sim.log, out of the program's way; past
# 4 MB it becomes run/sim.log.1, so a demonstration left running for days keeps
# at most about 8 MB of it.
(cd "$run" && exec "$build/sim/tarvin_sim" --log "$run/sim.log" --log-max-mb 4 "$@" COM1 <&3 >"$sim_out") &
sim_pid=$!
for _ in $(seq 100); do
  grep -q '^ready' "$sim_out" && break
  kill -0 "$sim_pid" 2>/dev/null || { echo "the simulator did not start" >&2; exit 1; }
  sleep 0.1
done
grep -q '^ready' "$sim_out" || { echo "the simulator never became ready" >&2; exit 1; }

echo "== tarvin9 (Alt+X ends it)"
status=0
(cd "$run" && exec "$build/app/tarvin9") || status=$?
exit "$status"
