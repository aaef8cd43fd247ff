#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A picture must survive a trip through real image tools: container -> PNG ->
# bitmap as ImageMagick writes it by default -> decoded file, byte for byte.
# ImageMagick writes a version 5 header (pixels at 138) for a picture of many
# colours, and a palette for one of 256 colours or fewer: that one is refused,
# and comes back with -type truecolor. Also checks that ImageMagick reads every
# container as a W x H image.
# Usage: imagemagick_test.sh PROGRAM
# Exits 77 (registered as the test's skip code) when ImageMagick is missing.
set -euo pipefail
program=$(realpath "$1")
convert=/usr/bin/convert
identify=/usr/bin/identify
if [ ! -x "$convert" ] || [ ! -x "$identify" ]; then
  echo "ImageMagick is not installed (Debian package imagemagick): skipped" >&2
  exit 77
fi
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder"

# Reads a little-endian 32-bit field of a file at a byte offset.
field() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }

check() {
  local name=$1 size=$2
  head -c "$size" /dev/urandom > "$name"
  [ "$("$program" "$name")" = ".bmp" ] || { echo "$name: encoding failed"; exit 1; }
  local width height
  width=$(field "$name.bmp" 18)
  height=$(field "$name.bmp" 22)
  [ "$("$identify" -format '%w %h' "$name.bmp")" = "$width $height" ] || {
    echo "$name: ImageMagick does not read a $width x $height picture"; exit 1; }

  "$convert" "$name.bmp" "$name.png"
  mkdir -p back
  "$convert" "$name.png" "back/$name.bmp"
  local extension=".${name##*.}" suffix code=0 bits
  [ "$name" = "${name%.*}" ] && extension=".~"
  bits=$(od -An -tu2 -j 28 -N2 "back/$name.bmp" | tr -d ' ')
  suffix=$("$program" "back/$name.bmp") || code=$?
  if [ "$bits" != 24 ]; then
    [ "$code" = 3 ] && [ "$suffix" = 3 ] && [ ! -e "back/$name.bmp$extension" ] || {
      echo "$name: a $bits-bit bitmap gave code $code, printed '$suffix'"; exit 1; }
    "$convert" "$name.png" -type truecolor "back/$name.bmp"
    suffix=$("$program" "back/$name.bmp")
  fi
  [ "$suffix" = "$extension" ] || { echo "$name: decoding printed '$suffix'"; exit 1; }
  cmp "$name" "back/$name.bmp$suffix" || { echo "$name: differs after the trip"; exit 1; }
  echo "$name ($size bytes, $width x $height, $bits bits back): same after BMP -> PNG -> BMP"
}

check empty.txt 0
check noextension 1000
for size in 1 17 118 119 4096 65536 1000000 3000001; do
  check "data$size.bin" "$size"
done
