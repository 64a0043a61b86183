#!/usr/bin/env bash
# Builds the Debian package (build-deb/tarvix_VERSION_ARCH.deb). Install it with
#   sudo apt install ./build-deb/tarvix_*.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
# dpkg-shlibdeps works out the library packages the programs need.
if ! command -v dpkg-shlibdeps >/dev/null; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends dpkg-dev
fi
build="$root/build-deb"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARVIX_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/tarvix_*.deb
