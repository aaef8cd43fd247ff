#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Install stage: the .deb as a distribution builds it must pass lintian
# --pedantic without an error or a warning (info tags fixed, or overridden
# with a reason), state the project's version, install into a throwaway root
# with the browser page, round-trip a file there, and carry a manual page that
# renders cleanly. The portable program (the release build) must need no glibc
# newer than its floor. Every library linked into either program must be
# listed in THIRD-PARTY-NOTICES.
set -euo pipefail
cd "$(dirname "$0")/../.."

STAGE=install
source scripts/step.sh
require man man-db
require lintian lintian
require wasm-ld lld

build=build/deb
step scripts/build-deb.sh "$build"
deb=$(echo "$build"/packages/varnhold_*.deb)
# lintian warns that it runs as root, on stderr; its findings go to stdout.
# It leaves its ELF caches in TMPDIR: a folder of the build's, made afresh.
rm -rf "$build/lintian-tmp" && mkdir "$build/lintian-tmp"
TMPDIR=$PWD/$build/lintian-tmp step lintian --pedantic --info --display-experimental --fail-on error,warning "$deb"
release_version_is "$(dpkg-deb -f "$deb" Version)" "$(basename "$deb")"
step scripts/check-notices.sh /usr/bin/varnhold "$build/varnhold.map"

step cmake --workflow --preset release
step bash tests/portable/check_glibc.sh build/release/varnhold
step scripts/check-notices.sh varnhold build/release/varnhold.map

root=$(mktemp -d "${TMPDIR:-/tmp}/varnhold-root-XXXXXX")
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/info"
touch "$root/var/lib/dpkg/status"
# The root holds no libc: the program runs with this machine's libraries.
step dpkg --root="$root" --log=/dev/null --force-depends --force-not-root -i "$deb"
package_holds "$(cd "$root" && find . -type f | sort)" \
  usr/bin/varnhold usr/share/man/man1/varnhold.1.gz usr/share/doc/varnhold/copyright \
  usr/share/doc/varnhold/changelog.gz usr/share/varnhold/varnhold.html

# The installed program works from its new place.
head -c 5000 /dev/urandom >"$root/sample.dat"
[ "$("$root/usr/bin/varnhold" "$root/sample.dat")" = .bmp ]
[ "$("$root/usr/bin/varnhold" "$root/sample.dat.bmp")" = .dat ]
cmp "$root/sample.dat" "$root/sample.dat.bmp.dat"

# The page renders without a single warning, with every section in place.
# man's own complaints are shown whatever its exit status.
if ! page=$(MANWIDTH=80 man -l "$root/usr/share/man/man1/varnhold.1.gz" 2>"$root/man-warnings") \
  || [ -s "$root/man-warnings" ]; then
  cat "$root/man-warnings" >&2
  echo "FAIL: install: the manual page does not render cleanly" >&2
  exit 1
fi
for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" ENVIRONMENT FILES EXAMPLES WINDOWS SAFETY; do
  grep -q "^$section\$" <<<"$page" || { echo "FAIL: no $section section in the manual page" >&2; exit 1; }
done
echo "manual page renders: $(wc -l <<<"$page") lines"
echo "--- install: all passed"
