# Sourced by the window benchmarks: starts a virtual X server of their own on
# the first free display from :90 (at the scripts' $nice), sets DISPLAY and
# xvfb_pid (the caller's cleanup stops it), and unsets QT_QPA_PLATFORM so the
# window draws on it. Exits 2 when no server can start.
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
