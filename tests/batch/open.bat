@echo off
rem SPDX-License-Identifier: MIT
rem open.bat FILE: packs or unpacks FILE and names the new file, written the
rem way docs/platforms.md advises. The full name is taken before cd /D, so a
rem relative name still means the file it meant; quoted "set" lines keep
rem trailing blanks out of values; chcp 65001 makes a non-ASCII suffix come
rem back whole; "delims=" keeps a suffix with spaces in one piece.
set "in=%~f1"
cd /D "%~dp0"
chcp 65001 >nul
set "VARNHOLD_DIVISOR=4"
set "made="
for /F "usebackq delims=" %%I in (`Varnhold.exe "%in%"`) do set "made=%%I"
if not defined made (
  echo varnhold printed nothing
  exit /B 1
)
if not "%made:~0,1%" == "." (
  echo varnhold failed with code %made%
  exit /B %made%
)
echo would start "%in%%made%"
