#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The README's shell script must keep working: it is taken from the README,
# run beside the program with a stand-in for xdg-open, and must open exactly
# the file that was written, or fail with the program's code.
# Usage: readme_script_test.sh PROGRAM README
set -euo pipefail
program=$(realpath "$1")
readme=$(realpath "$2")
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir "$folder/bin"
cp "$program" "$folder/varnhold"
sed -n '/^#!\/bin\/sh$/,/^```$/p' "$readme" | sed '$d' > "$folder/open-restored.sh"
[ -s "$folder/open-restored.sh" ] || { echo "no shell script found in the README"; exit 1; }
printf '#!/bin/sh\necho "opened $1"\n' > "$folder/bin/xdg-open"
chmod +x "$folder/bin/xdg-open"
export PATH="$folder/bin:$PATH"

printf 'tune' > "$folder/song.mp3"
[ "$(sh "$folder/open-restored.sh" "$folder/song.mp3")" = "opened $folder/song.mp3.bmp" ]
[ "$(sh "$folder/open-restored.sh" "$folder/song.mp3.bmp")" = "opened $folder/song.mp3.bmp.mp3" ]
cmp "$folder/song.mp3" "$folder/song.mp3.bmp.mp3"
# A relative name is relative to the caller's folder, not the script's.
mkdir "$folder/work"
printf 'verse' > "$folder/work/poem.txt"
[ "$(cd "$folder/work" && sh ../open-restored.sh poem.txt)" = "opened poem.txt.bmp" ]
[ -f "$folder/work/poem.txt.bmp" ]

set +e
sh "$folder/open-restored.sh" "$folder/missing.txt" > "$folder/out" 2>&1
status=$?
set -e
[ "$status" -eq 5 ] && grep -q 'failed with code 5' "$folder/out"
echo "README script: encodes, decodes, opens the new file, takes relative names, and passes failures on"
