#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets up and runs every test suite: installs the missing Debian packages,
# checks the C++ formatting and the licence lines, then runs the native build, the sanitizer build and
# every extra stage in scripts/stages/ (cross builds, fuzzing, valgrind,
# packaging), timing each.
set -euo pipefail
cd "$(dirname "$0")/.."

STAGE=suite
source scripts/step.sh

step scripts/setup.sh
# The native stage would only skip the ImageMagick round trip; the full suite
# insists on it.
[ -x /usr/bin/convert ] || { echo "FAIL: the suite needs ImageMagick: install the Debian package imagemagick" >&2; exit 1; }
step scripts/format.sh --check
step scripts/spdx.sh --check
step cmake --workflow --preset default
step cmake --workflow --preset sanitize
for stage in scripts/stages/*.sh; do
  [ -e "$stage" ] || continue
  step bash "$stage"
done
echo "=== all test stages passed"
