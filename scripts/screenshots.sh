#!/usr/bin/env bash
# Regenerates the README's screenshots (docs/*.png) from the demo unit under a
# virtual X server, so they show the window as it is.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
build="$root/build-shots"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target window_shot -j"$(nproc)"
mkdir -p "$root/docs"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
shot() {
  # Each picture from a fresh working folder: no state of an earlier run.
  (cd "$work" && rm -f config.cfg UndoRedoHistory.his &&
   xvfb-run -a -s "-screen 0 1366x768x24" "$build/tests/tools/window_shot" "$@")
}
shot "$root/docs/main-page.png" 0
shot "$root/docs/dashboard.png" 1 --live
shot "$root/docs/autotuning.png" 1 --live --autotune 40
shot "$root/docs/firmware.png" 2 TabSheetFirmwareUpdate
# The dashboard's table menu open, with its shortcuts.
shot "$root/docs/dashboard-menu.png" 1 --menu
# The same window in Russian.
shot "$root/docs/main-page-ru.png" 0 --language 0
shot "$root/docs/dashboard-ru.png" 1 --live --language 0
shot "$root/docs/firmware-ru.png" 2 TabSheetFirmwareUpdate --language 0
# The smallest window, in Russian (the longest captions).
shot "$root/docs/dashboard-min-ru.png" 1 --live --minimum --language 0
# A laptop screen at 200 % scaling: the window fitted into it, its pages scrolling.
(cd "$work" && rm -f config.cfg UndoRedoHistory.his &&
 QT_SCALE_FACTOR=2 xvfb-run -a -s "-screen 0 1920x1080x24" "$build/tests/tools/window_shot" \
   "$root/docs/dashboard-scaled.png" 1 --live --fit)
# The throttle panel in three edit modes: the labels of the mode stand out.
shot "$root/docs/panel-kick.png" 1 --mode 7
shot "$root/docs/panel-idle-switch.png" 1 --mode 1
shot "$root/docs/panel-ref.png" 1 --mode 9
# The advanced pages (View > Advanced pages): table chart, comparison, the
# log of a few seconds of live data, and the autotuning options.
shot "$root/docs/table-graph.png" 3 TabSheetTableGraph --advanced
shot "$root/docs/table-compare.png" 3 TabSheetTableCompare --advanced
shot "$root/docs/log-chart.png" 4 --advanced --live --stop
shot "$root/docs/autotuning-options.png" 2 TabSheetAutotuningSetup --advanced
ls "$root"/docs/*.png
