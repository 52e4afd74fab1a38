#!/usr/bin/env bash
# Processor use of the player and of the X server over a whole show of five slides with the
# window's settings (Step 4, Delay 50, threaded), in a virtual X server of the slides' size:
#   bash bench/player/measure_show_cpu.sh BUILD_DIR [SIZE [SLIDES_STYLE]]
# SIZE is WIDTHxHEIGHT (default 1920x1080). Prints the show's wall time and, for the player and
# for the X server, the processor time (user + system) and its share of one core.
set -euo pipefail
bin=${1:?build directory, e.g. build/release}/bin
size=${2:-1920x1080}
style=${3:-random}
work=$(mktemp -d)
xvfb=
trap 'rm -rf "$work"; [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true' EXIT
"$bin/quenmora-demo-gallery" "$work/gallery" "$size" >/dev/null 2>&1
"$bin/quenmora" pack -o "$work/show" --interval 1 --style "$style" \
  --captions "$work/gallery/captions.txt" "$work/gallery"/{sonnenaufgang.jpg,bergwelt.bmp,see.png,muster.png,nacht.jpg} >/dev/null
exec 3< <(exec Xvfb -displayfd 1 -screen 0 "${size}x24" -nolisten tcp 2>/dev/null)
xvfb=$!
read -r -u 3 display
# The server's processor time in clock ticks (user + system), from its /proc entry.
server_ticks() { awk '{ print $14 + $15 }' "/proc/$xvfb/stat"; }
mkdir -p "$work/tmp"
before=$(server_ticks)
DISPLAY=:$display TMPDIR=$work/tmp /usr/bin/time -f "%e %U %S" -o "$work/time" "$work/show" 2>/dev/null
after=$(server_ticks)
read -r wall user sys < "$work/time"
awk -v w="$wall" -v u="$user" -v s="$sys" -v x=$((after - before)) -v hz="$(getconf CLK_TCK)" \
  -v size="$size" 'BEGIN {
  printf "show %s: %.2f s wall; player %.2f s user + %.2f s system = %.2f s (%.0f%% of one core); X server %.2f s (%.0f%% of one core)\n",
         size, w, u, s, u + s, 100 * (u + s) / w, x / hz, 100 * (x / hz) / w }'
