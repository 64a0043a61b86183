#!/usr/bin/env bash
# Installs what is missing, builds the configurator and starts it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DTARVIX_TESTS=OFF >/dev/null
cmake --build "$root/build" -j"$(nproc)"
# The program keeps its state files in its working folder.
mkdir -p "$root/work"
# The sound cues are played from Sound/En or Sound/Ru of the working folder.
[ -e "$root/work/Sound" ] || ln -s ../Sound "$root/work/Sound"
cd "$root/work"
exec "$root/build/app/tarvix" "$@"
