#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Web stage: the browser page build/web/varnhold.html. Its core is compiled to
# WebAssembly from the program's own C++; Node checks the core against the
# committed picture hashes, and headless Chromium runs the page from file://
# with the network blocked (encode, decode, refusals, a 256 MiB round trip).
set -euo pipefail
cd "$(dirname "$0")/../.."

STAGE=web
source scripts/step.sh
require clang++ clang
require wasm-ld lld
require node nodejs
require chromium chromium
[ -f /usr/include/wasm32-wasi/c++/v1/string ] || { echo "FAIL: web needs libc++-14-dev-wasm32" >&2; exit 1; }

step cmake --workflow --preset web
echo "--- web: $(cat build/web/round-trip-memory.txt)"
echo "--- web: $(wc -c <build/web/varnhold.html) bytes in build/web/varnhold.html"
echo "--- web: all passed"
