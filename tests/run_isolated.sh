#!/usr/bin/env bash
# run_isolated.sh FOLDER COMMAND [ARGS...]: runs one test process with a home,
# configuration, data, cache and runtime folder of its own, emptied before
# every run. A test then never reads the settings of the user running the
# suite (a remembered option would change what a window test sees), never
# writes them, and never finds what an earlier run of itself left behind.
# It also works in a folder of its own: the window keeps its state file and
# undo history in the working folder, and two tests running at once must not
# share them.
set -eu
folder="$1"
shift
rm -rf "$folder"
mkdir -p "$folder/home" "$folder/config" "$folder/config-dirs" "$folder/data" "$folder/data-dirs" \
         "$folder/cache" "$folder/runtime" "$folder/work"
chmod 700 "$folder/runtime" # Qt refuses a runtime folder others can read
export HOME="$folder/home"
export XDG_CONFIG_HOME="$folder/config" XDG_CONFIG_DIRS="$folder/config-dirs"
export XDG_DATA_HOME="$folder/data" XDG_DATA_DIRS="$folder/data-dirs"
export XDG_CACHE_HOME="$folder/cache" XDG_RUNTIME_DIR="$folder/runtime"
# No sound server is started behind a test's back (a test that wants one
# starts its own); a client left connecting to one can hang at exit.
mkdir -p "$folder/config/pulse"
echo "autospawn = no" > "$folder/config/pulse/client.conf"
cd "$folder/work"
exec "$@"
