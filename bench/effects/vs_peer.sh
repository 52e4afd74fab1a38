#!/usr/bin/env bash
# Our transition frames against the usual command-line video tool's: Debian's ffmpeg and its
# xfade filter, single-threaded, against effects_bench for the like styles, at the same frame
# sizes. Prints per pair the time of one transition frame for each and the ratio (peer / ours).
#
#   bench/effects/vs_peer.sh [BUILD_DIR] [SIZES]
#
# BUILD_DIR (default build/plain) is configured with -DQUENMORA_BENCH=ON and effects_bench is
# built there when missing. SIZES defaults to "1920x1080 3840x2160". Installs ffmpeg when it is
# missing (nothing else needs it).
#
# The peer's time per frame: ffmpeg runs the transition over N frames of two plain colour
# sources made in 8-bit planar RGB (xfade's work per pixel does not depend on the colours, and
# no conversion runs), minus the same run with the two sources only, divided by N; wall time,
# the best of three runs each. Ours: effects_bench's frame routine (the old
# contents, then the style's effect) averaged over progress 25, 50 and 75 at Step 4.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/plain}
sizes=${2:-"1920x1080 3840x2160"}

if ! command -v ffmpeg >/dev/null; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
  echo "Installing ffmpeg (only this benchmark uses it)" >&2
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q >&2
  $SUDO apt-get install -y -q --no-install-recommends ffmpeg >&2
fi

bench=$build/bin/effects_bench
if [ ! -x "$bench" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUENMORA_BENCH=ON >/dev/null
  cmake --build "$build" --target effects_bench >&2
fi

# xfade transition, our style, what ours is
pairs=(
  "fade 118 fade"
  "wipeleft 5 reveal from left"
  "slideleft 3 slide in from right"
  "circleopen 84 circular reveal from centre"
  "radial 143 sweep clockwise"
  "dissolve 127 random squares"
  "rectcrop 53 reveal out from centre"
)

# Seconds of wall time of one ffmpeg run of $2 frames at size $1: two colour sources made in
# planar RGB (labelled [a] and [b]) feeding the filter graph $3.
peer_run() {
  local size=$1 frames=$2 graph=$3 secs
  secs=$(awk -v n="$frames" 'BEGIN { printf "%.3f", n / 25 }')
  ffmpeg -hide_banner -nostdin -benchmark -threads 1 -filter_threads 1 \
    -filter_complex_threads 1 -filter_complex \
    "color=c=0x2050C0:s=$size:r=25:d=$secs,format=gbrp[a];color=c=0xE0A030:s=$size:r=25:d=$secs,format=gbrp[b];$graph" \
    -f null - 2>&1 | sed -n 's/.*bench: utime=.* rtime=\([0-9.]*\)s.*/\1/p'
}

best_of_three() {
  local best="" t
  for _ in 1 2 3; do
    t=$("$@")
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best"
}

# Milliseconds per transition frame of xfade transition $1 at size $2.
peer_ms() {
  local transition=$1 size=$2 frames pixels with without
  pixels=$((${size%x*} * ${size#*x}))
  frames=$((200 * 2073600 / pixels))  # 200 at 1080p, 50 at 4K
  local secs
  secs=$(awk -v n="$frames" 'BEGIN { printf "%.3f", n / 25 }')
  with=$(best_of_three peer_run "$size" "$frames" \
    "[a][b]xfade=transition=$transition:duration=$secs:offset=0")
  without=$(best_of_three peer_run "$size" "$frames" "[b]nullsink;[a]null")
  awk -v a="$with" -v b="$without" -v n="$frames" 'BEGIN { printf "%.3f", (a - b) * 1000 / n }'
}

# Milliseconds per frame of our style $1 at size $2 and of the two-copy floor measured in the
# same run (the old contents and then the whole new picture copied by memcpy), from
# effects_bench's table; the best of three repetitions.
ours_ms() {
  local style=$1 size=$2
  "$bench" --styles="$style-$style" --sizes="$size" --benchmark_min_time=0.3 \
    --benchmark_repetitions=3 2>/dev/null |
    awk -v s="$style" '$1 == "floor" { floor = $3 } $1 == s { ours = $(NF - 1) }
                       END { print ours, floor }'
}

echo "ffmpeg $(ffmpeg -version | sed -n '1s/ffmpeg version \([^ ]*\).*/\1/p'), xfade in gbrp, one thread;" \
  "quenmora effects_bench, Step 4, progress 25/50/75; wall time per transition frame"
printf "%-10s %-11s %-30s %9s %9s %7s %9s\n" size xfade "our style" "xfade ms" "ours ms" ratio \
  "floor ms"
for size in $sizes; do
  for pair in "${pairs[@]}"; do
    read -r transition style what <<<"$pair"
    peer=$(peer_ms "$transition" "$size")
    read -r ours floor <<<"$(ours_ms "$style" "$size")"
    ratio=$(awk -v a="$peer" -v b="$ours" 'BEGIN { printf "%.1f", a / b }')
    printf "%-10s %-11s %-30s %9s %9s %6sx %9s\n" "$size" "$transition" "$style $what" "$peer" \
      "$ours" "$ratio" "$floor"
  done
done
echo "ratio = xfade time / ours (aim: fade at least 2x, the other pairs at least 5x); floor = our"
echo "frame routine's least possible frame: the old contents and the new picture each copied once"
