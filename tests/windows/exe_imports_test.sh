#!/usr/bin/env bash
# The Windows player runs on a bare Windows PC: it imports only the system's own libraries (no
# C++ runtime, thread or zlib DLL beside it), carries no symbols, and stays within 1 MB.
#   exe_imports_test.sh PLAYER.exe OBJDUMP
set -euo pipefail
exe=$1 objdump=$2
fail() { echo "FAILED: $*" >&2; exit 1; }
[ -f "$exe" ] || fail "no $exe"
size=$(stat -c %s "$exe")
imports=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | sort -f)
echo "size: $size bytes; imports: $(echo $imports)"
[ "$size" -le 1048576 ] || fail "larger than 1 MB"
[ -n "$imports" ] || fail "no import table found"
for dll in $imports; do
  case "${dll,,}" in
    kernel32.dll | user32.dll | gdi32.dll | msvcrt.dll | winmm.dll) ;;
    *) fail "imports $dll, which a Windows PC does not have by itself" ;;
  esac
done
# Stripped: no symbol table, so the payload appended by pack is the only data after the sections.
"$objdump" -t "$exe" | grep -q "SYMBOL TABLE:" && "$objdump" -t "$exe" | grep -q '\[ *[0-9]' &&
  fail "not stripped"
echo "ok"
