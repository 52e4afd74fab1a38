#!/usr/bin/env bash
# Frame pacing of the Windows player under Wine: the times at which it copies frames to the
# screen (each SetDIBitsToDevice call, traced by Wine with time stamps) over a show of three
# 800 x 600 slides at the window's settings (Step 4, Delay 50: 20 frames a second), and the
# gaps between the frames of a transition:
#   bash bench/player/measure_windows_pacing.sh BUILD_DIR [STYLE]
# Prints the gaps' count, mean and standard deviation, and their share within 45-55 ms.
set -euo pipefail
bin=${1:?build directory, e.g. build/release}/bin
style=${2:-51}
work=$(mktemp -d)
xvfb=
export WINEPREFIX=$work/prefix WINEDEBUG=-all
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"; [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true' EXIT
"$bin/quenmora-demo-gallery" "$work/gallery" 800x600 >/dev/null 2>&1
"$bin/quenmora" pack --target windows -o "$work/show.exe" --interval 1 --style "$style" \
  --caption-position none "$work/gallery"/{sonnenaufgang.jpg,bergwelt.bmp,see.png} >/dev/null
exec 3< <(exec Xvfb -displayfd 1 -screen 0 800x600x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r -u 3 display
export DISPLAY=:$display
wine wineboot -i >/dev/null 2>&1
wineserver -w
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d gdi32.SetDIBitsToDevice /f >/dev/null 2>&1
WINEDEBUG=+timestamp,+relay timeout 120 wine "$work/show.exe" 2>&1 |
  sed -n 's/^\([0-9.]*\):.*Call gdi32.SetDIBitsToDevice.*/\1/p' >"$work/times"
# Gaps of a second or more lie between slides; the first two frames of a show start its clock.
awk 'NR > 1 { g = ($1 - p) * 1000; if (g < 500 && NR > 3) { n++; s += g; ss += g * g;
              if (g >= 45 && g <= 55) k++ } } { p = $1 }
     END { printf "%d gaps: mean %.1f ms, sd %.1f ms, %.0f%% within 45-55 ms\n",
           n, s / n, sqrt(ss / n - (s / n) ^ 2), 100 * k / n }' "$work/times"
