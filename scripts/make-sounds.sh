#!/usr/bin/env bash
# Generates the spoken cues in Sound/En and Sound/Ru with espeak-ng and sox.
# The generated files are kept in the repository, so building and running
# never need either tool; run this only to change a cue.
# Files: mono, 16 kHz, 16-bit WAV (small, and what QSoundEffect plays).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

need=()
command -v espeak-ng >/dev/null || need+=(espeak-ng)
command -v sox >/dev/null || need+=(sox)
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# say VOICE FOLDER NAME TEXT
say() {
  local voice=$1 folder=$2 name=$3 text=$4
  espeak-ng -v "$voice" -s 150 -w "$tmp/raw.wav" "$text"
  # Trim the leading silence so a cue sounds at once; normalise the level.
  sox "$tmp/raw.wav" -c 1 -r 16000 -b 16 "$folder/$name.wav" silence 1 0.02 1% norm -1
}

en="$root/Sound/En"
ru="$root/Sound/Ru"
mkdir -p "$en" "$ru"

say en-us "$en" puls "pulsations"
say en-us "$en" corr "correction"
say en-us "$en" training "training"
say en-us "$en" ready "ready"
say en-us "$en" forcedidle "forced idle"

say ru "$ru" puls "пульсации"
say ru "$ru" corr "коррекция"
say ru "$ru" training "обучение"
say ru "$ru" ready "готово"
say ru "$ru" forcedidle "принудительный холостой"

# The smoothing countdown: the number itself.
for n in $(seq 1 20); do
  say en-us "$en" "$n" "$n"
  say ru "$ru" "$n" "$n"
done

echo "Sound files written to $en and $ru"
