#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Holds THIRD-PARTY-NOTICES to a link. Every library file that the link map
# names (an object, or a member of an archive, from outside this repository)
# must belong to a component whose "Linked from" patterns match its path and
# whose "In" line names FILE; and every component whose "In" line names FILE
# must have been linked in. So no library reaches a program or the page
# unlisted, and the notices claim nothing that is not there.
#   check-notices.sh FILE LINK.map     e.g. check-notices.sh varnhold.exe build/windows32/varnhold.map
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
file=$1
map=$2

# One line per field value of a component's heading: "FIELD<TAB>COMPONENT<TAB>VALUE",
# for the fields In (one line per file) and Linked from (one per pattern).
fields=$(awk '
  /^=+$/ { heading = 1; component = ""; field = ""; next }
  heading && /^$/ { heading = 0; next }
  !heading { next }
  /^[A-Z][A-Za-z ]*: / { field = substr($0, 1, index($0, ":") - 1); value = substr($0, index($0, ":") + 2) }
  /^ / { value = $0; sub(/^ +/, "", value) }
  field == "Component" { component = value }
  field == "In" { n = split(value, names, /, */); for (i = 1; i <= n; i++) print "In\t" component "\t" names[i] }
  field == "Linked from" { print "Linked from\t" component "\t" value }
' "$root/THIRD-PARTY-NOTICES")
listed=$(awk -F '\t' -v f="$file" '$1 == "In" && $3 == f { print $2 }' <<<"$fields" | sort -u)
patterns=$(awk -F '\t' '$1 == "Linked from" { print $2 "\t" $3 }' <<<"$fields")

[ -s "$map" ] || { echo "FAIL: no link map $map" >&2; exit 1; }
# Paths relative to the build folder are the project's own objects.
libraries=$(grep -oE '(^|[[:space:]])/[^[:space:]()]+\.(a\([^)]*\)|o|obj)' "$map" | sed 's/^[[:space:]]*//; s/(.*//' |
  sort -u | xargs -r realpath -ms)
failed=0
linked=
while read -r library; do
  [ -n "$library" ] && [[ $library != "$root"/* ]] || continue
  component=
  while IFS=$'\t' read -r candidate pattern; do
    # shellcheck disable=SC2053 # the pattern is a glob
    [[ $library == $pattern ]] && { component=$candidate; break; }
  done <<<"$patterns"
  if [ -z "$component" ]; then
    echo "FAIL: $file is linked from $library, which no component of THIRD-PARTY-NOTICES lists" >&2
    failed=1
  elif ! grep -qxF "$component" <<<"$listed"; then
    echo "FAIL: $file carries $component (from $library), but THIRD-PARTY-NOTICES does not name $file in its In line" >&2
    failed=1
  fi
  linked+="$component"$'\n'
done <<<"$libraries"
while read -r component; do
  [ -z "$component" ] || grep -qxF "$component" <<<"$linked" ||
    { echo "FAIL: THIRD-PARTY-NOTICES names $file in $component, but its link takes nothing from it" >&2; failed=1; }
done <<<"$listed"
[ "$failed" -eq 0 ] || exit 1
echo "$file: every library in its link is listed in THIRD-PARTY-NOTICES: $(grep -c . <<<"$listed") components"
