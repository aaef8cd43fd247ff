#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes the Windows download: a .zip holding, at its top, each program given
# (stripped), README.txt (the manual page as plain text, as it reads for
# Windows), LICENSE.txt, THIRD-PARTY-NOTICES.txt and CHANGELOG.md, and the
# example batch files under examples/, every text file
# with CR LF line ends. Entries are sorted and dated SOURCE_DATE_EPOCH (the
# last commit's time unless set), so the same inputs give the same bytes.
#   windows-zip.sh OUTPUT.zip NAME=FILE...
#   e.g. windows-zip.sh out.zip varnhold.exe=build/windows32/varnhold.exe \
#          varnhold-x64.exe=build/windows/varnhold.exe varnhold.html=build/web/varnhold.html
set -euo pipefail
cd "$(dirname "$0")/.."

STAGE=${STAGE:-zip}
source scripts/step.sh
require x86_64-w64-mingw32-strip binutils-mingw-w64-x86-64
require groff groff-base

output=$(realpath -m "$1")
shift
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}

top=$(mktemp -d "${TMPDIR:-/tmp}/varnhold-zip-XXXXXX")
trap 'rm -rf "$top"' EXIT
with_crlf() { sed 's/\r*$/\r/' "$1" >"$2"; }

for item in "$@"; do
  name=${item%%=*}
  file=${item#*=}
  case "$name" in
    *.exe) x86_64-w64-mingw32-strip --strip-all -o "$top/$name" "$file" ;;  # reads pe-i386 too
    *) cp "$file" "$top/$name" ;;
  esac
done
# -cbou: plain letters, no overstrike, so Notepad shows the text as it is;
# -rW1: the page's Windows reading.
groff -man -Tascii -P-cbou -rLL=78n -rHY=0 -rW1 docs/varnhold.1 >"$top/README.unix"
with_crlf "$top/README.unix" "$top/README.txt"
rm "$top/README.unix"
with_crlf LICENSE "$top/LICENSE.txt"
with_crlf THIRD-PARTY-NOTICES "$top/THIRD-PARTY-NOTICES.txt"
with_crlf CHANGELOG.md "$top/CHANGELOG.md"
mkdir "$top/examples"
for script in tests/batch/*.bat; do
  with_crlf "$script" "$top/examples/$(basename "$script")"
done

chmod -R u=rwX,go=rX "$top"
find "$top" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
rm -f "$output"
mkdir -p "$(dirname "$output")"
(cd "$top" && find . -type f -printf '%P\n' | LC_ALL=C sort >"$top.list" \
  && TZ=UTC cmake -E tar cf "$output" --format=zip --files-from="$top.list")
rm -f "$top.list"
echo "--- ${STAGE}: made $output"
