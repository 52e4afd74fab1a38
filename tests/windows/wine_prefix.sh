#!/usr/bin/env bash
# A Wine prefix of its own for one run of the tests, and its end.
#   wine_prefix.sh setup PREFIX     a fresh prefix: booted, the X11 driver unmanaged (without a
#                                   window manager a managed window's DestroyWindow waits 2 s),
#                                   and Wine's own fonts in its Fonts folder (Tahoma, MS Sans
#                                   Serif), so that the faces the tests ask for are there
#   wine_prefix.sh cleanup PREFIX   ends the prefix's Wine server and removes the prefix
# Every step is bounded in time, scaled by QUENMORA_TEST_TIMEOUT_SCALE.
set -euo pipefail
action=$1 prefix=$2
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
scale=${QUENMORA_TEST_TIMEOUT_SCALE:-1}
limit() { timeout "$(awk -v s="$scale" -v t="$1" 'BEGIN { print int(s * t + 0.5) }')" "${@:2}"; }
case $action in
  setup)
    [ -d "$prefix" ] && { limit 30 wineserver -k 2>/dev/null || true; rm -rf "$prefix"; }
    mkdir -p "$(dirname "$prefix")"
    limit 180 wine wineboot -i >/dev/null 2>&1
    limit 120 wineserver -w
    limit 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
    limit 60 wineserver -w
    echo "Wine prefix ready: $prefix ($(wine --version))"
    ;;
  cleanup)
    limit 30 wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
    ;;
esac
