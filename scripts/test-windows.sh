#!/usr/bin/env bash
# The Windows build under Wine: builds the zip (scripts/build-windows.sh),
# runs the model tests cross-built for Windows, then a smoke test of the
# programs from the zip against the Linux emulator on a pseudo-terminal that
# Wine maps to COM5:
#   tarvix-cli.exe ports lists COM5; identify; read; write a table whose 392
#   bytes all matter (line ends and Ctrl+Z among them) and read exactly those
#   bytes back; tarvix.exe --port COM5 under Xvfb identifies the unit, its
#   dashboard chart shows the table, and it closes cleanly on a close message.
# usage: test-windows.sh [TARVIX-SIM]   (default build-test/sim/tarvix-sim)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
sim="${1:-$root/build-test/sim/tarvix-sim}"
build="$root/build-win"
started=$SECONDS

if ! bash "$root/scripts/install-deps.sh" wine wine64 fonts-wine xvfb xauth imagemagick xdotool; then
  echo "Windows tests skipped: Wine and its helpers cannot be installed here" >&2
  exit 0
fi
bash "$root/scripts/build-windows.sh"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
stage="$build/tarvix-$version-win64"
qt="${TARVIX_WINDOWS_QT:-/opt/qt6-mingw-6.4.2}"
built=$SECONDS

export WINEPREFIX="$build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work="$build/wine-test"
rm -rf "$WINEPREFIX" "$work"
mkdir -p "$work"
simpid=
cleanup() {
  [ -n "$simpid" ] && kill "$simpid" 2>/dev/null || true
  [ -n "${pulse:-}" ] && XDG_RUNTIME_DIR="$pulse" pulseaudio --kill 2>/dev/null || true
  wineserver -k 2>/dev/null || true
}
trap cleanup EXIT
fail() {
  echo "WINDOWS TEST FAILED: $*" >&2
  exit 1
}

# The emulator first: Wine reads its port map when its server starts.
"$sim" >"$work/sim.out" 2>&1 &
simpid=$!
for _ in $(seq 1 100); do grep -q '^pty: ' "$work/sim.out" && break; sleep 0.1; done
pty="$(sed -n 's/^pty: //p' "$work/sim.out")"
[ -n "$pty" ] || fail "the emulator printed no pseudo-terminal"
wine reg add 'HKLM\Software\Wine\Ports' /v COM5 /d "$pty" /f >/dev/null 2>&1
wineserver -w
echo "Wine prefix ready, COM5 = $pty"

# Model tests: Qt's DLLs and the compiler's runtime from the zip's folder.
# A test's output goes to a file: with no console, QtTest prints nothing.
export WINEPATH="$(winepath -w "$stage");$(winepath -w "$qt/bin")" TARVIX_TEST_PORT=COM5
failed=0
for test in "$build"/tests/windows/*.exe; do
  name="$(basename "$test" .exe)"
  [ "$name" = sound_player ] && continue # below, with a sound server
  if (cd "$work" && timeout 300 wine "$test" -o "$name.txt,txt" >/dev/null 2>&1); then
    echo "  $name: $(grep -E '^Totals' "$work/$name.txt" | tr -d '\r')"
  else
    echo "  $name FAILED:"; sed 's/^/    /' "$work/$name.txt" 2>/dev/null; failed=1
  fi
done
[ "$failed" = 0 ] || fail "model tests"

# Sound cues: the player's rules under PlaySound, heard on a private sound
# server whose only sink plays into nothing, with a recorder on that sink.
pulse="$work/pulse-runtime"
mkdir -p "$pulse" && chmod 700 "$pulse"
cp -r "$stage/Sound" "$work/Sound"
XDG_RUNTIME_DIR="$pulse" pulseaudio -n --daemonize=yes --exit-idle-time=-1 \
  --load="module-null-sink sink_name=nul" --load=module-native-protocol-unix
XDG_RUNTIME_DIR="$pulse" pactl set-default-sink nul
XDG_RUNTIME_DIR="$pulse" parec -d nul.monitor --format=s16le --rate=22050 --channels=1 >"$work/cues.raw" &
recpid=$!
sound_ok=0
(cd "$work" && XDG_RUNTIME_DIR="$pulse" timeout 120 wine "$build/tests/windows/sound_player.exe" \
  -o sound_player.txt,txt >/dev/null 2>&1) && sound_ok=1
kill "$recpid" 2>/dev/null || true
wait "$recpid" 2>/dev/null || true
XDG_RUNTIME_DIR="$pulse" pulseaudio --kill || true
[ "$sound_ok" = 1 ] || { sed 's/^/    /' "$work/sound_player.txt"; fail "sound player"; }
peak="$(sox -t raw -r 22050 -e signed -b 16 -c 1 "$work/cues.raw" -n stat 2>&1 | sed -n 's/^Maximum amplitude: *//p')"
awk -v p="${peak:-0}" 'BEGIN { exit !(p > 0.05) }' || fail "the cues were not heard (peak ${peak:-none})"
echo "  sound_player: $(grep -E '^Totals' "$work/sound_player.txt" | tr -d '\r'); cues heard, peak $peak"
unset WINEPATH

cli="$stage/tarvix-cli.exe"
run_cli() { (cd "$work" && timeout 60 wine "$cli" "$@" 2>"$work/cli.err" | tr -d '\r'); }

ports="$(run_cli ports)" || fail "tarvix-cli ports: $(cat "$work/cli.err")"
echo "$ports" | grep -q "^COM5"$'\t'".*"$'\t'"ok\$" || fail "COM5 not listed as usable: $ports"
ident="$(run_cli identify --port COM5)" || fail "identify: $(cat "$work/cli.err")"
echo "$ident" | grep -q '^device id: 6$' || fail "identify said: $ident"
run_cli read 'found.tab' --port COM5 --no-backup >/dev/null || fail "read: $(cat "$work/cli.err")"
[ "$(stat -c %s "$work/found.tab")" = 392 ] || fail "read gave $(stat -c %s "$work/found.tab") bytes"
# A characteristic of bytes that a text-mode file or a line discipline would
# change (0A, 0D, 1A, 00, 11, 13), then the unit's own parameters.
{
  for i in $(seq 0 255); do printf "\\$(printf %03o $(((i * 7 + 13) & 255)))"; done
  tail -c 136 "$work/found.tab"
} >"$work/sent.tab"
cmp -s "$work/found.tab" "$work/sent.tab" && fail "the test table equals the unit's"
run_cli write 'sent.tab' --port COM5 --no-backup >/dev/null || fail "write: $(cat "$work/cli.err")"
run_cli read 'back.tab' --port COM5 --no-backup >/dev/null || fail "read back: $(cat "$work/cli.err")"
cmp "$work/sent.tab" "$work/back.tab" || fail "the unit did not give back the 392 bytes written"
echo "  tarvix-cli.exe: ports, identify, read, write and read back: the 392 bytes match"

# The live stream: a reader thread and writes on one port at once. While it
# runs, a second program finds the port busy, in both languages.
(cd "$work" && timeout 60 wine "$cli" log 'live.log' --seconds 10 --port COM5 >"$work/log.out" 2>&1) &
logpid=$!
# The stream runs once its recording (kept as it arrives) grows past its header.
streaming=
for _ in $(seq 1 300); do
  kept="$(find "$WINEPREFIX/drive_c/users" -path '*tarvix/recordings/*.log' -size +2k 2>/dev/null | head -1)"
  [ -n "$kept" ] && { streaming=1; break; }
  sleep 0.1
done
[ -n "$streaming" ] || fail "the live stream did not start: $(cat "$work/log.out")"
run_cli identify --port COM5 >/dev/null && fail "a second program used COM5 while the log held it"
grep -q 'COM5 is held by another program' "$work/cli.err" || fail "busy port: $(cat "$work/cli.err")"
grep -q 'COM5 занят другой программой' "$work/cli.err" || fail "busy port in Russian: $(cat "$work/cli.err")"
wait $logpid || fail "log: $(cat "$work/log.out")"
records="$(tr -d '\r' <"$work/log.out" | sed -n 's/^records recorded: //p')"
[ "${records:-0}" -ge 100 ] || fail "the log recorded ${records:-no} records: $(cat "$work/log.out")"
run_cli identify --port COM9 >/dev/null && fail "identify on a port that does not exist succeeded"
grep -q 'COM9 is gone' "$work/cli.err" || fail "missing port: $(cat "$work/cli.err")"
echo "  tarvix-cli.exe: the live log recorded $records records; busy and missing ports are told as such"

# The window, in a folder of its own, as a user starting it with --port.
cat >"$work/window.sh" <<EOF
set -u
cd "$work/window"
wine "$stage/tarvix.exe" --port COM5 >window.out 2>&1 &
pid=\$!
for _ in \$(seq 1 120); do ls backups/*.tab >/dev/null 2>&1 && break; sleep 0.5; done
ls backups/*.tab >/dev/null 2>&1 || { echo "no unit identified"; kill \$pid; exit 1; }
# The dashboard (key 2) draws the table's curve.
wid=\$(xdotool search --name 'Tarvix configurator' | head -1)
xdotool windowfocus --sync "\$wid" key 2
sleep 3
import -window root "$work/window.png"
wine taskkill /im tarvix.exe >/dev/null 2>&1
for _ in \$(seq 1 60); do kill -0 \$pid 2>/dev/null || break; sleep 0.5; done
kill -0 \$pid 2>/dev/null && { echo "the window did not close"; kill \$pid; exit 1; }
wait \$pid
EOF
mkdir -p "$work/window"
# A Wine server started without a display (by the runs above) would show
# no windows: let it end first.
wineserver -w
xvfb-run -a -s "-screen 0 1366x768x24" bash "$work/window.sh" || fail "tarvix.exe (exit $?)"
[ -f "$work/window/config.cfg" ] || fail "tarvix.exe closed without saving its settings"
# Rows of the screen holding the curve's red: a chart of this table spans
# over 200; an empty chart or none, a handful at most.
rows="$(convert "$work/window.png" -fx 'r-max(g,b) > 0.5 ? 1 : 0' -scale '1x768!' -threshold 0 txt:- |
  grep -ci '#FFFFFF')" || true
[ "${rows:-0}" -ge 100 ] || fail "the dashboard chart shows no table (red in $rows rows; $work/window.png)"
echo "  tarvix.exe: identified the unit, the chart shows its table ($rows rows of curve), closed cleanly"
echo "Windows tests passed: build $((built - started)) s, tests $((SECONDS - built)) s"
