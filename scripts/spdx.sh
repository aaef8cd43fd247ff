#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Puts the licence line "SPDX-License-Identifier: MIT" at the top of every
# tracked source file that lacks it, in that language's comment form, after a
# line that must stay first (#!, @echo off, <?xml, <!DOCTYPE). With --check
# it changes nothing and fails, naming the files without the line (the full
# suite runs this). Data (the fuzz corpus, lists, JSON, pictures, licence
# texts) carries no line. A tracked file of a kind known as neither fails
# both ways, so that no new kind of source goes unchecked.
set -euo pipefail
cd "$(dirname "$0")/.."

STAGE=spdx
source scripts/step.sh

tag='SPDX-License-Identifier: MIT'

# The comment that carries the line in FILE, "data" for a file that carries
# none, or nothing for a kind of file this script does not know.
comment_for() {
  case "$1" in
    *.c | *.cpp | *.h | *.inc | *.rc.in | *.mjs) echo "// $tag" ;;
    *.sh | *.py | *.cmake | CMakeLists.txt | */CMakeLists.txt | .ci/run | .clang-format | .gitignore) echo "# $tag" ;;
    *.bat) echo "rem $tag" ;;
    *.manifest.in | *.html) echo "<!-- $tag -->" ;;
    *.css) echo "/* $tag */" ;;
    *.1) echo ".\\\" $tag" ;;
    *.md | *.txt | *.json | *.png | LICENSE | THIRD-PARTY-NOTICES | fuzz/corpus/* | cmake/debian/lintian-overrides) echo data ;;
  esac
}

missing=()
unknown=()
while IFS= read -r file; do
  line=$(comment_for "$file")
  [ "$line" != data ] || continue
  [ -n "$line" ] || { unknown+=("$file"); continue; }
  head -n 2 "$file" | grep -qF "$tag" && continue
  missing+=("$file")
  [ "${1:-}" = --check ] && continue
  line=${line//\\/\\\\} # sed reads a backslash in its text as an escape
  first=$(head -n 1 "$file")
  case "$first" in
    '#!'* | '@echo off'* | '<?xml'* | '<!DOCTYPE'*) sed -i "1a\\$line" "$file" ;;
    *) sed -i "1i\\$line" "$file" ;;
  esac
done < <(git ls-files)

failed=0
if [ ${#unknown[@]} -gt 0 ]; then
  printf '%s\n' "${unknown[@]}"
  echo "FAIL: spdx: ${#unknown[@]} files above are of a kind scripts/spdx.sh does not know: give comment_for" \
    "their comment form, or name them as data" >&2
  failed=1
fi
if [ "${1:-}" = --check ]; then
  if [ ${#missing[@]} -gt 0 ]; then
    printf '%s\n' "${missing[@]}"
    echo "FAIL: spdx: ${#missing[@]} files above lack \"$tag\"; run scripts/spdx.sh" >&2
    failed=1
  fi
  [ "$failed" -eq 1 ] || echo "--- spdx: every source file carries \"$tag\""
else
  echo "--- spdx: added the line to ${#missing[@]} files"
fi
exit "$failed"
