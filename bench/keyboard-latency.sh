#!/usr/bin/env bash
# Key to sound, after and before: keyboard_latency_bench as built, then with
# the period-quantized start of tests/faults.txt applied to the audio module
# (each note starting at the period after its note-on's, as a synth that
# reads its events once a period would), and the module restored.
#
#   bench/keyboard-latency.sh BUILD_DIR [NOTES]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "$1") notes=${2:-200}
fault=keyboard-note-quantized-to-the-period-start
run() { tests/support/private-shm.sh "$build/bench/keyboard_latency_bench" "$notes" "$1"; }
cmake --build "$build" -j2 --target keyboard_latency_bench >/dev/null
run after:
# The fault: the three lines after its name (they hold blanks).
mapfile -t lines < <(grep -v -e '^#' -e '^[[:space:]]*$' tests/faults.txt | sed 's/^[[:space:]]*//' |
  grep -A3 -x "$fault" | tail -3)
path=${lines[0]} from=${lines[1]} to=${lines[2]}
saved=$(mktemp)
cp "$path" "$saved"
trap 'cp "$saved" "$path"; rm -f "$saved"; cmake --build "$build" -j2 --target qwd_wave_play >/dev/null' EXIT
text=$(<"$path")
printf '%s\n' "${text/"$from"/"$to"}" >"$path"
cmake --build "$build" -j2 --target qwd_wave_play >/dev/null
run before:
