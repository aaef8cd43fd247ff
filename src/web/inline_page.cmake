# SPDX-License-Identifier: MIT
# Writes PAGE: SOURCE/page.html with its style, its script, the core module
# CORE (base64) and the licence texts of TOP (LICENSE, THIRD-PARTY-NOTICES)
# written into it, so the page needs no other file.
file(READ ${SOURCE}/page.html html)
file(READ ${SOURCE}/page.css style)
file(READ ${SOURCE}/varnhold.mjs script)
execute_process(COMMAND base64 -w 0 ${CORE} OUTPUT_VARIABLE core COMMAND_ERROR_IS_FATAL ANY)
file(READ ${TOP}/LICENSE licence)
file(READ ${TOP}/THIRD-PARTY-NOTICES notices)
set(licences "${licence}\n${notices}")
string(REPLACE "&" "&amp;" licences "${licences}")
string(REPLACE "<" "&lt;" licences "${licences}")
string(REPLACE ">" "&gt;" licences "${licences}")
string(STRIP "${licences}" licences)
foreach(part style script core licences)
  string(REPLACE "@${part}@" "${${part}}" html "${html}")
endforeach()
file(WRITE ${PAGE} "${html}")
