#!/usr/bin/env bash
# Builds the Debian package tarvin9_<version>_amd64.deb with CPack and checks it:
# lintian (no errors), the desktop entry, the AppStream data, the control room's page, and every program
# of the unpacked package answering --help (the window also starts offscreen,
# against the packaged simulator, and ends when told).
#   scripts/package.sh [build dir]   (default build-package; an already built tree is reused)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-$root/build-package}
case $build in /*) ;; *) build=$root/$build ;; esac

scripts/deps.sh

echo "== package: build ($build)"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DTARVIN_TESTS=OFF -DTARVIN_BENCH=OFF >/dev/null
fi
cmake --build "$build" -- -j2
rm -f "$build"/tarvin9_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/tarvin9_*_amd64.deb)
echo "== package: $deb"
dpkg-deb --field "$deb"
dpkg-deb --contents "$deb" | awk '{print $6}'

echo "== package: lintian"
# Errors fail; warnings are shown. CPack's own package layout is checked as it is.
lintian --fail-on error --tag-display-limit 0 "$deb"

echo "== package: apt resolves what it depends on (simulated installation)"
apt-get install --simulate "$deb" | grep -E '^(Inst|Conf) '

tmp=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$tmp"
  return 0
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$tmp/root"
usr=$tmp/root/usr

echo "== package: desktop entry and AppStream data"
desktop-file-validate "$usr"/share/applications/*.desktop
appstreamcli validate --no-net --explain "$usr"/share/metainfo/*.metainfo.xml

echo "== package: Qt's Russian texts beside the window"
[ -s "$usr/share/tarvin9/translations/qtbase_ru.qm" ] || { echo "no share/tarvin9/translations/qtbase_ru.qm" >&2; exit 1; }

echo "== package: the control room's page, whole, and the broker's example configuration"
page=$usr/share/tarvin9/site
[ -s "$page/index.html" ] || { echo "no share/tarvin9/site/index.html" >&2; exit 1; }
# Every file the page loads is in the package (it fetches nothing from elsewhere).
for f in $(grep -oE '(src|href)="[^":]+"' "$page/index.html" | sed -E 's/^[a-z]+="//; s/"$//'); do
  [ -s "$page/$f" ] || { echo "the page loads $f, which the package lacks" >&2; exit 1; }
done
for f in tarvin9-site.conf tarvin9-central.conf tarvin9.acl; do
  [ -s "$usr/share/doc/tarvin9/mosquitto/$f" ] || { echo "no share/doc/tarvin9/mosquitto/$f" >&2; exit 1; }
done
[ ! -e "$tmp/root/etc/mosquitto" ] || { echo "the package must not enable a broker configuration" >&2; exit 1; }

echo "== package: every program answers --help"
for program in "$usr"/bin/*; do
  "$program" --help >"$tmp/help.txt" || { echo "$(basename "$program") --help failed" >&2; exit 1; }
  [ -s "$tmp/help.txt" ] || { echo "$(basename "$program") --help printed nothing" >&2; exit 1; }
  echo "$(basename "$program"): $(head -1 "$tmp/help.txt")"
  [ -f "$usr/share/man/man1/$(basename "$program").1.gz" ] || { echo "no manual page for $(basename "$program")" >&2; exit 1; }
done

echo "== package: the window started as from the menu, offscreen, against the packaged simulator"
home=$tmp/home
folder=$home/Тарвин-9
mkdir -p "$folder"
mkfifo "$tmp/sim-in"
exec 3<>"$tmp/sim-in"  # held open here: the simulator takes "stats" from it
(cd "$folder" && exec "$usr/bin/tarvin9-sim" --quiet COM1 <&3 >"$tmp/sim.out") &
sim_pid=$!
for _ in $(seq 100); do grep -q '^ready' "$tmp/sim.out" 2>/dev/null && break; sleep 0.1; done
grep -q '^ready' "$tmp/sim.out" || { echo "the packaged simulator never became ready" >&2; exit 1; }
HOME=$home QT_QPA_PLATFORM=offscreen "$usr/bin/tarvin9" --from-menu >"$tmp/window.log" 2>&1 &
window_pid=$!
# Started from the menu it makes its folder and opens COM1 there: the
# simulator counts its version requests ("M=").
talked=0
for _ in $(seq 100); do
  kill -0 "$window_pid" 2>/dev/null || break
  echo stats >&3
  sleep 0.2
  if grep '^stats' "$tmp/sim.out" | tail -1 | grep -Eq ' M=[1-9]'; then talked=1; break; fi
done
kill -0 "$window_pid" 2>/dev/null || { echo "the window ended by itself:" >&2; cat "$tmp/window.log" >&2; exit 1; }
kill -TERM "$window_pid"
status=0
wait "$window_pid" || status=$?
for f in Chart4pF ok.jpg no_con.jpeg; do
  [ -e "$folder/$f" ] || { echo "the window did not make $folder/$f" >&2; exit 1; }
done
[ "$talked" = 1 ] || { echo "the window never asked the simulator for its version" >&2; exit 1; }
[ "$status" = 0 ] || { echo "the window ended with $status on SIGTERM" >&2; cat "$tmp/window.log" >&2; exit 1; }
echo "window: ran in $folder (Chart4pF and pictures made), polled the simulator, ended on SIGTERM with 0"
echo "== package: all checks passed"
