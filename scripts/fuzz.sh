#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, ASan and UBSan, and runs each for
# the given number of seconds (default 60) from the generated seed corpus.
#
#   scripts/fuzz.sh [SECONDS]      e.g. scripts/fuzz.sh 600 for a long run
#
# The corpus grows in $FUZZ_BUILD_DIR/corpus/<target>; a crashing input is
# saved beside it and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}

CXX=clang++ cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQWD_FUZZ=ON -DQWD_WERROR=ON >/dev/null
cmake --build "$build_dir" -j "$(nproc)"

seeds="$build_dir/seeds"
mkdir -p "$seeds"
"$build_dir/fuzz/make_seed_corpus" "$seeds"

for target in LoadWaveFuzzer WaveToSysexFuzzer SysexStreamFuzzer; do
  corpus="$build_dir/corpus/$target"
  mkdir -p "$corpus" "$build_dir/artifacts"
  echo "== $target for ${seconds}s"
  "$build_dir/fuzz/$target" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
    -artifact_prefix="$build_dir/artifacts/$target-" -print_final_stats=1 "$corpus" "$seeds" 2>&1 |
    grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb|==[0-9]+==|SUMMARY|.*contract violated|INFO: Loaded)' || true
  if ls "$build_dir/artifacts/$target-"* >/dev/null 2>&1; then
    echo "$target found a failing input: $(ls "$build_dir/artifacts/$target-"*)" >&2
    exit 1
  fi
done
