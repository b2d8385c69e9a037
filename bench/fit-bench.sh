#!/usr/bin/env bash
# qwdump fit beside `sox IN -r RATE OUT` (RATE giving 128 samples) and qwdump pack, whole processes
# run side by side on the same 16-bit mono file at each length from 128 to 65,535 frames; then a
# wavetable of 256 frames of 2048 (a clm chunk) fitted into a bank. Targets: fit faster than sox and
# within 2x pack at every length, the table in under 100 ms. Outputs go to a tmpfs where there is
# one, so that no command waits for a disk. The commands take turns in ROUNDS rounds (default 40) of
# 5 runs each, so that a machine whose load changes skews them alike; medians of all runs.
#
#   bench/fit-bench.sh [BUILD_DIR [ROUNDS]]
#   QWDUMP_BEFORE=OTHER/qwdump bench/fit-bench.sh    adds a column: another build's fit
set -euo pipefail
build=${1:-build} rounds=${2:-40} before=${QWDUMP_BEFORE:-}
qwdump=$build/cli/qwdump
for tool in hyperfine sox; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh bench" >&2; exit 1; }
done
tmp=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && tmp=/dev/shm
work=$(mktemp -d "$tmp/qwd-fit-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

le32() { printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24)))"; }
# wav FILE FRAMES [FRAME_SIZE]: noise, with a clm chunk giving FRAME_SIZE if there is one.
wav() {
  local data=$(($2 * 2)) chunk=0
  [ -n "${3:-}" ] && chunk=24
  {
    printf 'RIFF' && le32 $((36 + chunk + data)) && printf 'WAVEfmt ' && le32 16
    printf '\001\000\001\000' && le32 44100 && le32 88200 && printf '\002\000\020\000'
    [ -z "${3:-}" ] || { printf 'clm ' && le32 16 && printf '<!>%-4s 10000000' "$3"; }
    printf 'data' && le32 "$data" && head -c "$data" /dev/urandom
  } >"$1"
}
# run NAME COMMAND...: ROUNDS rounds of 5 runs of the commands in turn; each run's time, in ms,
# goes to NAME as a line "COMMAND_NUMBER TIME".
run() {
  local name=$1
  shift
  : >"$work/$name.times"
  for _ in $(seq "$rounds"); do
    hyperfine -N --warmup 1 --runs 5 --export-json "$work/round.json" "$@" >/dev/null 2>&1
    awk '/"command":/ { c++ } /"times": \[/ { t = 1; next } t && /\]/ { t = 0 }
         t { gsub(/[ ,]/, ""); print c, $0 * 1000 }' "$work/round.json" >>"$work/$name.times"
  done
}
# The median time of command N (from 1) of run NAME, in ms.
median() { awk -v n="$2" '$1 == n { print $2 }' "$work/$1.times" | sort -n | awk '{ t[NR] = $1 } END { printf "%.2f", t[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2fx", a / b }'; }

printf '%-7s %-11s %-13s %-12s %-8s %-9s%s\n' Frames "qwdump fit" "sox -r RATE" "qwdump pack" fit/sox fit/pack \
  "${before:+ fit before}"
worst_sox=0 worst_pack=0
for frames in 128 600 1000 2048 10007 32768 65535; do
  in=$work/in-$frames.wav
  wav "$in" "$frames"
  commands=("$qwdump fit $in -o $work/fit.wav" "sox $in -r $(((44100 * 128 + frames / 2) / frames)) $work/sox.wav"
            "$qwdump pack $in --wave 97 -o $work/pack.syx")
  [ -z "$before" ] || commands+=("$before fit $in -o $work/before.wav")
  run "$frames" "${commands[@]}"
  fit=$(median "$frames" 1) sox=$(median "$frames" 2) pack=$(median "$frames" 3)
  printf '%-7s %-11s %-13s %-12s %-8s %-9s%s\n' "$frames" "$fit ms" "$sox ms" "$pack ms" "$(ratio "$fit" "$sox")" \
    "$(ratio "$fit" "$pack")" "${before:+ $(median "$frames" 4) ms}"
  worst_sox=$(awk -v w="$worst_sox" -v r="$(ratio "$fit" "$sox")" 'BEGIN { r += 0; print (r > w ? r : w) }')
  worst_pack=$(awk -v w="$worst_pack" -v r="$(ratio "$fit" "$pack")" 'BEGIN { r += 0; print (r > w ? r : w) }')
done
wav "$work/table.wav" $((256 * 2048)) 2048
rounds=6 run table "$qwdump fit $work/table.wav --wave 97 -o $work/bank.syx"
echo
echo "worst fit/sox: ${worst_sox}x (target < 1x)"
echo "worst fit/pack: ${worst_pack}x (target <= 2x)"
echo "table of 256 x 2048 frames to a bank: $(median table 1) ms (target < 100 ms)"
