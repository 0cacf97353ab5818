#!/usr/bin/env bash
# Prepares the control room's page in this checkout: installs the npm packages
# site/package-lock.json locks (npm ci, from npm's cache when it has them) and
# copies their browser bundles into site/vendor/. The page served from site/
# then loads nothing from the internet, as the Debian package's does.
#   scripts/site.sh
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/node.sh

echo "== site: npm packages from the lock file"
(cd site && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --prefer-offline --no-audit --no-fund --loglevel=error)
node site/tools/vendor.mjs site/node_modules site/vendor
echo "== site: $PWD/site is ready to be served (http_dir)"
