#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages of scripts/apt-packages.txt that are missing:
# with apt-get when run as root, through sudo otherwise. Installs nothing when
# every package is there. `setup.sh GROUP` installs only the packages marked
# @GROUP in the list (`setup.sh release`: what the release build needs).
set -euo pipefail
cd "$(dirname "$0")/.."

group=${1:-}
missing=()
while read -r package groups; do
  [ -z "$group" ] || [[ " $groups " == *" @$group "* ]] || continue
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$package")
done < <(grep -v -E '^\s*(#|$)' scripts/apt-packages.txt)
if [ ${#missing[@]} -eq 0 ]; then
  echo "--- setup: every ${group:+@$group }package of scripts/apt-packages.txt is installed"
  exit 0
fi

for_whom="the test stages"
[ -z "$group" ] || for_whom="the $group build"
echo "--- setup: missing Debian packages for $for_whom: ${missing[*]}"
echo "--- setup: (scripts/apt-packages.txt says which stage uses each)"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "FAIL: not root and no sudo; install them by hand" >&2; exit 1; }
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
# A package written NAME:ARCH comes from another architecture, which dpkg
# must know before apt-get update fetches its lists.
for package in "${missing[@]}"; do
  architecture=${package#*:}
  [ "$architecture" != "$package" ] || continue
  dpkg --print-foreign-architectures | grep -qx "$architecture" ||
    "${as_root[@]}" dpkg --add-architecture "$architecture"
done
"${as_root[@]}" apt-get update
"${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
