#!/usr/bin/env bash
# Builds and runs every test: the normal build, then the ASan+UBSan build,
# then each fuzz target for a bounded time (10 s each unless FUZZ_SECONDS says).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQUAVER_SANITIZE=ON -DQUAVER_BENCH=OFF
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

if [ -f fuzz/run-all.sh ]; then
  FUZZ_SECONDS="${FUZZ_SECONDS:-10}" bash fuzz/run-all.sh
fi
