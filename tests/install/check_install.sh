#!/usr/bin/env bash
# check_install.sh BUILD_DIR SOURCE_DIR: installs into a temporary prefix, checks
# the installed files, runs the installed tarvix-cli against the demo unit and
# starts the installed launcher with a data folder of its own.
set -euo pipefail
build="$1"
source="$2"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*"; exit 1; }
for f in bin/tarvix bin/tarvix-cli bin/tarvix-sim libexec/tarvix/tarvix \
         share/applications/tarvix.desktop share/icons/hicolor/scalable/apps/tarvix.svg \
         share/icons/hicolor/48x48/apps/tarvix.png share/icons/hicolor/128x128/apps/tarvix.png \
         share/icons/hicolor/256x256/apps/tarvix.png; do
  [ -e "$prefix/$f" ] || fail "$f is not installed"
done
[ -x "$prefix/bin/tarvix" ] || fail "the launcher is not executable"
grep -qx 'Exec=tarvix' "$prefix/share/applications/tarvix.desktop" || fail "desktop entry does not start tarvix"
if [ -d "$source/Sound" ]; then
  for lang in En Ru; do
    for cue in puls corr training ready forcedidle 1 20; do
      [ -f "$prefix/share/tarvix/Sound/$lang/$cue.wav" ] || fail "Sound/$lang/$cue.wav is not installed"
    done
  done
fi

out="$("$prefix/bin/tarvix-cli" identify --port demo)" || fail "installed tarvix-cli identify --port demo failed"
grep -q 'device id: 6' <<<"$out" || fail "unexpected identification: $out"
"$prefix/bin/tarvix-cli" --version | grep -q '^tarvix-cli [0-9]' || fail "tarvix-cli --version"
"$prefix/bin/tarvix-cli" read --help | grep -q 'usage: tarvix-cli read' || fail "tarvix-cli read --help"

# The launcher creates the data folder and runs the program there; the
# program keeps running until it is stopped.
home="$prefix/home"
mkdir -p "$home"
set +e
HOME="$home" XDG_DATA_HOME="$prefix/xdg" timeout 10 "$prefix/bin/tarvix"
rc=$?
set -e
[ "$rc" -eq 124 ] || fail "the launched program ended by itself (status $rc)"
[ -d "$prefix/xdg/tarvix" ] || fail "the launcher did not create its data folder"
[ -z "$(ls -A "$home")" ] || fail "the launcher left files in the home folder: $(ls -A "$home")"
echo "install tree: ok"
