#!/usr/bin/env bash
# Fuzzes the slide decoders (PNG, BMP, JPEG) with libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer, one target after the other.
#
#   scripts/fuzz-imaging.sh [SECONDS_PER_TARGET] [TARGET...]
#
# SECONDS_PER_TARGET defaults to 900. TARGET is png_decoder_fuzzer, bmp_reader_fuzzer or
# jpeg_decoder_fuzzer (default: all three). The working corpus grows in build/fuzz-corpus/TARGET,
# seeded from fuzz/corpus/TARGET; findings (crash-*, leak-*, timeout-*, oom-*) land in
# build/fuzz-artifacts/ and must become regression inputs in fuzz/corpus/TARGET and unit tests.
# Set BUILD_DIR to reuse a configured build (default build/fuzz-imaging), JOBS for the build.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-900}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(png_decoder_fuzzer bmp_reader_fuzzer jpeg_decoder_fuzzer)
fi
build=${BUILD_DIR:-build/fuzz-imaging}

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DQUENMORA_SANITIZE=address,undefined -DQUENMORA_FUZZ=ON -DQUENMORA_QT=OFF \
    -DQUENMORA_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "${JOBS:-2}" --target "${targets[@]}"

for target in "${targets[@]}"; do
  work=build/fuzz-corpus/$target
  mkdir -p "$work" build/fuzz-artifacts
  extra=()
  if [ "$target" = png_decoder_fuzzer ]; then extra+=(-dict=fuzz/imaging/png.dict); fi
  echo "== $target for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
    "$build/bin/$target" \
    "$work" "fuzz/corpus/$target" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -artifact_prefix="build/fuzz-artifacts/$target-" -print_final_stats=1 "${extra[@]}" 2>&1 |
    grep -E '^(#[0-9]+[[:space:]]+DONE|stat::|==[0-9]+==ERROR|SUMMARY|artifact_prefix|Test unit written)' || true
done
