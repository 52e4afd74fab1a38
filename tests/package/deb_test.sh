#!/usr/bin/env bash
# Builds the Debian package of a build tree, checks its files and dependencies, unpacks it into a
# temporary root and packs, inspects and renders a presentation with the programs installed
# there. With the Windows player built, the package carries it beside the Linux player.
#   deb_test.sh BUILD_DIR SOURCE_DIR VERSION [WINDOWS_PLAYER]
set -euo pipefail
build=$1 source=$2 version=$3 windows=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$work"/pkg/*.deb)
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# Exactly the programs, their manual pages and the documentation.
dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '/$' | sed 's|^\./||' | sort >"$work/files"
cat "$work/files"
expected="usr/bin/quenmora
usr/libexec/quenmora/quenmora-player
${windows:+usr/libexec/quenmora/quenmora-player.exe
}usr/share/doc/quenmora/LICENSE
usr/share/doc/quenmora/README.md
usr/share/man/man1/quenmora-player.1
usr/share/man/man1/quenmora.1"
[ "$(cat "$work/files")" = "$expected" ] || fail "unexpected file list"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libxcb1 libfreetype6 libfontconfig1; do
  grep -q "\b$lib\b" <<<"$depends" || fail "no dependency on $lib"
done
! grep -q "qt6" <<<"$depends" || fail "a dependency on Qt"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"

dpkg -x "$deb" "$work/root"
q=$work/root/usr/bin/quenmora
player=$work/root/usr/libexec/quenmora/quenmora-player
[ "$("$q" --version)" = "quenmora $version" ] || fail "quenmora --version"
if [ -n "$windows" ]; then
  cmp "$windows" "$work/root/usr/libexec/quenmora/quenmora-player.exe" ||
    fail "the packaged Windows player differs from the build's"
fi

pictures=$source/tests/data/imaging/pngsuite/primary
"$q" pack -o "$work/show" --style 84 "$pictures/basn2c08.png=Erstes Bild" \
  "$pictures/basn0g08.png=Zweites Bild" || fail "pack with the installed tool"
# The presentation starts with the installed player, byte for byte.
cmp -n "$(stat -c %s "$player")" "$player" "$work/show" || fail "the show carries another player"
"$q" info "$work/show" >"$work/info" || fail "info"
grep -q "Erstes Bild" "$work/info" && grep -q "Zweites Bild" "$work/info" || fail "info lists the slides"
"$q" render --style 84 --progress 50 "$pictures/basn2c08.png" "$pictures/basn0g08.png" \
  "$work/frame.png" || fail "render"
[ -s "$work/frame.png" ] || fail "render wrote nothing"
echo "The installed programs pack, inspect and render."
