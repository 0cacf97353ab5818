#!/usr/bin/env bash
# Installs the alarm receiver the DC-09 tests report to (tests/dc09/receiver/:
# the npm packages its package-lock.json locks, with npm ci, from npm's cache
# when it has them, no install scripts run). Does nothing when the installed
# packages are those of the lock file, so the test command may call it every run.
#   scripts/dc09-receiver.sh
set -euo pipefail
cd "$(dirname "$0")/../tests/dc09/receiver"

../../../scripts/node.sh

# The lock file's digest, kept beside what it installed: a changed lock file
# installs again, an unchanged one costs nothing.
stamp=node_modules/.installed-from-lock
want=$(sha256sum package-lock.json | cut -d' ' -f1)
if [ "$(cat "$stamp" 2>/dev/null)" != "$want" ]; then
  echo "== dc09 receiver: npm packages from the lock file"
  npm ci --ignore-scripts --prefer-offline --no-audit --no-fund --loglevel=error
  echo "$want" >"$stamp"
fi
node -e "require('iobroker.sia/build/lib/sia.js')"
echo "== dc09 receiver: $PWD/receiver.js is ready"
