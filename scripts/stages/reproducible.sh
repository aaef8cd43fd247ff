#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Reproducibility stage: the last commit, cloned twice into folders of
# different names and built one after the other (the second with another time
# zone, umask and locale), must give bit-identical release artifacts: the
# static Linux program, the Windows programs, the .deb and the Windows
# download. Only the programs and packages are built, no tests.
set -euo pipefail
cd "$(dirname "$0")/../.."

STAGE=reproducible
source scripts/step.sh
require git git

top=$(mktemp -d "${TMPDIR:-/tmp}/varnhold-reproducible-XXXXXX")
trap 'rm -rf "$top"' EXIT
artifacts=(build/release/varnhold build/deb/packages/varnhold.deb build/windows/packages/varnhold-windows.zip
  "${windows_download[@]#*=}")

build_in() {
  local clone=$1
  git clone --quiet --no-hardlinks "$PWD" "$clone"
  (
    cd "$clone"
    cmake --preset release >/dev/null
    cmake --build --preset release
    cmake --preset windows -DVARNHOLD_BUILD_TESTS=OFF >/dev/null
    cmake --build --preset windows
    cmake --preset windows32 -DVARNHOLD_BUILD_TESTS=OFF >/dev/null
    cmake --build --preset windows32
    STAGE=$STAGE scripts/build-deb.sh build/deb >/dev/null
    mv build/deb/packages/varnhold_*.deb build/deb/packages/varnhold.deb
    STAGE=$STAGE scripts/windows-zip.sh build/windows/packages/varnhold-windows.zip "${windows_download[@]}"
  )
}

# Another time zone, umask and locale, in a folder whose name has another length.
build_elsewhere() { (umask 0002 && export TZ=Pacific/Chatham LC_ALL=C.UTF-8 && build_in "$1"); }

step build_in "$top/first"
step build_elsewhere "$top/second-clone-elsewhere"

differ=0
for artifact in "${artifacts[@]}"; do
  if cmp "$top/first/$artifact" "$top/second-clone-elsewhere/$artifact"; then
    echo "same: $artifact"
  else
    echo "FAIL: reproducible: $artifact differs between two builds" >&2
    differ=1
  fi
done
[ "$differ" -eq 0 ] || exit 1
echo "--- reproducible: all passed"
