#!/usr/bin/env bash
# Start-up to first slide of the Windows player under Wine, cold and warm, beside the Linux
# player on the same presentation: the demo gallery's five pictures at 1920x1080, in a virtual
# X server of that size and a Wine prefix of this run's own.
#   bash bench/player/measure_windows_start.sh BUILD_DIR
set -euo pipefail
bin=${1:?build directory with QUENMORA_BENCH=ON and the Windows player}/bin
work=$(mktemp -d)
xvfb=
export WINEPREFIX=$work/prefix WINEDEBUG=-all
end() {
  timeout 30 wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
  # The Wine server writes its registry as it goes: a second try removes what came late.
  rm -rf "$work" 2>/dev/null || { sleep 1; rm -rf "$work"; }
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
}
trap end EXIT
"$bin/quenmora-demo-gallery" "$work/gallery" 1920x1080 >/dev/null
pictures=("$work/gallery"/{sonnenaufgang.jpg,bergwelt.bmp,see.png,muster.png,nacht.jpg})
exec 3< <(exec Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r -u 3 display
export DISPLAY=:$display
timeout 300 wine wineboot -i >/dev/null 2>&1
timeout 120 wineserver -w
timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
echo "== Linux player"
"$bin/first_slide_bench" "$bin/quenmora-player" "${pictures[@]}"
echo "== Windows player under Wine"
"$bin/first_slide_bench" "$bin/quenmora-player.exe" "${pictures[@]}"
