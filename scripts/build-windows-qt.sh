#!/usr/bin/env bash
# Builds the Qt for Windows that scripts/build-windows.sh needs, from Debian
# bookworm's own source packages with Debian's mingw-w64 compiler: Qt Base
# (Core, Gui, Widgets, PrintSupport, Test, the windows platform plugin and
# style) and QCustomPlot as the CMake package QCustomPlotQt6. An hour or more
# on 2 cores. The program plays its cues with the system's PlaySound on
# Windows, so Qt Multimedia is not needed.
# usage: build-windows-qt.sh [PREFIX]   (default /opt/qt6-mingw-6.4.2)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
prefix="${1:-/opt/qt6-mingw-6.4.2}"
work="${TARVIX_QT_WORK:-$root/build-win-qt}"
jobs="$(nproc)"
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi

# Debian's Qt development packages give the host tools (moc, rcc, uic) that
# the cross-built Qt runs while building.
bash "$root/scripts/install-deps.sh" g++-mingw-w64-x86-64-posix mingw-w64-tools ninja-build dpkg-dev \
  qt6-base-dev-tools qt6-base-private-dev

# The source packages need a deb-src line for bookworm.
if ! apt-get source --print-uris qt6-base >/dev/null 2>&1; then
  $SUDO tee /etc/apt/sources.list.d/tarvix-bookworm-src.sources >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  $SUDO apt-get update -qq
fi

mkdir -p "$work"
cd "$work"
[ -d qtbase-src ] || {
  apt-get source --download-only qt6-base qcustomplot >/dev/null
  dpkg-source --no-check -x qt6-base_*.dsc qtbase-src >/dev/null
  dpkg-source --no-check -x qcustomplot_*.dsc qcustomplot-src >/dev/null
}

$SUDO mkdir -p "$prefix/lib/cmake"
toolchain="$prefix/lib/cmake/mingw-toolchain.cmake"
$SUDO tee "$toolchain" >/dev/null <<EOF
# CMake toolchain: Debian bookworm mingw-w64 (posix threads) -> Windows x86_64
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   \${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER \${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  \${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_AR           /usr/bin/\${TOOLCHAIN_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB       /usr/bin/\${TOOLCHAIN_PREFIX}-ranlib CACHE FILEPATH "")
set(CMAKE_FIND_ROOT_PATH /usr/\${TOOLCHAIN_PREFIX} $prefix)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
EOF

# Qt Base. Debian's source lacks the wintab headers (tablet events off);
# Direct2D stays on, as Qt 6.4.2 does not link its Windows font code without
# it; with OpenGL off its dynamic variant must go too, or the windows
# platform plugin does not compile.
cmake -G Ninja -S qtbase-src -B qtbase-build \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DQT_QMAKE_TARGET_MKSPEC=win32-g++ \
  -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF -DINPUT_opengl=no -DFEATURE_sql=OFF -DFEATURE_dbus=OFF \
  -DFEATURE_opengl_dynamic=OFF -DFEATURE_tabletevent=OFF -DFEATURE_openssl=OFF >qtbase-configure.log
cmake --build qtbase-build -j"$jobs"
$SUDO cmake --install qtbase-build >/dev/null

# QCustomPlot as a shared library with the CMake package the Linux build finds.
mkdir -p qcustomplot-cmake
cp qcustomplot-src/qcustomplot.h qcustomplot-src/qcustomplot.cpp qcustomplot-cmake/
cat >qcustomplot-cmake/CMakeLists.txt <<'EOF'
cmake_minimum_required(VERSION 3.21)
project(QCustomPlotQt6 VERSION 2.1.0 LANGUAGES CXX)
set(CMAKE_AUTOMOC ON)
find_package(Qt6 REQUIRED COMPONENTS Widgets PrintSupport)
add_library(QCustomPlotQt6 SHARED qcustomplot.cpp qcustomplot.h)
target_compile_definitions(QCustomPlotQt6 PRIVATE QCUSTOMPLOT_COMPILE_LIBRARY INTERFACE QCUSTOMPLOT_USE_LIBRARY)
target_link_libraries(QCustomPlotQt6 PUBLIC Qt6::Widgets Qt6::PrintSupport)
target_include_directories(QCustomPlotQt6 INTERFACE $<INSTALL_INTERFACE:include>)
install(TARGETS QCustomPlotQt6 EXPORT QCustomPlotQt6Targets RUNTIME DESTINATION bin ARCHIVE DESTINATION lib)
install(FILES qcustomplot.h DESTINATION include)
install(EXPORT QCustomPlotQt6Targets NAMESPACE QCustomPlotQt6:: DESTINATION lib/cmake/QCustomPlotQt6)
file(WRITE ${CMAKE_BINARY_DIR}/QCustomPlotQt6Config.cmake
  "include(CMakeFindDependencyMacro)\nfind_dependency(Qt6 COMPONENTS Widgets PrintSupport)\n"
  "include(\${CMAKE_CURRENT_LIST_DIR}/QCustomPlotQt6Targets.cmake)\n")
install(FILES ${CMAKE_BINARY_DIR}/QCustomPlotQt6Config.cmake DESTINATION lib/cmake/QCustomPlotQt6)
EOF
"$prefix/bin/qt-cmake" -G Ninja -S qcustomplot-cmake -B qcustomplot-build -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
cmake --build qcustomplot-build -j"$jobs"
$SUDO cmake --install qcustomplot-build >/dev/null

$SUDO find "$prefix" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
echo "Qt for Windows built in $prefix"
