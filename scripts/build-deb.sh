#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the .deb as Debian builds a package: the program linked dynamically
# with dpkg-buildflags' hardening flags (PIE, bind-now, fortify, stack
# protector), Depends from dpkg-shlibdeps, file dates from SOURCE_DATE_EPOCH
# (the last commit's time unless set). The package carries the browser page,
# built here by the web preset. No tests are built. `scripts/setup.sh deb`
# installs the Debian packages this needs.
#   build-deb.sh BUILD_DIR     the package lands in BUILD_DIR/packages/
set -euo pipefail
cd "$(dirname "$0")/.."

STAGE=${STAGE:-deb}
source scripts/step.sh
require dpkg-buildflags dpkg-dev
require dpkg-shlibdeps dpkg-dev
require file file
require wasm-ld lld

build=$1
# The package's folders and its ar members take their modes from the files
# CPack makes, so the umask would show in the package.
umask 022
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# CMake reads no CPPFLAGS: fortify's definition goes in with the C++ flags.
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

step cmake --preset web >/dev/null
step cmake --build --preset web
step cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DVARNHOLD_BUILD_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr -DVARNHOLD_DEBIAN_PACKAGE=ON "-DCMAKE_CXX_FLAGS=$cxxflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" \
  "-DVARNHOLD_WEB_PAGE=$PWD/build/web/varnhold.html"
step cmake --build "$build"
rm -rf "$build/packages"
(cd "$build" && step cpack -G DEB -B packages)
