#!/usr/bin/env bash
# Installs what is needed, builds, and shows the shipped example wave with
# qwdump.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh run

build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQWD_BUILD_TESTS=OFF -DQWD_BUILD_BENCH=OFF
cmake --build "$build_dir" -j "$(nproc)"
exec "$build_dir/cli/qwdump" show "$build_dir/examples/square.wav"
