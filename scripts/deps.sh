#!/usr/bin/env bash
# Installs the Debian packages the project needs; does nothing for those present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libqcustomplot-dev libqcustomplot2.1-qt6 libjpeg-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-x86-64
  clang libclang-rt-14-dev clang-format clang-tidy
  xvfb xauth x11-utils xdotool imagemagick fonts-dejavu-core fonts-liberation
  libcli11-dev nlohmann-json3-dev libmosquitto-dev mosquitto mosquitto-clients
  libboost-dev libssl-dev  # the alarm receiver's CRC (Boost.CRC) and its AES (OpenSSL)
  qt6-translations-l10n
  poppler-utils  # pdftotext, pdfinfo and pdftoppm: the tests read the reports back
  chromium  # the control room page's tests, driven by playwright-core (scripts/site-tests.sh)
  nsis  # makensis: the Windows installer (scripts/windows.sh)
  wine64 help2man lintian desktop-file-utils appstream file dpkg-dev fakeroot
  wine  # the commands wine, wineboot and wineserver, used by scripts/windows.sh
)
# Node and npm for the control room's page (site/): Debian's, unless the machine
# already has a node of its own (its npm then comes with it).
command -v node >/dev/null || packages+=(nodejs npm)
# Optional extra packages (for example, for the benchmarks) may be passed as arguments.
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
