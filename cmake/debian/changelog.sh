#!/bin/sh
# SPDX-License-Identifier: MIT
# Writes the released versions of CHANGELOG.md (sections "## VERSION (DATE)";
# "Unreleased" is left out) in the Debian changelog format of a native
# package, newest first, to standard output.
#   changelog.sh CHANGELOG.md MAINTAINER
set -eu
awk -v maintainer="$2" '
  function close_entry() {
    if (version != "") {
      cmd = "date -u -R -d " date
      cmd | getline stamp
      close(cmd)
      printf "\n -- %s  %s\n", maintainer, stamp
      version = ""
    }
  }
  /^## / {
    close_entry()
    if ($0 ~ /^## [0-9][^ ]* \([0-9-]+\)$/) {
      version = $2
      date = substr($3, 2, length($3) - 2)
      if (entries++) print ""
      printf "varnhold (%s) unstable; urgency=medium\n\n", version
    }
    next
  }
  version == "" { next }
  /^- / { print "  * " substr($0, 3); next }
  /^  [^ ]/ { print "    " substr($0, 3); next }
  /^[^ ]/ { print "  * " $0 }
  END { close_entry() }
' "$1"
