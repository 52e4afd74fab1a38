#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: a plain build, then an AddressSanitizer
# and UndefinedBehaviorSanitizer build (clang, with the fuzz targets replaying their corpora),
# then a ThreadSanitizer build of the threaded tests; first, the sources' formatting, and after the
# plain build, the names in them (clang-tidy on its compile database).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)

echo "== formatting (clang-format)"
bash scripts/check-format.sh

# Warnings are errors here (and in CI), never in a user's own build.
echo "== plain build (Release, GCC) and tests"
# The plain build also cross-builds the Windows player and runs its tests under Wine.
cmake -S . -B build/plain -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUENMORA_WERROR=ON \
  -DQUENMORA_WINDOWS_PLAYER=ON >/dev/null
cmake --build build/plain -j "$jobs"
ctest --test-dir build/plain --output-on-failure -j "$jobs"

echo "== naming (clang-tidy readability-identifier-naming on the plain build's sources)"
bash scripts/check-names.sh build/plain

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DQUENMORA_SANITIZE=address,undefined -DQUENMORA_FUZZ=ON -DQUENMORA_WERROR=ON >/dev/null
cmake --build build/asan -j "$jobs"
# Instrumented programs start and draw more slowly: the end-to-end waits get twice the time.
QUENMORA_TEST_TIMEOUT_SCALE=2 ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  LSAN_OPTIONS=suppressions=$PWD/tests/lsan_suppressions.txt \
  UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build/asan --output-on-failure -j "$jobs"

echo "== ThreadSanitizer build of the threaded tests"
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQUENMORA_SANITIZE=thread \
  -DQUENMORA_WERROR=ON >/dev/null
cmake --build build/tsan -j "$jobs" --target quenmora_threaded_tests
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build/tsan --output-on-failure -L threaded
echo "All tests passed."
