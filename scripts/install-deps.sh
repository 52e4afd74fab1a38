#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and the demo need (as root, or with
# sudo when it is available). Packages already present are skipped, so a second run is quick.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  libxcb1-dev libxcb-shm0-dev libxcb-randr0-dev libfreetype-dev libfontconfig-dev
  libjpeg62-turbo-dev zlib1g-dev
  libturbojpeg0-dev libheif-dev libwebp-dev libtiff-dev libgif-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format clang-tidy
  libpng-dev libpixman-1-dev
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev ffmpeg
  xvfb xauth xdotool x11-utils x11-apps openbox
  fonts-dejavu-core
  chromium
  g++-mingw-w64-x86-64 libz-mingw-w64-dev nasm dpkg-dev
  # fonts-wine: Wine's own faces (Tahoma, MS Sans Serif), which the Windows player's tests use;
  # only recommended by Wine's packages, so not brought in by the install below.
  wine wine64 fonts-wine
)
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive

# The Windows player's JPEG library is built from Debian's own libjpeg-turbo sources
# (apt-get source), which need deb-src entries beside the archive's deb entries.
sources=/etc/apt/sources.list.d/quenmora-deb-src.sources
updated=0
if [ ! -e "$sources" ] && ! apt-cache showsrc libjpeg-turbo 2>/dev/null | grep -q '^Package:'; then
  echo "Adding deb-src entries for Debian's archive: $sources"
  for list in /etc/apt/sources.list.d/*.sources; do
    [ -e "$list" ] && [ "$list" != "$sources" ] || continue
    sed -n 's/^Types: deb$/Types: deb-src/; /^Types: deb-src$/,/^$/p' "$list"
    echo
  done | $SUDO tee "$sources" >/dev/null
  if [ ! -s "$sources" ]; then
    # An older style sources.list: the same lines with deb-src.
    grep -h '^deb ' /etc/apt/sources.list 2>/dev/null | sed 's/^deb /deb-src /' |
      $SUDO tee /etc/apt/sources.list.d/quenmora-deb-src.list >/dev/null
    $SUDO rm -f "$sources"
  fi
  $SUDO apt-get update -q
  updated=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then exit 0; fi
echo "Installing: ${missing[*]}"
[ "$updated" = 1 ] || $SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
