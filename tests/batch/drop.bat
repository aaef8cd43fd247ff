@echo off
rem SPDX-License-Identifier: MIT
cd /D %~dp0
for /F "usebackq" %%I in (`Varnhold.exe %1`) do set file=%%I
echo captured [%file%]
if "%file:~0,1%" == "." echo would start "%~1%file%"
