#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Puts the licence line "SPDX-License-Identifier: MIT" at the top of every
# tracked source file that lacks it, in that language's comment form, after a
# line that must stay first (#!, @echo off, <?xml). With --check it changes
# nothing and fails, naming the files without the line (the full suite runs
# this). Data (the fuzz corpus, lists, JSON, pictures) carries no line.
set -euo pipefail
cd "$(dirname "$0")/.."

STAGE=spdx
source scripts/step.sh

tag='SPDX-License-Identifier: MIT'

# The comment that carries the line in FILE, or nothing for a file that
# carries none.
comment_for() {
  case "$1" in
    *.cpp | *.h | *.rc.in) echo "// $tag" ;;
    *.sh | *.py | *.cmake | CMakeLists.txt | */CMakeLists.txt | .ci/run | .clang-format | .gitignore) echo "# $tag" ;;
    *.bat) echo "rem $tag" ;;
    *.manifest.in) echo "<!-- $tag -->" ;;
    *.1) echo ".\\\" $tag" ;;
  esac
}

missing=()
while IFS= read -r file; do
  line=$(comment_for "$file")
  [ -n "$line" ] || continue
  head -n 2 "$file" | grep -qF "$tag" && continue
  missing+=("$file")
  [ "${1:-}" = --check ] && continue
  line=${line//\\/\\\\} # sed reads a backslash in its text as an escape
  first=$(head -n 1 "$file")
  case "$first" in
    '#!'* | '@echo off'* | '<?xml'*) sed -i "1a\\$line" "$file" ;;
    *) sed -i "1i\\$line" "$file" ;;
  esac
done < <(git ls-files)

if [ "${1:-}" = --check ]; then
  if [ ${#missing[@]} -gt 0 ]; then
    printf '%s\n' "${missing[@]}"
    echo "FAIL: spdx: ${#missing[@]} files above lack \"$tag\"; run scripts/spdx.sh" >&2
    exit 1
  fi
  echo "--- spdx: every source file carries \"$tag\""
else
  echo "--- spdx: added the line to ${#missing[@]} files"
fi
