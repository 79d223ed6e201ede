#!/bin/sh
# Builds everything with clang under AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan/, runs every test there, then gives each fuzz target a short run.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --sanitize
CC=clang CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTROVEPORT_FUZZ=ON \
    -DTROVEPORT_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-asan --parallel "$(nproc)"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$(pwd)/fuzz/lsan.supp"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd build-asan && QT_QPA_PLATFORM=offscreen ../scripts/with-postgres.sh ctest --output-on-failure --parallel "$(nproc)")
./scripts/fuzz.sh --runs "${TROVEPORT_FUZZ_RUNS:-3000}"
