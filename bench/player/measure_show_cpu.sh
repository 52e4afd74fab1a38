#!/usr/bin/env bash
# Processor use of the player over a whole show of 1920x1080 slides with the window's settings
# (Step 4, Delay 50, threaded), in a virtual X server of that size:
#   bash bench/player/measure_show_cpu.sh BUILD_DIR [SLIDES_STYLE]
# Prints the show's wall time, the processor time (user + system) and their ratio.
set -euo pipefail
bin=${1:?build directory, e.g. build/release}/bin
style=${2:-random}
work=$(mktemp -d)
trap 'rm -rf "$work"; kill $xvfb 2>/dev/null || true' EXIT
"$bin/quenmora-demo-gallery" "$work/gallery" 1920x1080 >/dev/null 2>&1
"$bin/quenmora" pack -o "$work/show" --interval 1 --style "$style" \
  --captions "$work/gallery/captions.txt" "$work/gallery"/{sonnenaufgang.jpg,bergwelt.bmp,see.png,muster.png,nacht.jpg} >/dev/null
exec 3< <(Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r -u 3 display
mkdir -p "$work/tmp"
DISPLAY=:$display TMPDIR=$work/tmp /usr/bin/time -f "%e %U %S" -o "$work/time" "$work/show" 2>/dev/null
read -r wall user sys < "$work/time"
awk -v w="$wall" -v u="$user" -v s="$sys" 'BEGIN {
  printf "show: %.2f s wall, %.2f s user + %.2f s system = %.2f s processor (%.0f%% of one core)\n",
         w, u, s, u + s, 100 * (u + s) / w }'
