#!/usr/bin/env bash
# Installs the Debian 12 packages the configurator needs to build, run and test,
# and any further packages named as arguments (the Windows build's, say).
# Does nothing when they are all present already.
set -euo pipefail
packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-serialport-dev qt6-multimedia-dev libqt6opengl6-dev libgl-dev
  libqcustomplot-dev
  # Qt's own dialogs and buttons in Russian (qtbase_ru.qm).
  qt6-translations-l10n
  xvfb xauth
  # Tests hear the sound cues through a private sound server with a null sink.
  pulseaudio pulseaudio-utils sox
  "$@"
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
