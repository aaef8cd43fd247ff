#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Encodes a fixed set of inputs under fixed geometry settings and compares each
# picture's size and SHA-256 with a committed list, so every build (x86-64,
# Windows, aarch64) must make byte-identical pictures.
#
#   container_hashes.sh EXPECTED_LIST [EMULATOR...] PROGRAM
#   container_hashes.sh --print [EMULATOR...] PROGRAM   (writes the list)
set -euo pipefail
expected=$1
shift
run=("$@")

work=$(mktemp -d "${TMPDIR:-/tmp}/varnhold-hashes-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# name, input size, VARNHOLD_DIVISOR, VARNHOLD_FRACTION ("-" leaves it unset).
# Sizes with the tag "mp3": 6553 gives P = 2187 and 11587 gives P = 3865, where
# only extended precision finds the right window; 0 and 17 fall under the
# small-picture rule; 859 with D = 4, F = 4 gives P = 289, an exact tie.
cases=(
  "empty.mp3 0 - -"
  "small.mp3 17 - -"
  "k1.mp3 1000 - -"
  "p2187.mp3 6553 - -"
  "p2187-comma.mp3 6553 - 0,75"
  "p3865.mp3 11587 - -"
  "p289.mp3 859 4 4"
  "k64.mp3 65536 - -"
  "m1.mp3 1000000 - -"
  "readme 5000 - -"
  "odd.bin 50000 5 0,75"
  "any.dat 12345 1 1"
  "hex.txt 30000 x10 3"
  "spaced.txt 30000 _4 1.1"
  "wide.raw 70000 16 0.001"
  "tall.raw 70000 2 1e1"
  "digits.raw 4096 8 1.33333333333333333333333333"
  "large.iso 3000000 24 2,5"
)

status=0
listing=""
for entry in "${cases[@]}"; do
  read -r name size divisor fraction <<<"$entry"
  # Deterministic content; the picture carries it unchanged.
  head -c "$size" <(yes "Varnhold $name carries this line in its picture.") >"$name"
  settings=()
  [ "$divisor" != - ] && settings+=("VARNHOLD_DIVISOR=${divisor//_/ }")
  [ "$fraction" != - ] && settings+=("VARNHOLD_FRACTION=$fraction")
  code=0
  out=$(env -u VARNHOLD_DIVISOR -u VARNHOLD_FRACTION "${settings[@]}" "${run[@]}" "$name") || code=$?
  if [ "$code" != 0 ] || [ "$out" != .bmp ]; then
    echo "FAIL $name: exit code $code, printed '$out'" >&2
    status=1
    continue
  fi
  read -r width height < <(od -An -tu4 -j18 -N8 "$name.bmp")
  hash=$(sha256sum <"$name.bmp" | cut -d' ' -f1)
  listing+="$name ${width}x$height $hash"$'\n'
  rm -f "$name" "$name.bmp"
done

if [ "$expected" = --print ]; then
  printf '%s' "$listing"
  exit "$status"
fi
if ! diff -u "$expected" <(printf '%s' "$listing"); then
  echo "FAIL: pictures differ from $expected" >&2
  status=1
fi
[ "$status" = 0 ] && echo "all $(wc -l <"$expected") pictures match"
exit "$status"
