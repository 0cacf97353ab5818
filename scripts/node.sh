#!/usr/bin/env bash
# Node and npm from Debian, unless the machine has them (a node of its own
# brings its npm): for the page's packages and the tests' alarm receiver.
#   scripts/node.sh
set -euo pipefail
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "== node and npm from Debian"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq nodejs npm
fi
