#!/usr/bin/env bash
# Packing a folder of camera photos against what a user would do by hand first: ImageMagick's
# convert -resize '1920x1080>' -quality 90 over the same files, one after another.
#
#   bench/photos/pack_vs_imagemagick.sh [BUILD_DIR] [FOLDER]
#
# FOLDER (default /tmp/quenmora-photos) gets 30 photo-like 4000x3000 JPEGs (12 megapixels,
# ImageMagick's plasma with noise, quality 92) when it has none. BUILD_DIR (default build/plain)
# must hold quenmora and photo_quality (configure with -DQUENMORA_BENCH=ON). Prints the wall
# time of each whole run (median of 3, /usr/bin/time), their ratio, the peak memory of the pack,
# the presentation's size with --fit 1920x1080 and with --fit none, and for three of the photos
# the quality of both downscales against an exact floating-point Lanczos-3 downscale.
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

median() { sort -n | sed -n 2p; }
time_of() { for _ in 1 2 3; do /usr/bin/time -f %e "$@" 2>&1 >/dev/null | tail -1; done | median; }
export -f theirs
ours_s=$(time_of "${ours[@]}")
theirs_s=$(time_of bash -c "photos='$photos' out='$out'; $(declare -f theirs); theirs")
echo "quenmora pack --fit 1920x1080: ${ours_s} s; convert -resize: ${theirs_s} s;" \
  "ratio $(echo "scale=2; $theirs_s / $ours_s" | bc)x"
peak=$(/usr/bin/time -f %M "${ours[@]}" 2>&1 >/dev/null | tail -1)
echo "peak memory of the pack: $((peak / 1024)) MiB"
fitted=$(stat -c %s "$out/show")
"$build/bin/quenmora" pack --player "$player" -o "$out/show" --fit none "$photos" >/dev/null
echo "presentation: $((fitted / 1000000)) MB with --fit 1920x1080," \
  "$(($(stat -c %s "$out/show") / 1000000)) MB with --fit none"
for i in 1 2 3; do
  "$build/bin/photo_quality" "$photos/IMG_$i.jpg" 1920x1080 "$out/IMG_$i.jpg"
done
