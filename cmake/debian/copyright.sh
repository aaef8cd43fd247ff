#!/bin/sh
# SPDX-License-Identifier: MIT
# Writes the package's copyright file in Debian's machine-readable form to
# standard output: Varnhold's own licence for every file, then one Files
# stanza for each packaged file that carries third-party code, naming the
# components of THIRD-PARTY-NOTICES whose "In" line names it, and the texts of
# every licence used.
#   copyright.sh LICENSE THIRD-PARTY-NOTICES MAINTAINER PATH=NAME...
#   PATH is the file's path in the package, NAME its name in the "In" lines.
set -eu
license=$1
notices=$2
maintainer=$3
shift 3
holder=$(sed -n 's/^Copyright (c) //p' "$license")
awk -v holder="$holder" -v maintainer="$maintainer" -v files="$*" '
  # A licence text as a field body: indented, an empty line written " .".
  function body(text,    lines, n, i, out) {
    n = split(text, lines, "\n")
    out = ""
    for (i = 1; i <= n; i++) out = out "\n" (lines[i] == "" ? " ." : " " lines[i])
    return out
  }
  # Adds the licences of EXPRESSION that it lacks to the one of the file.
  function add_licences(expression,    names, n, i) {
    n = split(expression, names, / and /)
    for (i = 1; i <= n; i++) {
      if (index(" and " file_expression " and ", " and " names[i] " and ") == 0)
        file_expression = file_expression " and " names[i]
      used[names[i]] = 1
    }
  }
  /^=+$/ { block++; heading = 1; field = ""; next }
  !block { next }
  heading && /^$/ { heading = 0; next }
  heading && /^[A-Z][A-Za-z ]*: / {
    field = substr($0, 1, index($0, ":") - 1)
    value = substr($0, index($0, ":") + 2)
    if (field == "License" && !(block in component)) { licence_name[block] = value; licence_order[++licences] = block }
    if (field == "Component") { component[block] = value; component_order[++components] = block }
    if (field == "In") carried_in[block] = ", " value ", "
    if (field == "Copyright") copyright[block] = value
    if (field == "License" && (block in component)) component_licence[block] = value
    next
  }
  heading && /^ / && field == "Copyright" { line = $0; sub(/^ +/, "", line); copyright[block] = copyright[block] "\n" line; next }
  # mawk creates the element it assigns before it tests "in", so test first.
  !heading && (block in licence_name) {
    if (block in text) text[block] = text[block] "\n" $0
    else text[block] = $0
  }
  END {
    printf "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    printf "Upstream-Name: varnhold\nUpstream-Contact: %s\n\n", maintainer
    printf "Files: *\nCopyright: %s\nLicense: Expat\n", holder
    used["Expat"] = 1
    n = split(files, pairs, " ")
    for (p = 1; p <= n; p++) {
      path = substr(pairs[p], 1, index(pairs[p], "=") - 1)
      name = substr(pairs[p], index(pairs[p], "=") + 1)
      copyrights = holder
      file_expression = "Expat"
      carried = ""
      for (c = 1; c <= components; c++) {
        b = component_order[c]
        if (index(carried_in[b], ", " name ", ") == 0) continue
        copyrights = copyrights "\n" copyright[b]
        carried = carried (carried == "" ? "" : "; ") component[b]
        add_licences(component_licence[b])
      }
      if (carried == "") continue
      gsub(/\n/, "\n ", copyrights)
      printf "\nFiles: %s\nCopyright: %s\nLicense: %s\nComment: Also carries compiled code of: %s.\n",
        path, copyrights, file_expression, carried
    }
    for (l = 1; l <= licences; l++) {
      b = licence_order[l]
      if (!(licence_name[b] in used)) continue
      sub(/\n+$/, "", text[b])
      printf "\nLicense: %s%s\n", licence_name[b], body(text[b])
    }
  }
' "$notices"
