#!/usr/bin/env bash
# `quenmora video` against the encoder alone: a 10-slide 1920x1080 presentation (pack's defaults:
# random styles, interval 5 s) made into an H.264 video at 30 fps and the default quality, side
# by side with Debian's ffmpeg encoding exactly the same frames from raw video (dumped once by
# video_frames_dump) with the same settings: libx264, preset medium, CRF 18, 4 threads (both
# files' encoder settings, as x264 records them in the stream, are compared). Prints the median
# wall and processor times of each (runs alternate), their ratio, and the show's own duration.
#
#   bench/video/vs_raw_encode.sh [BUILD_DIR] [RUNS] [INTERVAL] [BASELINE_BUILD_DIR]
#
# BUILD_DIR (default build/plain) is configured with -DQUENMORA_BENCH=ON and built when the
# programs are missing. BASELINE_BUILD_DIR, when given, holds another build's `quenmora` (of an
# earlier commit, say), timed in the same rounds. The raw frames take about 3 GB per 10 s of
# video in the temporary directory while it runs.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/plain}
runs=${2:-3}
interval=${3:-5}
baseline=${4:-}

if [ ! -x "$build/bin/quenmora" ] || [ ! -x "$build/bin/video_frames_dump" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUENMORA_BENCH=ON >/dev/null
  cmake --build "$build" --target quenmora video_frames_dump >&2
fi
tool=$(realpath "$build/bin/quenmora")
dump=$(realpath "$build/bin/video_frames_dump")
[ -z "$baseline" ] || baseline=$(realpath "$baseline/bin/quenmora")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# Photographs stand-ins: soft colour fields with grain, as JPEG files.
for k in 0 1 2 3 4 5 6 7 8 9; do
  ffmpeg -v error -f lavfi -i "gradients=s=1920x1080:n=5:seed=$((k * 7 + 1))" \
    -vf "noise=alls=10:allf=t" -frames:v 1 -q:v 3 "picture$k.jpg"
done
# The video reads only the payload: the tool itself serves as the player.
"$tool" pack -o show --player "$tool" --interval "$interval" picture*.jpg >/dev/null
"$dump" show frames.yuv
frames=$(($(stat -c %s frames.yuv) / (1920 * 1080 * 3 / 2)))

# Wall and processor seconds of a command, appended to the file $1.
timed() {
  local out=$1 TIMEFORMAT='%R %U %S'
  shift
  { time "$@" >/dev/null 2>&1; } 2>>"$out"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

load_start=$(cut -d' ' -f1-3 /proc/loadavg)
for ((i = 0; i < runs; i++)); do
  timed ours.times "$tool" video -o ours.mp4 show
  [ -z "$baseline" ] || timed baseline.times "$baseline" video -o baseline.mp4 show
  timed raw.times ffmpeg -v error -y -f rawvideo -pix_fmt yuv420p -s 1920x1080 -r 30 \
    -i frames.yuv -c:v libx264 -preset medium -crf 18 -threads 4 -color_range tv \
    -colorspace bt709 -color_primaries bt709 -color_trc bt709 -movflags +faststart raw.mp4
done

# x264's record of its settings in the stream: the comparison is fair only when they agree.
settings() { strings "$1" | grep -m1 -o 'x264 - core.*' | tr ' ' '\n' | grep = | sort; }
if [ "$(settings ours.mp4)" != "$(settings raw.mp4)" ]; then
  echo "warning: the encoder settings differ:" >&2
  diff <(settings ours.mp4) <(settings raw.mp4) >&2 || true
fi

ours_wall=$(awk '{ print $1 }' ours.times | median)
raw_wall=$(awk '{ print $1 }' raw.times | median)
ours_cpu=$(awk '{ print $2 + $3 }' ours.times | median)
raw_cpu=$(awk '{ print $2 + $3 }' raw.times | median)
duration=$(awk -v f="$frames" 'BEGIN { printf "%.2f", f / 30 }')
echo "show: 10 slides at 1920x1080, interval $interval s: $frames frames, $duration s at 30 fps"
echo "medians of $runs runs each, alternating; $(nproc) processors; load average" \
  "$load_start at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end"
printf "%-34s %9s %9s\n" "" "wall s" "cpu s"
printf "%-34s %9s %9s\n" "quenmora video" "$ours_wall" "$ours_cpu"
printf "%-34s %9s %9s\n" "ffmpeg -f rawvideo ... libx264" "$raw_wall" "$raw_cpu"
if [ -n "$baseline" ]; then
  base_wall=$(awk '{ print $1 }' baseline.times | median)
  base_cpu=$(awk '{ print $2 + $3 }' baseline.times | median)
  printf "%-34s %9s %9s\n" "quenmora video (baseline build)" "$base_wall" "$base_cpu"
fi
awk -v a="$ours_wall" -v b="$raw_wall" -v c="$ours_cpu" -v d="$raw_cpu" -v s="$duration" 'BEGIN {
  printf "ours / raw encode: %.2f (wall), %.2f (cpu)\n", a / b, c / d
  printf "ours against the show: %.2fx real time (wall)\n", s / a
}'
[ -z "$baseline" ] || awk -v a="$base_wall" -v b="$raw_wall" -v c="$base_cpu" -v d="$raw_cpu" \
  -v s="$duration" -v o="$ours_wall" 'BEGIN {
  printf "baseline / raw encode: %.2f (wall), %.2f (cpu); %.2fx real time (wall)\n", a / b, c / d,
    s / a
  printf "ours / baseline: %.2f (wall)\n", o / a
}'
