#!/usr/bin/env bash
# Builds Velmora, its tests and its fuzz targets with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan, then runs every test there, one per core at a time. Any sanitizer report, a leak included, ends its
# program with an error, so its test fails. With VELMORA_TEST_SERVER set, the server tests run too.
# With --build-only, it stops after the build.
set -euo pipefail
cd "$(dirname "$0")/.."

# Ninja where the folder is new (a folder keeps the generator it was made with); no benchmarks.
generator=()
if [ ! -f build-asan/CMakeCache.txt ] && command -v ninja >/dev/null; then
    generator=(-G Ninja)
fi
CC=clang CXX=clang++ cmake -S . -B build-asan "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ \
    -DVELMORA_SANITIZE=ON -DVELMORA_FUZZ=ON -DVELMORA_WERROR=ON -DVELMORA_BENCH=OFF
cmake --build build-asan -j"$(nproc)"
[ "${1:-}" = --build-only ] && exit 0

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:exitcode=1:detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=0:exitcode=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0"
if symbolizer=$(command -v llvm-symbolizer); then
    export ASAN_SYMBOLIZER_PATH="$symbolizer" UBSAN_SYMBOLIZER_PATH="$symbolizer"
fi
ctest --test-dir build-asan --output-on-failure -j"$(nproc)"
