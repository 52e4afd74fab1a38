#!/usr/bin/env bash
# Every transition style draws the same frames on Windows as on Linux: the frame hashes of the
# Windows build (under Wine) against those of the Linux build, style by style.
#   frame_hashes_test.sh LINUX_HELPER WINDOWS_HELPER.exe PREFIX
set -euo pipefail
linux=$1 windows=$2
export WINEPREFIX=$3 WINEDEBUG=-all
scale=${QUENMORA_TEST_TIMEOUT_SCALE:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$linux" "$work/linux.txt"
timeout "$(awk -v s="$scale" 'BEGIN { print int(120 * s) }')" wine "$windows" "$(winepath -w "$work/windows.txt")"
[ "$(wc -l <"$work/linux.txt")" -eq 150 ] || { echo "FAILED: not 150 styles"; exit 1; }
if ! diff "$work/linux.txt" "$work/windows.txt" >"$work/diff"; then
  echo "FAILED: styles whose frames differ (Linux < > Windows):"
  cat "$work/diff"
  exit 1
fi
echo "all 150 styles: the same frames"
