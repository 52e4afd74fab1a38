#!/usr/bin/env bash
# Start-up to first slide of a presentation of 20 pictures of 3840x2160 (the demo gallery's five,
# four times), in a virtual X server of that size:
#   bash bench/player/measure_first_slide.sh BUILD_DIR [PLAYER]
# PLAYER defaults to the build's; another build's player may be compared on the same pictures.
set -euo pipefail
bin=${1:?build directory, e.g. build/release}/bin
player=${2:-$bin/quenmora-player}
work=$(mktemp -d)
xvfb=
trap 'rm -rf "$work"; [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true' EXIT
"$bin/quenmora-demo-gallery" "$work/gallery" 3840x2160 >/dev/null
pictures=()
for round in 1 2 3 4; do
  for p in sonnenaufgang.jpg bergwelt.bmp see.png muster.png nacht.jpg; do
    pictures+=("$work/gallery/$p")
  done
done
exec 3< <(exec Xvfb -displayfd 1 -screen 0 3840x2160x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r -u 3 display
DISPLAY=:$display "$bin/first_slide_bench" "$player" "${pictures[@]}"
