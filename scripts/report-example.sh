#!/bin/bash
# Makes the README's report picture from a real run: the simulator, the
# recorder with its control pipe, a walk test of six passes of which five are
# made (one intrusion is left out, so it shows as missed), quiet minutes, and
# one intrusion nobody announced. Usage: scripts/report-example.sh BUILD OUT
# writes the report's first two pages as OUT-1.png and OUT-2.png.
set -euo pipefail
build=$(realpath "$1")
out=$(realpath -m "$2")
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"
mkfifo sim.in
"$build/sim/tarvin_sim" COM1 <sim.in >sim.out 2>&1 &
exec 3>sim.in
until grep -q ready sim.out; do sleep 0.2; done
"$build/recorder/tarvin9-recorder" --port COM1 --control control --summary-every 10 2>recorder.err &
recorder=$!
until grep -q alarm_known journal.jsonl 2>/dev/null; do sleep 0.2; done
sleep 60
echo 'walk-test start ворота, в полный рост' >control
for pass in 1 2 3 4 5; do
  sleep 8
  echo "intrusion 2" >&3
done
sleep 8
echo 'walk-test end 6' >control
sleep 90
echo "intrusion 3" >&3
sleep 40
kill -TERM "$recorder"
wait "$recorder"
"$build/osc/tarvin9-osc" report journal.jsonl -o report.pdf --site "Склад № 3" --sensor "Ворота"
pdftoppm -png -r 70 -f 1 -l 2 report.pdf page
cp page-1.png "$out-1.png"
cp page-2.png "$out-2.png"
echo "$out-1.png $out-2.png"
