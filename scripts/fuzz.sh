#!/usr/bin/env bash
# Runs one libFuzzer target for a given time:  bash scripts/fuzz.sh TARGET SECONDS [JOBS]
# The seed corpus in fuzz/corpus/TARGET is copied to a work corpus in build/fuzz-corpus/TARGET;
# crashes land in build/fuzz-artifacts/ (turn each into a regression input in the corpus).
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?target name, e.g. fuzz_payload}
seconds=${2:-600}
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DQUENMORA_SANITIZE=address,undefined -DQUENMORA_FUZZ=ON -DQUENMORA_TESTS=OFF \
  -DQUENMORA_QT=OFF >/dev/null
cmake --build build/fuzz --target "$target"
work=build/fuzz-corpus/$target
mkdir -p "$work" build/fuzz-artifacts
cp -n fuzz/corpus/"$target"/* "$work"/ 2>/dev/null || true
exec build/fuzz/bin/"$target" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix=build/fuzz-artifacts/"$target"- "$work"
