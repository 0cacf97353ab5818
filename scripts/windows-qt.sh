#!/usr/bin/env bash
# Qt for Windows (qtbase), QCustomPlot and libjpeg-turbo cross-built with
# mingw-w64 from Debian's own source packages, once, into a cache folder keyed
# by their versions and the options below; later runs find it and return.
#   scripts/windows-qt.sh          builds what is missing, prints the prefix
#   scripts/windows-qt.sh --path   prints the prefix only (empty and exit 1 if not built)
# The cache lives in $TARVIN_CACHE (default ~/.cache/tarvin9), outside the tree.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# The versions are Debian 12's: the host tools (moc, rcc, uic) of the native Qt
# are reused, so the two must match.
qt_version=6.4.2
qcp_version=2.1.0
jpeg_version=2.1.5
qt_options=(
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DBUILD_SHARED_LIBS=ON
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF
  -DFEATURE_testlib=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
  # Nothing we ship loads these: the window draws with the windows platform
  # plugin and raster painting, reads its JPEG pictures with libjpeg, and
  # writes no Markdown or ODF. Each costs minutes of a cold build. (Direct2D
  # stays: without it qtbase 6.4 leaves out the DirectWrite font engine that
  # its print support still calls.)
  -DFEATURE_vulkan=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF
  -DFEATURE_ico=OFF -DFEATURE_textmarkdownreader=OFF -DFEATURE_textmarkdownwriter=OFF
  -DFEATURE_textodfwriter=OFF
  # Debian's tarball leaves out the tablet headers the windows plugin would need.
  -DFEATURE_tabletevent=OFF
  # The Direct2D platform plugin compiles the windows plugin's sources a
  # second time and nothing we ship loads it; Direct2D itself stays (above).
  -DFEATURE_direct2d1_1=OFF
)
# qtbase 6.4.2 asks for the dynamic OpenGL loader in the windows plugin even
# with OpenGL off, where its declarations are missing: that one use is skipped.
qt_patch='s/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/'
qt_patched=src/plugins/platforms/windows/qwindowswindow.cpp
key=$(printf '%s\n' "$qt_version" "$qcp_version" "$jpeg_version" "${qt_options[@]}" "$qt_patch" \
        "$(cat cmake/mingw-w64.cmake cmake/qcustomplot-win/CMakeLists.txt)" | sha256sum | cut -c1-12)
cache=${TARVIN_CACHE:-$HOME/.cache/tarvin9}
prefix=$cache/win64-qt$qt_version-$key

# Qt's Russian texts are the same files on every platform: Debian's, of the
# same version, complete the Windows Qt's translations folder.
add_translations() {
  if [ -f /usr/share/qt6/translations/qtbase_ru.qm ] && [ ! -f "$prefix/translations/qtbase_ru.qm" ]; then
    mkdir -p "$prefix/translations"
    cp /usr/share/qt6/translations/qtbase_ru.qm "$prefix/translations/"
  fi
}

if [ -f "$prefix/.complete" ]; then
  add_translations
  echo "$prefix"
  exit 0
fi
if [ "${1:-}" = --path ]; then
  exit 1
fi

scripts/debian-sources.sh
scripts/deps.sh dpkg-dev qt6-base-dev-tools g++-mingw-w64-x86-64-posix

work=$cache/work-$key
mkdir -p "$work"
cd "$work"
log() { echo "== Windows libraries: $*" >&2; }

# The toolchain file is part of the key: a copy in the work folder lets a
# build interrupted in one checkout go on from another.
toolchain=$work/mingw-w64.cmake
[ -f "$toolchain" ] || cp "$root/cmake/mingw-w64.cmake" "$toolchain"
jobs=$(nproc)

if [ ! -f "$prefix/lib/libjpeg.dll.a" ]; then
  log "libjpeg-turbo $jpeg_version"
  [ -d libjpeg-turbo-$jpeg_version ] || apt-get source -qq "libjpeg-turbo=1:$jpeg_version*" >/dev/null 2>&1 ||
    apt-get source -qq libjpeg-turbo >/dev/null
  src=$(find . -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -1)
  cmake -S "$src" -B jpeg-build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DWITH_SIMD=OFF \
    -DENABLE_STATIC=OFF -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF >/dev/null
  cmake --build jpeg-build -- -j"$jobs" >/dev/null
  cmake --install jpeg-build >/dev/null
fi

if [ ! -f "$prefix/lib/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake" ]; then
  log "qtbase $qt_version (about 40 minutes on two cores, once)"
  [ -d qt6-base-$qt_version ] || apt-get source -qq qt6-base >/dev/null
  src=$(find . -maxdepth 1 -type d -name 'qt6-base-*' | head -1)
  sed -i "$qt_patch" "$src/$qt_patched"
  cmake -S "$src" -B qt-build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    "${qt_options[@]}" >qt-configure.log 2>&1 || { tail -40 qt-configure.log; exit 1; }
  cmake --build qt-build -- -j"$jobs" >qt-build.log 2>&1 || { tail -40 qt-build.log; exit 1; }
  cmake --install qt-build >/dev/null
fi

if [ ! -f "$prefix/lib/cmake/QCustomPlotQt6/QCustomPlotQt6Config.cmake" ]; then
  log "QCustomPlot $qcp_version"
  [ -d qcustomplot-$qcp_version ] || apt-get source -qq qcustomplot >/dev/null
  src=$(find "$PWD" -maxdepth 1 -type d -name 'qcustomplot-*' | head -1)
  cmake -S "$root/cmake/qcustomplot-win" -B qcp-build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DQCP_SOURCE="$src" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >/dev/null
  cmake --build qcp-build -- -j"$jobs" >/dev/null
  cmake --install qcp-build >/dev/null
fi

add_translations
touch "$prefix/.complete"
rm -rf "$work"
echo "$prefix"
