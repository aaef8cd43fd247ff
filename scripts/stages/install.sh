#!/usr/bin/env bash
# Install stage: `cmake --install` into a staging folder must lay out the
# program, its manual page and the browser page; the manual page must render
# with `man -l`, and CPack must make a .deb holding all three.
set -euo pipefail
cd "$(dirname "$0")/../.."

STAGE=install
source scripts/step.sh
require man man-db
require file file
require dpkg-deb dpkg-dev
require wasm-ld lld

build=build/install
# The package carries the browser page; its own tests run in the web stage.
step cmake --preset web
step cmake --build --preset web
step cmake --preset release -B "$build" -DVARNHOLD_WERROR=ON -DVARNHOLD_WEB_PAGE="$PWD/build/web/varnhold.html"
step cmake --build "$build"

stage=$(mktemp -d "${TMPDIR:-/tmp}/varnhold-stage-XXXXXX")
trap 'rm -rf "$stage"' EXIT
step cmake --install "$build" --prefix "$stage/usr"
(cd "$stage" && find . -type f | sort)
test -x "$stage/usr/bin/varnhold"
test -f "$stage/usr/share/man/man1/varnhold.1.gz"
cmp build/web/varnhold.html "$stage/usr/share/varnhold/varnhold.html"

# The installed program works from its new place.
head -c 5000 /dev/urandom >"$stage/sample.dat"
[ "$("$stage/usr/bin/varnhold" "$stage/sample.dat")" = .bmp ]
[ "$("$stage/usr/bin/varnhold" "$stage/sample.dat.bmp")" = .dat ]
cmp "$stage/sample.dat" "$stage/sample.dat.bmp.dat"

# The page renders without a single warning, with every section in place.
# man's own complaints are shown whatever its exit status.
if ! page=$(MANWIDTH=80 man -l "$stage/usr/share/man/man1/varnhold.1.gz" 2>"$stage/man-warnings") \
  || [ -s "$stage/man-warnings" ]; then
  cat "$stage/man-warnings" >&2
  echo "FAIL: install: the manual page does not render cleanly" >&2
  exit 1
fi
for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" ENVIRONMENT FILES EXAMPLES; do
  grep -q "^$section\$" <<<"$page" || { echo "FAIL: no $section section in the manual page" >&2; exit 1; }
done
echo "manual page renders: $(wc -l <<<"$page") lines"

(cd "$build" && step cpack -G DEB -B packages)
package_holds "$(dpkg-deb --contents "$build"/packages/varnhold_*.deb)" \
  usr/bin/varnhold usr/share/man/man1/varnhold.1.gz usr/share/varnhold/varnhold.html
echo "--- install: all passed"
