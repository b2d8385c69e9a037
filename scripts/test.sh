#!/usr/bin/env bash
# Installs what the tests need, then:
#   0. checks the C++ layout (clang-format, .clang-format) and that every
#      #include points down the layers (scripts/check-layers.sh);
#   1. builds everything with warnings as errors, the benchmarks too, and
#      runs the whole suite (its package test installs and purges the .deb);
#   2. builds each other configuration the README offers packagers: without
#      JACK and without ALSA (each running its quick tests: not the VM, the
#      package test or the stress run), and without the tests;
#   3. builds again with AddressSanitizer and UndefinedBehaviorSanitizer and
#      runs the whole suite there (leaks included);
#   4. runs both fuzz targets for a bounded time (FUZZ_SECONDS, default 60).
# Exit status 0 only when all of it passed. Tests that can't run on this
# machine skip, and are listed after each run with the reason they gave.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test

build_dir=${BUILD_DIR:-build}
jobs=$(nproc)

# ctest in build folder DIR, with ARGS; then each test that skipped, with
# the reason it gave (GoogleTest's GTEST_SKIP, or a script's "SKIP: ...").
run_tests() {
  local dir=$1
  shift
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" "$@"
  awk '/^[0-9]+\/[0-9]+ Test: / { name = $3 }
       /: Skipped$/ { getline; print "skipped " name ": " $0 }
       /^SKIP: / { print "skipped " name ": " substr($0, 7) }' "$dir/Testing/Temporary/LastTest.log"
}

echo "== Layout and layers"
scripts/source-files.sh | xargs clang-format --dry-run --Werror
scripts/check-layers.sh

echo "== Build and test"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQWD_WERROR=ON \
  -DBUILD_TESTING=ON -DQWD_BUILD_BENCH=ON
cmake --build "$build_dir" -j "$jobs"
run_tests "$build_dir"

for variant in jack alsa; do
  echo "== Build and quick tests without ${variant^^}"
  cmake -S . -B "$build_dir-no-$variant" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQWD_WERROR=ON \
    -DBUILD_TESTING=ON -DQWD_BUILD_BENCH=ON "-DQWD_WITH_${variant^^}=OFF"
  cmake --build "$build_dir-no-$variant" -j "$jobs"
  run_tests "$build_dir-no-$variant" --label-exclude slow
done

echo "== Build without the tests"
cmake -S . -B "$build_dir-no-tests" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQWD_WERROR=ON -DBUILD_TESTING=OFF
cmake --build "$build_dir-no-tests" -j "$jobs"

echo "== Sanitizers (ASan + UBSan)"
cmake -S . -B "$build_dir-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQWD_WERROR=ON \
  -DQWD_SANITIZE=ON -DBUILD_TESTING=ON -DQWD_BUILD_BENCH=OFF
cmake --build "$build_dir-asan" -j "$jobs"
run_tests "$build_dir-asan"

echo "== Fuzzing"
FUZZ_BUILD_DIR="$build_dir-fuzz" scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
