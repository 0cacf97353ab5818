#!/usr/bin/env bash
# libmosquitto (the client library, with TLS) and the OpenSSL it needs,
# cross-built with mingw-w64 from Debian's own source packages, once, into a
# cache folder keyed by their versions and the options below; later runs find
# it and return. The Windows recorder publishes with them.
#   scripts/windows-mqtt.sh          builds what is missing, prints the prefix
#   scripts/windows-mqtt.sh --path   prints the prefix only (empty and exit 1 if not built)
# The cache lives in $TARVIN_CACHE (default ~/.cache/tarvin9), outside the tree.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# Debian 12's versions, as the Linux recorder links them: those the source
# lists hold now. A point release that moves OpenSSL on changes the key, and
# the new one is built once, rather than the build stopping on a version the
# archive no longer has.
source_version() {
  apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: \([0-9]*:\)\{0,1\}//p' | sort -V | tail -1
}
versions() {
  mosquitto_debian=$(source_version mosquitto) openssl_debian=$(source_version openssl)
  mosquitto_version=${mosquitto_debian%-*} openssl_version=${openssl_debian%-*}
}
versions
# Only what the client library uses: libssl and libcrypto as DLLs (only the
# libraries are built: no programs or manuals), no tests, engines or legacy
# provider (each costs minutes cold).
openssl_options=(
  mingw64 shared no-tests no-engine no-legacy no-module no-comp no-ssl3 no-dtls
  --cross-compile-prefix=x86_64-w64-mingw32- --libdir=lib
)
# The client library alone: no broker, programs, plugins, cJSON or C++
# wrapper. The recorder runs the network loop itself, so no thread support
# (whose Windows branch names a pthreads folder on a Windows disk).
mosquitto_options=(
  -DWITH_TLS=ON -DWITH_BROKER=OFF -DWITH_APPS=OFF -DWITH_CLIENTS=OFF -DWITH_PLUGINS=OFF
  -DWITH_CJSON=OFF -DWITH_LIB_CPP=OFF -DWITH_STATIC_LIBRARIES=OFF -DWITH_THREADING=OFF
  -DDOCUMENTATION=OFF
)
prefix_for() {
key=$(printf '%s\n' "$mosquitto_version" "$openssl_version" "${openssl_options[@]}" "${mosquitto_options[@]}" \
        "$(cat cmake/mingw-w64.cmake)" | sha256sum | cut -c1-12)
cache=${TARVIN_CACHE:-$HOME/.cache/tarvin9}
prefix=$cache/win64-mosquitto$mosquitto_version-openssl$openssl_version-$key
}
prefix_for

if [ -n "$openssl_version" ] && [ -n "$mosquitto_version" ] && [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi
if [ "${1:-}" = --path ]; then
  exit 1
fi

scripts/debian-sources.sh
scripts/deps.sh dpkg-dev perl g++-mingw-w64-x86-64-posix
versions
[ -n "$openssl_version" ] && [ -n "$mosquitto_version" ] ||
  { echo "Debian's source lists name no openssl or mosquitto: apt-get update?" >&2; exit 1; }
prefix_for
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

work=$cache/work-mqtt-$key
mkdir -p "$work"
cd "$work"
log() { echo "== Windows MQTT libraries: $*" >&2; }
# Debian's source of a package, with Debian's patches: name, upstream
# version (the key's), Debian's version (as the source lists hold it).
fetch() {
  [ -d "$1-$2" ] || apt-get source -qq "$1=$3" >"apt-$1.log" 2>&1 || { cat "apt-$1.log" >&2; exit 1; }
  [ -d "$1-$2" ] || { echo "Debian's $1 source $3 unpacked into no folder $1-$2" >&2; exit 1; }
}

toolchain=$root/cmake/mingw-w64.cmake
jobs=$(nproc)

if [ ! -f "$prefix/lib/libssl.dll.a" ]; then
  log "OpenSSL $openssl_version"
  fetch openssl "$openssl_version" "$openssl_debian"
  src=openssl-$openssl_version
  rm -rf openssl-build
  mkdir openssl-build
  (cd openssl-build && CC=gcc-posix perl "../$src/Configure" "${openssl_options[@]}" --prefix="$prefix" \
     --openssldir="$prefix/ssl" >../openssl-configure.log 2>&1) || { tail -40 openssl-configure.log; exit 1; }
  # The two DLLs (with their import libraries) and nothing else: building all
  # of its libraries would compile every file twice, for a static libcrypto too.
  (make -C openssl-build build_generated &&
     make -C openssl-build -j"$jobs" libcrypto-3-x64.dll libssl-3-x64.dll) >openssl-build.log 2>&1 ||
    { tail -40 openssl-build.log; exit 1; }
  mkdir -p "$prefix/bin" "$prefix/lib" "$prefix/include/openssl"
  cp "$src"/include/openssl/*.h openssl-build/include/openssl/*.h "$prefix/include/openssl/"
  cp openssl-build/libcrypto-3-x64.dll openssl-build/libssl-3-x64.dll "$prefix/bin/"
  cp openssl-build/libcrypto.dll.a openssl-build/libssl.dll.a "$prefix/lib/"
fi

if [ ! -f "$prefix/lib/libmosquitto.dll.a" ]; then
  log "libmosquitto $mosquitto_version"
  fetch mosquitto "$mosquitto_version" "$mosquitto_debian"
  src=$PWD/mosquitto-$mosquitto_version
  # CMake's OpenSSL module looks for MinGW's libraries under these names.
  cmake -S "$src" -B mosquitto-build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "${mosquitto_options[@]}" \
    -DOPENSSL_INCLUDE_DIR="$prefix/include" \
    -DSSL_EAY="$prefix/lib/libssl.dll.a" -DLIB_EAY="$prefix/lib/libcrypto.dll.a" \
    >mosquitto-configure.log 2>&1 || { tail -40 mosquitto-configure.log; exit 1; }
  cmake --build mosquitto-build -- -j"$jobs" >mosquitto-build.log 2>&1 || { tail -40 mosquitto-build.log; exit 1; }
  cmake --install mosquitto-build >/dev/null
  # Its install rule names no place for the DLL's import library.
  cp mosquitto-build/lib/libmosquitto.dll.a "$prefix/lib/"
fi

touch "$prefix/.complete"
rm -rf "$work"
echo "$prefix"
