#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Formats every C++ file the repository tracks with clang-format and the
# house style in .clang-format. With --check it changes nothing and fails,
# naming the files, when any file is not formatted (the full suite runs this).
set -euo pipefail
cd "$(dirname "$0")/.."

STAGE=format
source scripts/step.sh
require clang-format clang-format

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = --check ]; then
  clang-format --dry-run --Werror "${sources[@]}" || {
    echo "FAIL: format: run scripts/format.sh to format the files above" >&2
    exit 1
  }
  echo "--- format: ${#sources[@]} files follow .clang-format"
else
  clang-format -i "${sources[@]}"
fi
