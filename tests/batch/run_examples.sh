#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the usage text's two batch examples through wine's cmd and compares
# what they print with expected.txt:
#  - drop.bat is the closing example (capture the printed suffix with for /F,
#    then open the new file), printing the captured text instead of starting it;
#  - shape.bat sets the two geometry variables with set /A and reports
#    "Fail!" through If ERRORLEVEL 1;
#  - capture.bat is the documented way to get both the exit code and the
#    suffix (redirect to a file, then set /P);
#  - open.bat is the advice of docs/platforms.md, run as users do: a drop the
#    way Explorer starts it (absolute paths with spaces), a name with "&", a
#    name outside the code page, and a relative name from another folder.
# Each of them is also dropped from another folder, as Explorer starts a drop
# whose current folder is the dropped file's: the program they run is the one
# beside them.
#
#   run_examples.sh PROGRAM.exe [wine command...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1
shift
wine=("$@")
[ ${#wine[@]} -gt 0 ] || wine=(wine)

top=$(mktemp -d "${TMPDIR:-/tmp}/varnhold-batch-XXXXXX")
trap 'rm -rf "$top"' EXIT
work="$top/my files"  # Explorer quotes a path only when it holds a space
mkdir "$work"
cp "$program" "$work/Varnhold.exe"
for script in drop.bat shape.bat capture.bat open.bat; do
  sed 's/\r*$/\r/' "$here/$script" >"$work/$script"  # cmd wants CR LF lines
done
cd "$work"

head -c 5000 <(yes "a song") >song.mp3
head -c 1000 <(yes "shape") >shape.bin
echo spaces >"name with spaces.txt"
echo retry >retry.txt && mkdir retry.txt.bmp
echo blocked >blocked.txt && mkdir blocked.txt.bmp blocked.txt.bmp~
head -c 40 /dev/zero >short.bmp
head -c 5000 <(yes "a song") >"song one.mp3"
echo rnb >"R&B.mp3"
echo notes >"ноты.текст"
mkdir music && echo tune >music/tune.mp3
mkdir other
for script in drop shape capture open; do echo "$script" >"other/$script notes.txt"; done
folder=$(timeout 60 winepath -w "$work" 2>/dev/null || echo "Z:${work//\//\\}")
# What Explorer runs for a file dropped onto a batch file.
printf '@cmd /c ""%s\\open.bat" "%s\\song one.mp3""\r\n' "$folder" "$folder" >explorer.bat
printf '@call open.bat "R&B.mp3"\r\n' >ampersand.bat
# elsewhere.bat SCRIPT FILE: drops other\FILE onto SCRIPT as Explorer does.
printf '@cmd /c ""%s\\%%~1" "%s\\other\\%%~2""\r\n' "$folder" "$folder" >other/elsewhere.bat

# Shows one run: the command, exactly what it printed (CRs dropped), and the
# exit code cmd passed on; a run still going after two minutes is stopped.
show() {
  echo "> $*"
  local code=0
  env -u VARNHOLD_DIVISOR -u VARNHOLD_FRACTION timeout --kill-after=10 120 "${wine[@]}" cmd /c "$@" \
    </dev/null >"$top/printed" || code=$?
  tr -d '\r' <"$top/printed" | sed "s|$(printf '%s' "$folder" | sed 's/[\\.]/\\&/g')|<folder>|g"
  rm "$top/printed"
  echo
  echo "(exit code $code)"
  [ "$code" -ne 124 ] || echo "(stopped: it had not ended after 120 s)"
}

transcript=$(
  show drop.bat song.mp3
  show drop.bat song.mp3.bmp
  show drop.bat "name with spaces.txt"
  show drop.bat retry.txt
  show drop.bat blocked.txt
  show drop.bat missing.txt
  show shape.bat shape.bin
  show shape.bat blocked.txt
  show shape.bat short.bmp
  show capture.bat song.mp3
  show capture.bat blocked.txt
  show explorer.bat
  show ampersand.bat
  show open.bat ноты.текст
  (cd music && show ..\\open.bat tune.mp3)
  for script in drop shape capture open; do
    (cd other && show elsewhere.bat "$script.bat" "$script notes.txt")
  done
  echo "> pictures"
  for picture in song.mp3.bmp shape.bin.bmp "song one.mp3.bmp"; do
    echo "$picture $(od -An -tu4 -j18 -N8 "$picture" | xargs)"
  done
  cmp song.mp3 song.mp3.bmp.mp3 && echo "song.mp3.bmp.mp3 restores song.mp3"
  ls
  ls music
  ls other
)
if ! diff -u "$here/expected.txt" <(printf '%s\n' "$transcript"); then
  echo "FAIL: the batch examples printed something else" >&2
  exit 1
fi
echo "batch examples behave as expected"
