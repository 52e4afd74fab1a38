#!/usr/bin/env bash
# Installs what is missing, builds, paints the demo gallery, packs it into a presentation and
# starts it: full screen on a desktop; without a display in a virtual X server (Xvfb), saving
# screenshots along the way.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUENMORA_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)"
bin=build/release/bin
out=$PWD/build/demo
mkdir -p "$out"

mapfile -t pictures < <("$bin/quenmora-demo-gallery" "$out/gallery")
"$bin/quenmora" pack -o "$out/quenmora-demo" \
  --interval 3 --background '#1E2A44' --caption-position bottom-centre \
  --font 'DejaVu Serif' --font-colour '#FFFFFF' --font-size 20 --bold \
  --style random --captions "$out/gallery/captions.txt" "${pictures[@]}"
"$bin/quenmora" info "$out/quenmora-demo"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "Starting the presentation full screen; Escape ends it."
  exec "$out/quenmora-demo"
fi

echo "No display: running the presentation in a virtual X server."
# The server picks a free display itself and writes its number once it accepts connections;
# -noreset keeps it from resetting when a client leaves.
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -f "$displayfile"' EXIT
for _ in $(seq 300); do [ -s "$displayfile" ] && break; sleep 0.1; done
display=:$(head -n1 "$displayfile")

DISPLAY=$display "$out/quenmora-demo" &
show=$!
# Screenshots every few tenths of a second over the first two slides and a half (each slide: a
# transition of about 1.3 s, then 3 s on screen). Equal screens give equal PNG files, so a shot
# that differs from both neighbours was taken during a transition, and one equal to the next
# shows a slide at rest.
rm -rf "$out/shots"
mkdir -p "$out/shots"
sums=()
for k in $(seq -w 1 40); do
  kill -0 $show 2>/dev/null || break
  DISPLAY=$display "$bin/quenmora-screenshot" "$out/shots/$k.png" || break
  sums+=("$(md5sum <"$out/shots/$k.png")")
  sleep 0.25
done
DISPLAY=$display xdotool key Escape >/dev/null 2>&1 || true
for _ in $(seq 50); do kill -0 $show 2>/dev/null || break; sleep 0.1; done
kill $show 2>/dev/null || true
wait $show 2>/dev/null || true

# Walk the shots: wait for the screen to change (the show has started), then take the first
# slide at rest, the next transition mid-way, and the second slide at rest.
shots=()
n=${#sums[@]}
phase=0
first_slide=
keep() {
  cp "$(printf '%s/shots/%02d.png' "$out" $(($1 + 1)))" "$out/$2"
  shots+=("$out/$2")
}
for ((i = 1; i + 1 < n; i++)); do
  rest=0 moving=0
  [ "${sums[i]}" = "${sums[i + 1]}" ] && rest=1
  [ "${sums[i]}" != "${sums[i - 1]}" ] && [ "${sums[i]}" != "${sums[i + 1]}" ] && moving=1
  case $phase in
    0) [ "${sums[i]}" != "${sums[0]}" ] && phase=1 ;;
    1) [ $rest = 1 ] && { keep $i screenshot-slide-1.png; first_slide=${sums[i]}; phase=2; } ;;
    2) [ $moving = 1 ] && { keep $i screenshot-transition.png; phase=3; } ;;
    3) [ $rest = 1 ] && [ "${sums[i]}" != "$first_slide" ] && { keep $i screenshot-slide-2.png; phase=4; } ;;
  esac
done
rm -rf "$out/shots"
echo "The presentation is $out/quenmora-demo."
if [ ${#shots[@]} -gt 0 ]; then
  echo "Screenshots of the show (the first slide, the next transition mid-way, the second slide):"
  printf '  %s\n' "${shots[@]}"
else
  echo "No screenshot could be taken." >&2
  exit 1
fi
