# SPDX-License-Identifier: MIT
# Writes PAGE: SOURCE/page.html with its style, its script and the core module
# CORE (base64) written into it, so the page needs no other file.
file(READ ${SOURCE}/page.html html)
file(READ ${SOURCE}/page.css style)
file(READ ${SOURCE}/varnhold.mjs script)
execute_process(COMMAND base64 -w 0 ${CORE} OUTPUT_VARIABLE core COMMAND_ERROR_IS_FATAL ANY)
foreach(part style script core)
  string(REPLACE "@${part}@" "${${part}}" html "${html}")
endforeach()
file(WRITE ${PAGE} "${html}")
