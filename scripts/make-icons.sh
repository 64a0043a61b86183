#!/usr/bin/env bash
# Renders the application icon's PNG sizes from packaging/icons/tarvix.svg.
# The PNGs are committed, so building needs no SVG renderer; run this after
# changing the SVG.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if ! command -v rsvg-convert >/dev/null; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends librsvg2-bin
fi
for size in 48 128 256; do
  rsvg-convert -w "$size" -h "$size" "$root/packaging/icons/tarvix.svg" -o "$root/packaging/icons/tarvix-$size.png"
done
