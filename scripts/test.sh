#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UBSan, runs the suite headless,
# then cross-builds for Windows and tests that under Wine (scripts/test-windows.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
build="$root/build-test"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DTARVIX_SANITIZE=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j2 "$@"
# The Windows build under Wine, against the emulator just built
# (TARVIX_SKIP_WINDOWS=1 leaves it out).
if [ "${TARVIX_SKIP_WINDOWS:-0}" != 1 ]; then
  unset QT_QPA_PLATFORM
  bash "$root/scripts/test-windows.sh" "$build/sim/tarvix-sim"
fi
