#!/usr/bin/env bash
# Installs what the tests need, builds everything with warnings as errors,
# and runs the whole test suite. Exit status 0 only when every test passed.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test

build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQWD_WERROR=ON \
  -DQWD_BUILD_TESTS=ON -DQWD_BUILD_BENCH=ON
cmake --build "$build_dir" -j "$(nproc)"
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
