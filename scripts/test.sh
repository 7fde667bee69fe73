#!/usr/bin/env bash
# Sets up, builds and runs every test:
#   1. the normal build: C++ tests, command-line tests and Java tests;
#   2. the C++ tests again with AddressSanitizer and UBSan (any report fails);
#   3. the multi-threaded engine test under ThreadSanitizer;
#   4. the libFuzzer harnesses, each for a short bounded time (clang).
# TABULON_FUZZ_SECONDS sets the seconds per fuzz harness (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
jobs=$(nproc)
fuzz_seconds=${TABULON_FUZZ_SECONDS:-30}

echo "== build and test"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

echo "== sanitizers: address, undefined"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTABULON_SANITIZE=ON \
      -DTABULON_BUILD_JAVA=OFF -DTABULON_BUILD_BENCH=OFF
cmake --build build-asan -j "$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
   UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j "$jobs")

echo "== thread sanitizer: concurrent transforms"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABULON_TSAN=ON \
      -DTABULON_BUILD_JAVA=OFF -DTABULON_BUILD_BENCH=OFF
cmake --build build-tsan -j "$jobs" --target tabulon_tests
TSAN_OPTIONS=halt_on_error=1 build-tsan/tabulon_tests --gtest_filter='Concurrency*'

echo "== fuzzing, ${fuzz_seconds}s per harness"
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABULON_FUZZ=ON \
      -DTABULON_FUZZ_SECONDS="$fuzz_seconds" -DTABULON_BUILD_JAVA=OFF -DTABULON_BUILD_BENCH=OFF
cmake --build build-fuzz -j "$jobs" --target fuzz_options fuzz_grid_frame fuzz_table fuzz_round_trip
(cd build-fuzz && ctest --output-on-failure -L fuzz)
