#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# aarch64 stage: cross-build for 64-bit ARM Linux and run every test under
# qemu-user. There long double has a 113-bit significand, so the geometry's
# known-answer tables and the picture hashes show it does not depend on x87.
set -euo pipefail
cd "$(dirname "$0")/../.."

STAGE=aarch64
source scripts/step.sh
require aarch64-linux-gnu-g++ g++-aarch64-linux-gnu
require qemu-aarch64 qemu-user
require dpkg-deb dpkg-dev

step cmake --preset aarch64
step cmake --build --preset aarch64
readelf -h build/aarch64/varnhold | grep -q "Machine: *AArch64" || { echo "FAIL: not an aarch64 program" >&2; exit 1; }
step ctest --preset aarch64

(cd build/aarch64 && step cpack -G DEB -B packages)
package_holds "$(dpkg-deb --contents build/aarch64/packages/varnhold_*_arm64.deb)" \
  usr/bin/varnhold usr/share/man/man1/varnhold.1.gz
echo "--- aarch64: all passed"
