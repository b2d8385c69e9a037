#!/usr/bin/env bash
# Every performance figure in one run, each printed beside its target:
#   - LoadWaveFile against a bare fopen/fread/fclose of the same file
#   - PackWavToSysex's instructions per call (callgrind: exact, load-proof)
#   - qwdump pack as a whole process against cat of the same file
#   - qwdump fit against sox and qwdump pack at lengths from 128 to 65,535 frames, and a
#     256 x 2048 wavetable fitted into a bank
#   - JACK: MIDISendSysex until the receiving client has the whole message
#   - qwdump receive of 32 wave dumps at wire speed through the kernel VM's
#     USB MIDI interface: last byte written to receive's exit
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

row "play: 16 keys held, CPU time per second of audio" \
  "$(awk '/BM_SixteenVoicesOneSecond\/1 / { print $4 " " $5 }' "$work/play")" "< 30 ms (3 % of a core)"

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

echo "== qwdump fit against sox and qwdump pack, whole processes, 128 to 65,535 frames, and a table"
bench/fit-bench.sh "$build_dir" | tee "$work/fit"
row "qwdump fit / sox -r RATE, worst length, medians" "$(awk '/^worst fit\/sox/ { print $3 }' "$work/fit")" "< 1x"
row "qwdump fit / qwdump pack, worst length, medians" "$(awk '/^worst fit\/pack/ { print $3 }' "$work/fit")" "<= 2x"
row "qwdump fit of a 256 x 2048 table to a bank" "$(awk '/^table of/ { print $(NF - 5), $(NF - 4) }' "$work/fit")" \
  "< 100 ms"

# The JACK benchmarks start their own server, in a /dev/shm of their own.
private_shm=tests/support/private-shm.sh

echo "== JACK send to receipt"
"$private_shm" "$build_dir/bench/jack_latency_bench" 300 | tee "$work/jack"
row "MIDISendSysex to received, JACK periods" \
  "$(awk '/send -> received \(clock\)/ {
        for (i = 1; i < NF; ++i) v[$i] = $(i + 1)
        print "median " v["median"] ", p99 " v["p99"] ", max " v["max"] }' "$work/jack")" "<= 1"

echo "== Key to sound, qwdump play --midi-in, after and before"
bench/keyboard-latency.sh "$build_dir" 200 | tee "$work/keys" || true
for period in 64 256 1024; do
  row "key to sound at $period-frame periods (after; before)" \
    "$(awk -v p="$period" '$3 == p { for (i = 1; i <= NF; ++i) if ($i == "median") m = m $(i + 1) " / max " $(i + 8) " " }
        END { print m }' "$work/keys")" "<= 48 frames"
done

echo "== A bank of 32 waves over JACK, --gap 0"
"$private_shm" "$build_dir/bench/bank_bench" 5 | tee "$work/bank" || true
row "qwdump send of 32 waves, start to last received" \
  "$(awk '/start to last received/ { for (i = 1; i <= NF; ++i) if ($i == "median") print $(i + 1) " ms" }' "$work/bank")" \
  "<= 3572 ms"

echo "== Drawing in the window: a pointer move to the view painted, and to the playing wave handed over"
"$private_shm" "$build_dir/bench/window_draw_bench" 1000 | tee "$work/draw" || true
row "pointer move to view painted" \
  "$(awk -F': ' '/^pointer move to view painted:/ { print $2 }' "$work/draw")" "(no target; one 60 Hz frame)"
row "pointer move to playing wave handed over (then <= one period)" \
  "$(awk -F': ' '/handed over:/ { print $2 }' "$work/draw")" "within one audio period"

echo "== The window's Receive and Verify under a 16 MiB flood"
"$private_shm" "$build_dir/bench/window_receive_flood_bench" 2>/dev/null | tee "$work/flood" || true
for action in Receive Verify; do
  row "window's $action during a flood: peak above idle" \
    "$(awk -v a="action$action:" '$1 == a { on = 1 }
        on && /VmHWM/ { for (i = 1; i <= NF; ++i) if ($i ~ /^[+]/) { print $i " MB"; exit } }' "$work/flood")" \
    "<= +32 MB"
done

echo "== qwdump receive through a USB MIDI interface (the kernel VM's test)"
ctest --test-dir "$build_dir" -R KernelAlsa -V | tee "$work/vm" | grep -E 'USB MIDI|PASS|FAIL' || true
row "receive of 32 dumps at wire speed over USB: last byte to exit" \
  "$(sed -n 's/.*written in [0-9.]*\.\.\([0-9.]*\) s, receive done at \([0-9.]*\) s.*/\1 \2/p' "$work/vm" |
    awk '{ printf "%.0f ms (VM time)", ($2 - $1) * 1000 }')" "none lost"

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
