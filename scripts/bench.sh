#!/usr/bin/env bash
# Builds an optimised tree and runs every benchmark; each prints its figures.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
build="$root/build-bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
for bench in "$build"/tests/bench/bench_* "$build"/tests/table/bench_*; do
  [ -f "$bench" ] && [ -x "$bench" ] || continue
  echo "== $(basename "$bench")"
  "$bench" "$tmp"
done
