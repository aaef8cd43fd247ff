# SPDX-License-Identifier: MIT
# Sourced by the stage scripts: `step COMMAND...` runs one step of the stage
# named by $STAGE, printing its name and how long it took.
step() {
  local start=$SECONDS
  echo "--- ${STAGE}: $*"
  "$@"
  echo "--- ${STAGE}: $* took $((SECONDS - start)) s"
}

# `within SECONDS WHAT COMMAND...` runs COMMAND; if it has not ended after
# SECONDS it is stopped, and the stage says that WHAT did not end in time.
within() {
  local seconds=$1 what=$2 status=0
  shift 2
  timeout --kill-after=10 "$seconds" "$@" || status=$?
  [ "$status" -ne 124 ] && [ "$status" -ne 137 ] || echo "FAIL: ${STAGE}: $what did not end within $seconds s" >&2
  return "$status"
}

# `require TOOL PACKAGE` fails the stage, naming the Debian package, when TOOL
# is not on the PATH.
require() {
  command -v "$1" >/dev/null 2>&1 && return 0
  echo "FAIL: ${STAGE} needs $1: install the Debian package $2 (scripts/setup.sh does)" >&2
  exit 1
}

# `package_holds LISTING PATH...` fails the stage unless a package's file
# listing (dpkg-deb --contents or an archive listing) names every PATH.
package_holds() {
  local listing=$1
  shift
  echo "$listing"
  local expected
  for expected in "$@"; do
    grep -q "/$expected\$" <<<"$listing" || { echo "FAIL: ${STAGE}: $expected missing from the package" >&2; exit 1; }
  done
}

# What the Windows download carries beside its texts: NAME=FILE pairs for
# scripts/windows-zip.sh, FILE relative to the repository's root.
windows_download=(varnhold.exe=build/windows32/varnhold.exe varnhold-x64.exe=build/windows/varnhold.exe
  varnhold.html=build/web/varnhold.html)

# `release_version_is VERSION WHAT` fails the stage unless VERSION, which WHAT
# (a package, a program) states, is the project's version in CMakeLists.txt
# and the newest release in CHANGELOG.md.
release_version_is() {
  local project changelog
  project=$(sed -n 's/^project(varnhold VERSION \([^ ]*\) .*/\1/p' CMakeLists.txt)
  changelog=$(sed -n 's/^## \([0-9][^ ]*\) (.*/\1/p' CHANGELOG.md | head -n 1)
  if [ -z "$1" ] || [ "$1" != "$project" ] || [ "$1" != "$changelog" ]; then
    echo "FAIL: ${STAGE}: $2 states version '$1', CMakeLists.txt $project, CHANGELOG.md's newest release $changelog" >&2
    exit 1
  fi
  echo "$2 states version $1, as CMakeLists.txt and CHANGELOG.md do"
}
