#!/usr/bin/env bash
# Checks the naming rule of CONTRIBUTING.md (.clang-tidy: readability-identifier-naming) on the
# project's own sources, compiled as BUILD_DIR's compile_commands.json compiles them; the Windows
# player's own files through the Windows build inside it (BUILD_DIR/windows/build), parsed for
# the MinGW target. More build directories add the sources only they compile (the benchmarks and
# fuzz targets). With --fix, renames what the rule asks for, every use included: give it every
# build directory that compiles a use.
#   bash scripts/check-names.sh [--fix] BUILD_DIR [MORE_BUILD_DIRS...]
# ONLY=REGEX restricts it to the sources whose paths match.
set -euo pipefail
fix=0
if [ "${1:-}" = --fix ]; then fix=1; shift; fi
[ $# -ge 1 ] || { echo "usage: check-names.sh [--fix] BUILD_DIR [MORE_BUILD_DIRS...]" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${JOBS:-$(nproc)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/fixes"
touch "$work/report"

# The translation units of our own folders, not the generated ones in the build directory.
own_files() {
  python3 - "$1" "$root" <<'PY'
import json, sys
db, root = sys.argv[1], sys.argv[2]
own = ("src/", "tools/", "tests/", "bench/", "fuzz/", "demo/")
for f in sorted({e["file"] for e in json.load(open(db))}):
    if f.startswith(root + "/") and f[len(root) + 1:].startswith(own):
        print(f)
PY
}

# run DB FILES_LIST [EXTRA ARGS...]: clang-tidy on each file, jobs at a time, each file's report
# as one block so that parallel runs do not interleave; with --fix each file's replacements go to
# a file of their own, applied together (once each) by clang-apply-replacements at the end.
run() {
  local db=$1 list=$2
  shift 2
  FIXES=$([ "$fix" = 1 ] && echo "$work/fixes" || true) xargs -a "$list" -P "$jobs" -I{} sh -c '
    db=$1; shift
    file=$1; shift
    set -- "$@" ${FIXES:+--export-fixes=$FIXES/$(printf %s "$file" | md5sum | cut -c1-16).yaml}
    out=$(clang-tidy --quiet -p "$db" "$@" "$file" 2>/dev/null)
    [ -n "$out" ] && printf "%s\n" "$out"
    true' _ "$db" {} "$@" >>"$work/report"
}

touch "$work/seen"
for dir in "$@"; do
  dir=$(realpath "$dir")
  own_files "$dir/compile_commands.json" | grep -vxF -f "$work/seen" | grep -E "${ONLY:-.}" \
    >"$work/files" || true
  cat "$work/files" >>"$work/seen"
  run "$dir" "$work/files"
  # The Windows player's sources that the Linux build does not compile.
  windows=$dir/windows/build
  if [ -f "$windows/compile_commands.json" ]; then
    own_files "$windows/compile_commands.json" | grep -vxF -f "$work/seen" |
      grep -E "${ONLY:-.}" >"$work/files" || true
    cat "$work/files" >>"$work/seen"
    gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
    run "$windows" "$work/files" --extra-arg-before=--target=x86_64-w64-mingw32 \
      --extra-arg=-nostdinc++ --extra-arg=-isystem"$gcc_dir/include/c++" \
      --extra-arg=-isystem"$gcc_dir/include/c++/x86_64-w64-mingw32" \
      --extra-arg=-isystem"$gcc_dir/include/c++/backward"
  fi
done

if [ "$fix" = 1 ]; then
  clang-apply-replacements "$work/fixes"
  echo "Renamed; check with: bash scripts/check-names.sh $*"
  exit 0
fi
# One line per name that breaks the rule, with its path in the source tree (a header's names once,
# however many files include it and through whichever include root).
tidy() {
  grep -E "$1" "$work/report" | sed "s|^.*/include/[a-z]*/\([a-z]*/\)|src/\1|; s|^$root/||" | sort -u || true
}
problems=$(tidy '^[^ ].*: error: invalid case style')
failures=$(tidy 'error: .*\[clang-diagnostic-error\]')
if [ -n "$problems$failures" ]; then
  printf '%s\n' "$failures" "$problems" | sed '/^$/d'
  echo "Names against the rule of CONTRIBUTING.md: $(printf '%s\n' "$problems" | sed '/^$/d' | wc -l)" >&2
  exit 1
fi
echo "Names follow the rule."
