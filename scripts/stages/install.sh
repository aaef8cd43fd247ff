#!/usr/bin/env bash
# Install stage: `cmake --install` into a staging folder must lay out the
# program and its manual page, the page must render with `man -l`, and CPack
# must make a .deb holding both.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=build/install
cmake --preset release -B "$build" >/dev/null
cmake --build "$build"

stage=$(mktemp -d "${TMPDIR:-/tmp}/varnhold-stage-XXXXXX")
trap 'rm -rf "$stage"' EXIT
cmake --install "$build" --prefix "$stage/usr"
(cd "$stage" && find . -type f | sort)
test -x "$stage/usr/bin/varnhold"
test -f "$stage/usr/share/man/man1/varnhold.1"

# The installed program works from its new place.
head -c 5000 /dev/urandom >"$stage/sample.dat"
[ "$("$stage/usr/bin/varnhold" "$stage/sample.dat")" = .bmp ]
[ "$("$stage/usr/bin/varnhold" "$stage/sample.dat.bmp")" = .dat ]
cmp "$stage/sample.dat" "$stage/sample.dat.bmp.dat"

# The page renders without a single warning, with every section in place.
page=$(MANWIDTH=80 man -l "$stage/usr/share/man/man1/varnhold.1" 2>"$stage/man-warnings")
if [ -s "$stage/man-warnings" ]; then
  cat "$stage/man-warnings" >&2
  echo "FAIL: the manual page renders with warnings" >&2
  exit 1
fi
for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" ENVIRONMENT FILES EXAMPLES; do
  grep -q "^$section\$" <<<"$page" || { echo "FAIL: no $section section in the manual page" >&2; exit 1; }
done
echo "manual page renders: $(wc -l <<<"$page") lines"

(cd "$build" && cpack -G DEB -B packages)
contents=$(dpkg-deb --contents "$build"/packages/varnhold_*.deb)
echo "$contents"
for expected in usr/bin/varnhold usr/share/man/man1/varnhold.1; do
  grep -q "\./$expected\$" <<<"$contents" || { echo "FAIL: $expected missing from the .deb" >&2; exit 1; }
done
echo "--- install: all passed"
