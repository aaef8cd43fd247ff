#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Holds the portable Linux program to the oldest glibc it promises to run on:
# the only shared libraries it needs are glibc's own, and no symbol it takes
# from them is versioned newer than the floor below.
#   check_glibc.sh PROGRAM
set -euo pipefail
program=$1
# The oldest glibc the portable program runs on. The C++ runtime linked into
# it sets this: built on Debian 12, libstdc++ calls arc4random (2.36) and
# libgcc's unwinder _dl_find_object (2.35).
floor=2.36

needed=$(objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }')
[ -n "$needed" ] || { echo "FAIL: $program needs no shared library: it is not linked to glibc dynamically" >&2; exit 1; }
failed=0
while read -r library; do
  case "$library" in
    libc.so.6 | libm.so.6 | ld-linux*.so.*) ;;
    *) echo "FAIL: $program needs $library, which is not part of glibc" >&2; failed=1 ;;
  esac
done <<<"$needed"
versions=$(objdump -T "$program" | grep -o 'GLIBC_[0-9][0-9.]*' | sed 's/^GLIBC_//' | sort -u -V)
newest=$(tail -n 1 <<<"$versions")
if [ "$(printf '%s\n%s\n' "$floor" "$newest" | sort -V | tail -n 1)" != "$floor" ]; then
  objdump -T "$program" | grep -F "GLIBC_$newest" >&2
  echo "FAIL: $program needs glibc $newest (above), newer than its floor, glibc $floor" >&2
  failed=1
fi
[ "$failed" -eq 0 ] || exit 1
echo "$(basename "$program"): needs $(xargs <<<"$needed"); the newest glibc symbol version is $newest; the floor is glibc $floor"
