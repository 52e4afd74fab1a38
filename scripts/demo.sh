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
n=90
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
display=:$n
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

DISPLAY=$display "$out/quenmora-demo" &
show=$!
shots=()
# Each slide: a transition of about 1.3 s, then 3 s on screen.
for k in 1 2 3; do
  sleep $([ "$k" = 1 ] && echo 2.5 || echo 4.3)
  kill -0 $show 2>/dev/null || break
  shot="$out/screenshot-$k.png"
  DISPLAY=$display "$bin/quenmora-screenshot" "$shot" && shots+=("$shot")
done
DISPLAY=$display xdotool key Escape >/dev/null 2>&1 || true
for _ in $(seq 50); do kill -0 $show 2>/dev/null || break; sleep 0.1; done
kill $show 2>/dev/null || true
wait $show 2>/dev/null || true
echo "The presentation is $out/quenmora-demo."
if [ ${#shots[@]} -gt 0 ]; then
  echo "Screenshots of the show (the first after the first slide):"
  printf '  %s\n' "${shots[@]}"
else
  echo "No screenshot could be taken." >&2
  exit 1
fi
