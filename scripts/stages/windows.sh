#!/usr/bin/env bash
# Windows stage: cross-build varnhold.exe with mingw-w64, run every test under
# wine, run the usage text's batch examples through wine's cmd, and make the
# Windows download (.zip).
set -euo pipefail
cd "$(dirname "$0")/../.."

export WINEPREFIX=$PWD/build/windows/wineprefix WINEDEBUG=-all
# Wine stores a Windows file name through the Unix locale's character set, and
# the tests use names in many scripts, which only UTF-8 can carry: a clean
# environment (the C locale) would fail them for want of a locale.
case "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}" in
  *UTF-8* | *utf8*) ;;
  *) export LC_ALL=C.UTF-8 ;;
esac
STAGE=windows
source scripts/step.sh
require x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
require wine wine
require localedef locales

step cmake --preset windows
step cmake --build --preset windows

# The first start of wine builds its prefix (several seconds); do it once here
# rather than inside a test's time limit. A persistent server then spares each
# of the many short test runs its start-up. Nothing needs a display.
mkdir -p "$WINEPREFIX"
wineserver -k >/dev/null 2>&1 || true
wineserver --persistent </dev/null >/dev/null 2>&1
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# Wine's services start here and live until the server stops; their output
# goes to a log so that they never hold this stage's standard output open.
boot_wine() { wine wineboot --init </dev/null >build/windows/wineboot.log 2>&1; }
step boot_wine

step ctest --preset windows
step bash tests/batch/run_examples.sh build/windows/varnhold.exe

# One file to copy: only the system's own DLLs may be imported.
imports=$(x86_64-w64-mingw32-objdump -p build/windows/varnhold.exe | awk '/DLL Name:/ {print tolower($3)}' | sort | xargs)
if [ "$imports" != "kernel32.dll msvcrt.dll" ]; then
  echo "FAIL: varnhold.exe imports $imports" >&2
  exit 1
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
zip=build/windows/packages/varnhold-$version-windows.zip
step scripts/windows-zip.sh "$zip" "${windows_download[@]}"
cmake -E tar tf "$zip"
# Each program at the top, where a user unpacks it, and the texts in CR LF,
# as Notepad and cmd want them.
unpacked=build/windows/packages/unpacked
rm -rf "$unpacked" && mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "../$(basename "$zip")")
for name in "${windows_download[@]%%=*}" README.txt LICENSE.txt CHANGELOG.md examples/{capture,drop,open,shape}.bat; do
  [ -f "$unpacked/$name" ] || { echo "FAIL: windows: $name missing from the zip" >&2; exit 1; }
done
for text in README.txt LICENSE.txt examples/open.bat; do
  grep -qv $'\r$' "$unpacked/$text" && { echo "FAIL: windows: $text has a line without CR LF" >&2; exit 1; }
done
echo "--- windows: all passed"
