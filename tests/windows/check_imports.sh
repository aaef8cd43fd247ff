#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Reads a Windows program's import table and checks every imported function
# against imports.txt, which names each function the program may import with
# the oldest Windows that has it. Fails on an import the list does not hold,
# and on a listed one newer than the list's floor.
#
#   check_imports.sh OBJDUMP PROGRAM.exe [imports.txt]
set -euo pipefail
objdump=$1
program=$2
list=${3:-$(dirname "$0")/imports.txt}
# Oldest first; a version's place in this list orders it.
versions=(2000 XP Vista 7 8 8.1 10)
rank() {
  local i
  for i in "${!versions[@]}"; do [ "${versions[$i]}" = "$1" ] && { echo "$i"; return; }; done
  echo "FAIL: $list: unknown Windows version '$1'" >&2
  exit 1
}

floor=$(sed -n 's/^floor[[:space:]]\+//p' "$list")
floor_rank=$(rank "${floor%% *}")

# "dll function" for each import; an import by ordinal alone reads "#N".
imported=$("$objdump" -p "$program" | awk '
  /^The Import Tables/ { inside = 1; next }
  inside && /^[A-Z]/ { inside = 0 }
  inside && /DLL Name:/ { dll = tolower($3); next }
  inside && dll != "" && /^\t[0-9a-f]+\t/ { print dll, (NF >= 3 ? $3 : "#" $2) }' | sort -u)
[ -n "$imported" ] || { echo "FAIL: no import table read from $program" >&2; exit 1; }

failed=0
newest=0
while read -r dll function; do
  version=$(awk -v d="$dll" -v f="$function" '$1 == d && $2 == f {print $3}' "$list")
  if [ -z "$version" ]; then
    echo "FAIL: $program imports $dll $function, which $list does not list" >&2
    failed=1
    continue
  fi
  r=$(rank "$version")
  if [ "$r" -gt "$floor_rank" ]; then
    echo "FAIL: $dll $function needs Windows $version, newer than the floor, Windows $floor" >&2
    failed=1
  fi
  [ "$r" -le "$newest" ] || newest=$r
done <<<"$imported"
[ "$failed" -eq 0 ] || exit 1
echo "$(basename "$program"): $(wc -l <<<"$imported") imports, all listed; the newest came with Windows ${versions[$newest]}; the floor is Windows $floor"
