#!/usr/bin/env bash
# Windows stage: cross-build varnhold.exe with mingw-w64, run every test under
# wine, run the usage text's batch examples through wine's cmd, and package
# the .zip.
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
(cd build/windows && step cpack -G ZIP -B packages)
package_holds "$(cmake -E tar tf build/windows/packages/varnhold-*-win64.zip)" \
  bin/varnhold.exe share/man/man1/varnhold.1
echo "--- windows: all passed"
