#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Windows stage: cross-build the 64-bit and the 32-bit varnhold.exe with
# mingw-w64, run every test (the import check among them) for each under wine,
# run the usage text's batch examples with each through wine's cmd, and
# make the Windows download (.zip) with both programs and the browser page.
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
require i686-w64-mingw32-g++-posix g++-mingw-w64-i686-posix
require wine wine
# The 32-bit program runs in the same 64-bit prefix through wine's 32-bit loader.
[ -x /usr/lib/wine/wine ] || { echo "FAIL: windows needs 32-bit wine: install wine32:i386 (scripts/setup.sh does)" >&2; exit 1; }
# Some kernels run no 32-bit programs: wine's 32-bit loader then fails with
# "Exec format error", and so does the `wine` command, which always starts
# it. There the 64-bit program runs through wine64 (a `wine` of the stage's
# own comes first on the PATH), and the 32-bit one is built, checked and
# packed, but not run.
runs_32bit=yes
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  runs_32bit=no
  mkdir -p build/windows/bin
  printf '#!/bin/sh\nWINELOADER=/usr/lib/wine/wine64 exec /usr/lib/wine/wine64 "$@"\n' >build/windows/bin/wine
  chmod +x build/windows/bin/wine
  export PATH=$PWD/build/windows/bin:$PATH
  echo "--- windows: NOT RUN: this kernel runs no 32-bit programs (/usr/lib/wine/wine: Exec format error), so the" \
    "32-bit program's tests under wine and its batch examples are skipped; its import and notices checks still run"
fi
require localedef locales
require Xvfb xvfb

presets=(windows windows32)
for preset in "${presets[@]}"; do
  step cmake --preset "$preset"
  step cmake --build --preset "$preset"
done

# Under wine, a console window of its own (what a file dropped onto the
# program gets) needs a display: a virtual one, on the first free number. It
# is there before wine's first process, which sets up the desktop every later
# window appears on.
xvfb=
trap 'wineserver -k >/dev/null 2>&1 || true; [ -z "$xvfb" ] || kill "$xvfb"' EXIT
start_display() {
  local number=build/windows/xvfb.display
  mkdir -p build/windows
  rm -f "$number"
  Xvfb -displayfd 3 -nolisten tcp 3>"$number" </dev/null >build/windows/xvfb.log 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [ -s "$number" ] && break || sleep 0.1; done
  [ -s "$number" ] || { echo "FAIL: Xvfb did not start (build/windows/xvfb.log)" >&2; exit 1; }
  export DISPLAY=:$(cat "$number")
}
step start_display

# The first start of wine builds its prefix (several seconds); do it once here
# rather than inside a test's time limit. A persistent server then spares each
# of the many short test runs its start-up.
mkdir -p "$WINEPREFIX"
wineserver -k >/dev/null 2>&1 || true
wineserver --persistent </dev/null >/dev/null 2>&1
# Wine's services start here and live until the server stops; their output
# goes to a log so that they never hold this stage's standard output open.
# Nothing may wait for a click: no offer to install Mono or Gecko while the
# prefix is built, and no crash dialog later.
boot_wine() {
  WINEDLLOVERRIDES="mscoree,mshtml=" wine wineboot --init </dev/null >build/windows/wineboot.log 2>&1
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    </dev/null >>build/windows/wineboot.log 2>&1
}
step boot_wine

for preset in "${presets[@]}"; do
  if [ "$preset" = windows32 ] && [ "$runs_32bit" = no ]; then
    # ctest would start every test program to list its cases: the checks
    # that need no wine run on their own.
    step bash tests/windows/check_imports.sh i686-w64-mingw32-objdump build/windows32/varnhold.exe
    step scripts/check-notices.sh varnhold.exe build/windows32/varnhold.map
    continue
  fi
  step ctest --preset "$preset"
  step bash tests/batch/run_examples.sh "build/$preset/varnhold.exe"
done
# The download carries the browser page too; its own tests run in the web stage.
require wasm-ld lld
step cmake --preset web >/dev/null
step cmake --build --preset web
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
zip=build/windows/packages/varnhold-$version-windows.zip
step scripts/windows-zip.sh "$zip" "${windows_download[@]}"
cmake -E tar tf "$zip"
# Each program at the top, where a user unpacks it, and the texts in CR LF,
# as Notepad and cmd want them.
unpacked=build/windows/packages/unpacked
rm -rf "$unpacked" && mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "../$(basename "$zip")")
for name in "${windows_download[@]%%=*}" README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt CHANGELOG.md \
  examples/{capture,drop,open,shape}.bat; do
  [ -f "$unpacked/$name" ] || { echo "FAIL: windows: $name missing from the zip" >&2; exit 1; }
done
for text in README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt examples/open.bat; do
  grep -qv $'\r$' "$unpacked/$text" && { echo "FAIL: windows: $text has a line without CR LF" >&2; exit 1; }
done
# The version the zip's name and each program's version resource state.
release_version_is "$version" "$(basename "$zip")"
for program in "${windows_download[@]%%=*}"; do
  [[ $program == *.exe ]] || continue
  release_version_is "$(strings -el "$unpacked/$program" | sed -n '/^ProductVersion$/{n;p;q}')" "$program"
done
echo "--- windows: all passed"
