#!/usr/bin/env bash
# The player runs on desktops that have none of the project's libraries: it may need only the C
# library's parts, libgcc_s, libxcb, FreeType and fontconfig, no symbol version newer than
# GLIBC_2.34 (Ubuntu 22.04 has 2.35), and stripped it stays under 1 MB (unless SIZE is "any").
#   player_linkage_test.sh PLAYER [SIZE]
set -euo pipefail
player=${1:?the player executable}
size_check=${2:-1mb}
allowed="libc.so.6 libm.so.6 libgcc_s.so.1 ld-linux-x86-64.so.2 libxcb.so.1 libfreetype.so.6 libfontconfig.so.1"
status=0
for lib in $(readelf -d "$player" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
  case " $allowed " in
    *" $lib "*) ;;
    *) echo "not allowed: the player needs $lib"; status=1 ;;
  esac
done
highest=$(objdump -T "$player" | grep -o 'GLIBC_[0-9][0-9.]*' | sed 's/GLIBC_//' | sort -V | tail -n 1)
if [ "$(printf '%s\n2.34\n' "$highest" | sort -V | tail -n 1)" != "2.34" ]; then
  echo "too new: the player needs GLIBC_$highest; these symbols want more than 2.34:"
  objdump -T "$player" | grep -E 'GLIBC_2\.(3[5-9]|[4-9][0-9])' || true
  status=1
fi
if [ "$size_check" != any ]; then
  stripped=$(mktemp)
  trap 'rm -f "$stripped"' EXIT
  strip -o "$stripped" "$player"
  bytes=$(stat -c %s "$stripped")
  if [ "$bytes" -ge 1048576 ]; then
    echo "too large: the stripped player has $bytes bytes"
    status=1
  fi
fi
exit $status
