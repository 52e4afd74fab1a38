#!/usr/bin/env bash
# Fuzzes the slide decoders (PNG, BMP, JPEG) one after the other through scripts/fuzz.sh.
#
#   scripts/fuzz-imaging.sh [SECONDS_PER_TARGET] [TARGET...]
#
# SECONDS_PER_TARGET defaults to 900. TARGET is png_decoder_fuzzer, bmp_reader_fuzzer or
# jpeg_decoder_fuzzer (default: all three). JOBS sets the build's parallelism; BUILD_DIR, FUZZ_LOG
# and MERGE work as in scripts/fuzz.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-900}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(png_decoder_fuzzer bmp_reader_fuzzer jpeg_decoder_fuzzer)
fi
exec bash scripts/fuzz.sh "$(IFS=,; echo "${targets[*]}")" "$seconds" "${JOBS:-2}"
