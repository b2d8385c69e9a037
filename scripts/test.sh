#!/usr/bin/env bash
# Installs what the tests need, then:
#   1. builds everything with warnings as errors, the benchmarks too, and
#      runs the whole suite (its package test installs and purges the .deb);
#   2. builds again with AddressSanitizer and UndefinedBehaviorSanitizer and
#      runs the whole suite there (leaks included);
#   3. runs both fuzz targets for a bounded time (FUZZ_SECONDS, default 60).
# Exit status 0 only when all of it passed.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test

build_dir=${BUILD_DIR:-build}
jobs=$(nproc)

echo "== Build and test"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQWD_WERROR=ON \
  -DBUILD_TESTING=ON -DQWD_BUILD_BENCH=ON
cmake --build "$build_dir" -j "$jobs"
ctest --test-dir "$build_dir" --output-on-failure -j "$jobs"

echo "== Sanitizers (ASan + UBSan)"
cmake -S . -B "$build_dir-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQWD_WERROR=ON \
  -DQWD_SANITIZE=ON -DBUILD_TESTING=ON -DQWD_BUILD_BENCH=OFF
cmake --build "$build_dir-asan" -j "$jobs"
ctest --test-dir "$build_dir-asan" --output-on-failure -j "$jobs"

echo "== Fuzzing"
FUZZ_BUILD_DIR="$build_dir-fuzz" scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
