#!/usr/bin/env bash
# Lets `apt-get source` fetch Debian's own sources of this suite, as the
# Windows libraries are built from them (scripts/windows-qt.sh,
# scripts/windows-mqtt.sh): adds a deb-src entry when the machine has none,
# and reads the lists. Does nothing where one is there.
set -euo pipefail

if grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  exit 0
fi
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' |
  "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/tarvin9-sources.sources >/dev/null
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
