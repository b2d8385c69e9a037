#!/usr/bin/env bash
# Every performance figure in one run, each printed beside its target:
#   - LoadWaveFile against a bare fopen/fread/fclose of the same file
#   - PackWavToSysex's instructions per call (callgrind: exact, load-proof)
#   - qwdump pack as a whole process against cat of the same file
#   - qwdump fit against qwdump pack of the same 65,535-frame file
#   - JACK: MIDISendSysex until the receiving client has the whole message
#   - the window's start-up time and idle memory against a bare Qt window
# Installs what it needs and builds first, like scripts/test.sh.
#
#   bench/run-all.sh
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh bench
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DQWD_BUILD_BENCH=ON >/dev/null
cmake --build "$build_dir" -j "$(nproc)" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
summary=()
row() { summary+=("$(printf '%-52s %-22s %s' "$1" "$2" "$3")"); }

echo "== Loader against a bare read"
"$build_dir/bench/engine_bench" --benchmark_color=false | tee "$work/engine"
row "LoadWaveFile / bare fread, 131,070-byte data" \
  "$(awk -F': ' '/131070-byte data/ { split($2, a, " "); print a[1] }' "$work/engine")" "<= 1.5x"
row "LoadWaveFile / bare fread, 256-byte data" \
  "$(awk -F': ' '/ 256-byte data/ { split($2, a, " "); print a[1] }' "$work/engine")" "(no target)"

echo "== The preview's oscillator, one 1,024-frame period (21.3 ms at 48 kHz)"
"$build_dir/bench/play_bench" --benchmark_color=false | tee "$work/play"
row "play: oscillator time for one period at C8" \
  "$(awk '/BM_RenderOnePeriod\/4186009/ { print $2 " " $3 }' "$work/play")" "(no target; 21,333 us)"

echo "== PackWavToSysex instructions"
calls=1000
valgrind --tool=callgrind --callgrind-out-file="$work/callgrind" \
  --toggle-collect='CEngine::PackWavToSysex*' "$build_dir/bench/pack_calls" "$calls" >/dev/null 2>&1
instructions=$(callgrind_annotate "$work/callgrind" | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }')
echo "$((instructions / calls)) instructions per call"
row "PackWavToSysex, instructions per call" "$((instructions / calls))" "(no target)"

echo "== qwdump pack against cat, whole processes"
wav="$build_dir/examples/square.wav"
hyperfine -N --warmup 50 --runs 500 --export-csv "$work/hyperfine.csv" \
  "$build_dir/cli/qwdump pack $wav --wave 97 -o /dev/null" "cat $wav"
ratio=$(awk -F, 'NR == 2 { q = $4 } NR == 3 { c = $4 } END { printf "%.2fx", q / c }' "$work/hyperfine.csv")
row "qwdump pack / cat, medians of 500 runs" "$ratio" "<= 2x"

echo "== qwdump fit against qwdump pack, whole processes"
# The longest file pack reads, 65,535 frames of 16-bit mono: noise, as what
# it holds does not change the cost.
long="$work/long.wav"
{
  printf 'RIFF\x22\x00\x02\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00\x44\xac\x00\x00\x88\x58\x01\x00\x02\x00\x10\x00'
  printf 'data\xfe\xff\x01\x00'
  head -c 131070 /dev/urandom
} >"$long"
hyperfine -N --warmup 50 --runs 500 --export-csv "$work/fit.csv" \
  "$build_dir/cli/qwdump fit $long -o /dev/null" "$build_dir/cli/qwdump pack $long --wave 97 -o /dev/null"
ratio=$(awk -F, 'NR == 2 { f = $4 } NR == 3 { p = $4 } END { printf "%.2fx", f / p }' "$work/fit.csv")
row "qwdump fit / qwdump pack, 65,535 frames, medians" "$ratio" "<= 2x"

echo "== JACK send to receipt"
"$build_dir/bench/jack_latency_bench" 300 | tee "$work/jack"
row "MIDISendSysex to received, JACK periods" \
  "$(awk '/send -> received \(clock\)/ {
        for (i = 1; i < NF; ++i) v[$i] = $(i + 1)
        print "median " v["median"] ", p99 " v["p99"] ", max " v["max"] }' "$work/jack")" "<= 1"

echo "== A bank of 32 waves over JACK, --gap 0"
"$build_dir/bench/bank_bench" 5 | tee "$work/bank" || true
row "qwdump send of 32 waves, start to last received" \
  "$(awk '/start to last received/ { for (i = 1; i <= NF; ++i) if ($i == "median") print $(i + 1) " ms" }' "$work/bank")" \
  "<= 3572 ms"

echo "== Window start-up under Xvfb"
bench/startup-bench.sh "$build_dir" 15 | tee "$work/startup"
row "Window launch to viewable / bare Qt window" \
  "$(awk '/launch to viewable/ { for (i = 1; i <= NF; ++i) if ($i == "ratio") print $(i + 1) }' "$work/startup")" "<= 1.25x"
row "Window idle resident memory / bare Qt window" \
  "$(awk '/resident when idle/ { for (i = 1; i <= NF; ++i) if ($i == "ratio") print $(i + 1) }' "$work/startup")" "<= 1.2x"

echo
echo "== Summary ($(nproc) cores, $(uname -m), $(date -u +%Y-%m-%d))"
printf '%-52s %-22s %s\n' "Measure" "Measured" "Target"
printf '%s\n' "${summary[@]}"
