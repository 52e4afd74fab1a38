#!/usr/bin/env bash
# Fuzzes one or more libFuzzer targets under AddressSanitizer and UndefinedBehaviorSanitizer, one
# after the other, and ends with one table: executions, coverage and findings per target.
#
#   bash scripts/fuzz.sh TARGET SECONDS [JOBS]
#
# TARGET is a target name (fuzz_payload, png_decoder_fuzzer, ...), several joined by commas, or
# `all` (every target with a corpus in fuzz/corpus). SECONDS is the time per target (default 600),
# JOBS the build's parallelism (default 2). Each target's work corpus grows in
# build/fuzz-corpus/TARGET, seeded from fuzz/corpus/TARGET; its output goes to
# build/fuzz-logs/TARGET.log; findings (crash-*, leak-*, timeout-*, oom-*) land in
# build/fuzz-artifacts/ and become regression inputs in fuzz/corpus/TARGET and unit tests.
#
# Environment: BUILD_DIR (default build/fuzz); FUZZ_LOG=FILE appends one row per run to FILE and
# adds the earlier rows of each target on the same code into a total, so runs spread over time add
# up; MERGE=1 folds the work corpus's inputs that reach new code into fuzz/corpus/TARGET afterwards.
# A row's code is the last commit that changed the code the target runs (the files holding the
# functions that replaying its corpora reaches, and the headers they include), with + when one of
# them has uncommitted changes: once that code changes, the target's count starts again from zero.
# The exit status is 1 when a run had a finding.
set -euo pipefail
cd "$(dirname "$0")/.."
wanted=${1:?target name, e.g. fuzz_payload, a comma-separated list, or all}
seconds=${2:-600}
jobs=${3:-2}
build=${BUILD_DIR:-build/fuzz}

if [ "$wanted" = all ]; then
  targets=()
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
else
  IFS=, read -r -a targets <<<"$wanted"
fi

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DQUENMORA_SANITIZE=address,undefined -DQUENMORA_FUZZ=ON -DQUENMORA_TESTS=OFF \
    >/dev/null
fi
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

mkdir -p build/fuzz-artifacts build/fuzz-logs
# Targets that write files (the payload's extraction) run far faster on a memory file system.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
commit=$(git rev-parse --short HEAD 2>/dev/null || echo unknown)
# The commit that last changed the code target $1 runs: the files of the repository holding a
# function that replaying its corpora ($2, $3) reaches, and the headers those files include
# where a line other than a comment changed. Code the target links but never runs (the
# transitions' row kernels in a decoder's target, say) does not restart its count; a constant
# or type in an included header does.
# The repository's files among the paths on standard input, one per line. A path names the tree
# it was compiled in, which for an object the compiler cache brought from another checkout is
# that checkout: a path counts as the repository file its tail names (or that tail under src/,
# for a build's include folders that were not resolved). With "lines", every line gives one:
# the file, "-" for a path outside the repository, and a line "#" as it is.
in_repository() {
  awk -v lines="${1:-}" '
    FILENAME != "-" { known[$0] = 1; next }
    lines && $0 == "#" { print; next }
    {
      path = $0
      while (path != "") {
        if (path in known) { print path; next }
        if (("src/" path) in known) { print "src/" path; next }
        if (!sub(/^[^\/]*\/?/, "", path)) break
      }
      if (lines) print "-"
    }' <(cd "$(git rev-parse --show-toplevel)" && git ls-files -- src tools 'fuzz/*.cpp' 'fuzz/*.h') -
}
code_of() {
  local target=$1 covered headers
  mapfile -t covered < <(ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1 \
    timeout -k 10 900 "$build/bin/$target" -runs=0 -print_coverage=1 -timeout=10 \
      -rss_limit_mb=2048 -malloc_limit_mb=512 -max_len=65536 "$2" "$3" 2>&1 |
    awk '$1 == "COVERED_FUNC:" { split($5, e, "/"); if (e[1] > 0) { sub(/:[0-9]+$/, "", $NF); print $NF } }' |
    sort -u | xargs -r realpath -m | in_repository | sort -u)
  if [ ${#covered[@]} -eq 0 ]; then
    echo unknown
    return
  fi
  # The headers the covered sources include, from the build's dependency lists (the first
  # source file in each object's list is the one it was compiled from), as repository files.
  # One realpath call for all the lists: each object's list starts with a line "#", which
  # comes back as a path ending in "/#".
  mapfile -t headers < <(cd "$build" && ninja -t inputs "$target" | grep '\.o$' |
    xargs ninja -t deps | awk '/^[^ ]/ { print "#"; next } /^ +[^ ]/ { sub(/^ +/, ""); print }' |
    xargs -r -d '\n' realpath -m | sed 's|.*/#$|#|' | in_repository lines |
    awk -v covered="${covered[*]}" '
      BEGIN { n = split(covered, c, " "); for (i = 1; i <= n; i++) is_covered[c[i]] = 1 }
      $0 == "#" { first = 1; next }
      first && /\.(cpp|cc|c)$/ { keep = $0 in is_covered; first = 0; next }
      !first && keep && /\.h$/' | sort -u)
  local code_files code_headers
  code_files=$(git log -1 --format=%H -- "${covered[@]}" 2>/dev/null || true)
  code_headers=
  if [ ${#headers[@]} -gt 0 ]; then
    code_headers=$(git log -1 --format=%H -G '^[[:space:]]*([^/[:space:]]|/[^/])' -- \
      "${headers[@]}" 2>/dev/null || true)
  fi
  local code=$code_files
  if [ -n "$code_headers" ] && { [ -z "$code" ] || git merge-base --is-ancestor "$code" "$code_headers"; }; then
    code=$code_headers
  fi
  code=$(git rev-parse --short "${code:-HEAD}" 2>/dev/null || echo unknown)
  git diff --quiet HEAD -- "${covered[@]}" "${headers[@]}" 2>/dev/null || code+=+
  echo "$code"
}
rows=()
failed=0
for target in "${targets[@]}"; do
  work=build/fuzz-corpus/$target
  log=build/fuzz-logs/$target.log
  mkdir -p "$work"
  extra=()
  for dict in fuzz/*/"$target".dict; do
    if [ -f "$dict" ]; then extra+=(-dict="$dict"); fi
  done
  echo "== $target for ${seconds}s (output in $log)"
  # A hard limit above libFuzzer's own, should a run stop answering. One allocation above
  # 512 MiB is a finding: the decoders' targets lower the decode budget to 32 MiB and the photo
  # formats' targets their per-picture limit to 1 MiB, so only memory those limits do not
  # account for could reach it.
  status=0
  started=$SECONDS
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1} \
    UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    timeout -k 30 $((seconds + 300)) "$build/bin/$target" "$work" "fuzz/corpus/$target" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=512 -max_len=65536 \
    -artifact_prefix="build/fuzz-artifacts/$target-" -print_final_stats=1 "${extra[@]}" \
    >"$log" 2>&1 || status=$?
  # The time the run took: less than asked when it was ended early (SIGUSR1) or stopped at a
  # finding.
  elapsed=$((SECONDS - started))
  grep -E '^(#[0-9]+[[:space:]]+(INITED|DONE)|==[0-9]+==ERROR|SUMMARY)|Test unit written' "$log" || true

  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1 | awk '{print $2 " / " $4}')
  # libFuzzer writes the artifact's line after its prefix ("artifact_prefix='...'; Test unit
  # written to ...") for some findings, at the line's start for others.
  findings=$(grep -cE 'Test unit written to .*/'"$target"'-(crash|leak|timeout|oom)-' "$log" || true)
  note=""
  if [ "$status" -ne 0 ] && [ "$findings" -eq 0 ]; then note=" (exit $status)"; fi
  if [ "$findings" -ne 0 ] || [ "$status" -ne 0 ]; then
    failed=1
    sed -n '/==[0-9]*==ERROR\|runtime error\|deadly signal/,$p' "$log" | head -n 60
  fi
  execs=${execs:-0}
  total=$execs
  if [ -n "${FUZZ_LOG:-}" ]; then
    if [ ! -f "$FUZZ_LOG" ]; then
      printf '| date (UTC) | target | commit | code | seconds | executions | edges / features | findings |\n|---|---|---|---|---|---|---|---|\n' >"$FUZZ_LOG"
    fi
    code=$(code_of "$target" "$work" "fuzz/corpus/$target")
    printf '| %s | %s | %s | %s | %s | %s | %s | %s |\n' "$(date -u +%Y-%m-%dT%H:%MZ)" "$target" \
      "$commit" "$code" "$elapsed" "$execs" "${cov:--}" "$findings$note" >>"$FUZZ_LOG"
    total=$(awk -F'|' -v t=" $target " -v c=" $code " '$3 == t && $5 == c {s += $7} END {printf "%d", s}' "$FUZZ_LOG")
  fi
  rows+=("$target|$execs|$total|${rate:-0}|${cov:--}|$findings$note")

  if [ "${MERGE:-0}" = 1 ] && [ "$status" -eq 0 ]; then
    before=$(find "fuzz/corpus/$target" -type f | wc -l)
    timeout -k 30 1800 "$build/bin/$target" -merge=1 -max_len=65536 -timeout=10 \
      -rss_limit_mb=2048 "fuzz/corpus/$target" "$work" >"build/fuzz-logs/$target.merge.log" 2>&1
    echo "   merged: $(($(find "fuzz/corpus/$target" -type f | wc -l) - before)) inputs reaching new code"
  fi
done

echo
printf '%-28s %14s %14s %8s %18s %s\n' target executions total exec/s "edges / features" findings
for row in "${rows[@]}"; do
  IFS='|' read -r t e tot r c f <<<"$row"
  printf '%-28s %14s %14s %8s %18s %s\n' "$t" "$e" "$tot" "$r" "$c" "$f"
done
exit "$failed"
