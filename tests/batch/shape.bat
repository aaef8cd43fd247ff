@echo off
rem SPDX-License-Identifier: MIT
set /A VARNHOLD_DIVISOR=4
set /A VARNHOLD_FRACTION=720/240
"%~dp0Varnhold.exe" %1
If ERRORLEVEL 1 echo Fail!
