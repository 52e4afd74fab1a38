#!/usr/bin/env bash
# Tick to first transition frame: a presentation of 3840x2160 slides, JPEG, PNG and BMP in turn
# (the demo gallery's sunrise, lake and mountains, stored at full size), interval INTERVAL, played to
# its end in a virtual X server of that size with the player's figures switched on
# (QUENMORA_PLAYER_STATS). Prints, per picture type, the median and the largest time from the
# slide timer's tick to the first frame of the slide's transition, and the player's peak resident
# memory. The first slide is left out: program start decodes it before anything is on screen.
#   bash bench/player/measure_tick.sh BUILD_DIR [ROUNDS [STYLE [PLAYER [INTERVAL]]]]
# ROUNDS of the three types (default 5), STYLE a style number or random (default 1); PLAYER
# defaults to the build's, another build's player may be compared on the same pictures;
# INTERVAL in seconds (default 1): on a busy machine a longer one lets the next slide's decode
# finish before its tick, so that the figures are the tick's own.
set -euo pipefail
bin=${1:?build directory, e.g. build/release}/bin
rounds=${2:-5}
style=${3:-1}
player_file=${4:-$bin/quenmora-player}
interval=${5:-1}
work=$(mktemp -d)
xvfb=
player=
trap 'for p in $player $xvfb; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
"$bin/quenmora-demo-gallery" "$work/gallery" 3840x2160 >/dev/null
pictures=()
for ((round = 0; round < rounds; ++round)); do
  pictures+=("$work/gallery/sonnenaufgang.jpg" "$work/gallery/see.png" "$work/gallery/bergwelt.bmp")
done
"$bin/quenmora" pack -o "$work/show" --player "$player_file" --fit none --interval "$interval" --style "$style" \
  --caption-position none "${pictures[@]}" >/dev/null
exec 3< <(exec Xvfb -displayfd 1 -screen 0 3840x2160x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r -u 3 display
mkdir -p "$work/tmp"
DISPLAY=:$display TMPDIR=$work/tmp QUENMORA_PLAYER_STATS=1 "$work/show" 2>"$work/stats" &
player=$!
# The player's peak resident memory (VmHWM only grows, so its last reading is the peak), and a
# time limit of ten minutes.
peak=0
tenths=0
while kill -0 "$player" 2>/dev/null && ((tenths++ < 6000)); do
  hwm=$(awk '/^VmHWM/ { print $2 }' "/proc/$player/status" 2>/dev/null || true)
  [ -z "$hwm" ] || peak=$hwm
  sleep 0.1
done
kill "$player" 2>/dev/null || true
wait "$player" || true
grep '^quenmora-stats: slide' "$work/stats" | awk '
  $3 > 0 { type = substr("JPEG PNG  BMP ", 5 * ($3 % 3) + 1, 4); ms[type] = ms[type] " " $7 / 1000 }
  END {
    for (type in ms) {
      n = split(substr(ms[type], 2), v, " ")
      for (i = 1; i <= n; ++i) for (j = i + 1; j <= n; ++j) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
      printf "%s tick to first frame: median %.1f ms, largest %.1f ms (%d slides)\n", type,
             n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2, v[n], n
    }
  }' | sort
echo "peak resident memory: $((peak / 1024)) MiB"
