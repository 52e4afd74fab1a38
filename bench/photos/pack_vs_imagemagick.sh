#!/usr/bin/env bash
# Packing a folder of camera photos against what a user would do by hand first: ImageMagick's
# convert -resize '1920x1080>' -quality 90 over the same files, one after another.
#
#   bench/photos/pack_vs_imagemagick.sh [BUILD_DIR] [FOLDER]
#
# FOLDER (default /tmp/quenmora-photos) gets 30 photo-like 4000x3000 JPEGs (12 megapixels,
# ImageMagick's plasma with noise, quality 92) when it has none. BUILD_DIR (default build/plain)
# must hold quenmora and photo_quality (configure with -DQUENMORA_BENCH=ON). Prints the wall
# and processor times of each whole run (medians of 3, /usr/bin/time), their ratios, the peak
# memory of the pack, the presentation's size with --fit 1920x1080 and with --fit none, and for
# three of the photos the quality of both downscales (ours also before it is written as JPEG)
# against an exact floating-point Lanczos-3 downscale.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/plain}
photos=${2:-/tmp/quenmora-photos}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

mkdir -p "$photos"
if ! ls "$photos"/*.jpg >/dev/null 2>&1; then
  echo "making 30 photos in $photos" >&2
  for i in $(seq 1 30); do
    convert -seed "$i" -size 4000x3000 plasma:fractal -attenuate 0.5 +noise Gaussian \
      -quality 92 "$photos/IMG_$i.jpg"
  done
fi
player=$build/bin/quenmora-player
ours=("$build/bin/quenmora" pack --player "$player" -o "$out/show" --fit 1920x1080 "$photos")
theirs() { for f in "$photos"/*.jpg; do convert "$f" -resize '1920x1080>' -quality 90 "$out/$(basename "$f")"; done; }

# Three runs of each, alternating, so that a change in the machine's load touches both alike;
# the medians of wall time and of processor time (user + system, steadier on a busy machine).
run() { /usr/bin/time -f "%e %U %S" "$@" 2>&1 >/dev/null | tail -1; }
for _ in 1 2 3; do
  run "${ours[@]}" >>"$out/ours.times"
  run bash -c "photos='$photos' out='$out'; $(declare -f theirs); theirs" >>"$out/theirs.times"
done
median() { awk -v wall="$2" '{ print wall ? $1 : $2 + $3 }' "$1" | sort -n | sed -n 2p; }
ratio() { echo "scale=2; $1 / $2" | bc; }
ours_s=$(median "$out/ours.times" 1) theirs_s=$(median "$out/theirs.times" 1)
ours_cpu=$(median "$out/ours.times" 0) theirs_cpu=$(median "$out/theirs.times" 0)
echo "quenmora pack --fit 1920x1080: ${ours_s} s; convert -resize: ${theirs_s} s;" \
  "ratio $(ratio "$theirs_s" "$ours_s")x"
echo "processor time: ${ours_cpu} s against ${theirs_cpu} s;" \
  "ratio $(ratio "$theirs_cpu" "$ours_cpu")x"
peak=$(/usr/bin/time -f %M "${ours[@]}" 2>&1 >/dev/null | tail -1)
echo "peak memory of the pack: $((peak / 1024)) MiB"
fitted=$(stat -c %s "$out/show")
"$build/bin/quenmora" pack --player "$player" -o "$out/show" --fit none "$photos" >/dev/null
echo "presentation: $((fitted / 1000000)) MB with --fit 1920x1080," \
  "$(($(stat -c %s "$out/show") / 1000000)) MB with --fit none"
for i in 1 2 3; do
  "$build/bin/photo_quality" "$photos/IMG_$i.jpg" 1920x1080 "$out/IMG_$i.jpg"
done
