@echo off
rem SPDX-License-Identifier: MIT
rem Runs the varnhold beside this file on %1 and reports both the exit code and
rem the printed suffix, from any current folder.
"%~dp0Varnhold.exe" %1 > "%TEMP%\varnhold-out.txt"
set code=%ERRORLEVEL%
set result=
for /F "usebackq delims=" %%I in ("%TEMP%\varnhold-out.txt") do set result=%%I
del "%TEMP%\varnhold-out.txt"
if not "%code%" == "0" (
  echo varnhold failed with code %code%
  exit /B %code%
)
echo made "%~1%result%"
