#!/usr/bin/env bash
# Installs what is needed, builds, and starts the window. Drag a WAV file
# onto it or open one with File > Open..., e.g. build/examples/saw-1000.wav.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh run

build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DQWD_BUILD_BENCH=OFF
cmake --build "$build_dir" -j "$(nproc)"
echo "Example waves to drag onto the window or open: $build_dir/examples/"
# Without a display it says so in one line and exits with status 1.
exec "$build_dir/ui/quarven-wave-dump"
