#!/usr/bin/env bash
# Cross-builds the configurator for 64-bit Windows on Debian 12 and packs
# build-win/tarvix-VERSION-win64.zip: tarvix.exe, tarvix-cli.exe, the DLLs
# they need (stripped), the Qt plugins, Sound/ and README-windows.txt.
# The Qt for Windows comes from /opt/qt6-mingw-6.4.2; where it is missing it
# is unpacked from ../shared/winqt/ beside the project, or else built from
# Debian's source packages (scripts/build-windows-qt.sh, about an hour).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
qt="${TARVIX_WINDOWS_QT:-/opt/qt6-mingw-6.4.2}"
build="$root/build-win"
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi

bash "$root/scripts/install-deps.sh" g++-mingw-w64-x86-64-posix mingw-w64-tools ninja-build zip xz-utils

if [ ! -x "$qt/bin/qt-cmake" ]; then
  cache="$root/../shared/winqt/qt6-mingw-6.4.2.tar.xz"
  if [ -f "$cache" ] && [ "$qt" = /opt/qt6-mingw-6.4.2 ]; then
    echo "Unpacking the Qt for Windows from $cache"
    $SUDO tar -xJf "$cache" -C /opt
  else
    bash "$root/scripts/build-windows-qt.sh" "$qt"
  fi
fi

"$qt/bin/qt-cmake" -G Ninja -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)"

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
name="tarvix-$version-win64"
stage="$build/$name"
rm -rf "$stage" "$build/$name.zip"
mkdir -p "$stage/platforms" "$stage/styles"
cp "$build/app/tarvix.exe" "$build/app/tarvix-cli.exe" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"

# The DLLs the programs and plugins import, found the way Windows would find
# them beside the program; the system's own (kernel32, user32...) stay out.
runtime_dirs=("$qt/bin" /usr/lib/gcc/x86_64-w64-mingw32/*-posix /usr/x86_64-w64-mingw32/lib)
imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'; }
deploy() {
  local dll dir
  for dll in $(imports "$1"); do
    [ -f "$stage/$dll" ] && continue
    for dir in "${runtime_dirs[@]}"; do
      if [ -f "$dir/$dll" ]; then
        cp "$dir/$dll" "$stage/$dll"
        deploy "$stage/$dll"
        break
      fi
    done
  done
}
for binary in "$stage"/*.exe "$stage"/platforms/*.dll "$stage"/styles/*.dll; do
  deploy "$binary"
done
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.exe "$stage"/*.dll "$stage"/*/*.dll

cp -r "$root/Sound" "$stage/Sound"
find "$stage/Sound" -type f ! -name '*.wav' -delete
sed 's/$/\r/' "$root/packaging/windows/README-windows.txt" > "$stage/README-windows.txt"

(cd "$build" && zip -qr9 "$name.zip" "$name")
ls -l "$build/$name.zip"
