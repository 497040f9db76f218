#!/usr/bin/env bash
# The Quova stand-in under Wine: each start appends its command line to
# quova-launch.log beside it, the window names its folder and switches, and
# Esc or the close box ends it.
# usage: quova_wine_test.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/../wine/session.sh"
zv_session_start "$1" quova || exit 1
folder="$WINEPREFIX/drive_c/Quova Test"
mkdir -p "$folder"
cp "$ZV_BIN/quova.exe" "$folder/quova.exe"
log="$folder/quova-launch.log"

wine 'C:\Quova Test\quova.exe' -s- -l >/dev/null 2>&1 &
zv_check "the window shows" "Quova" "$(zv_drive wait Quova 20000)"
zv_check "it names its folder" 'C:\Quova Test\' "$(zv_drive text Quova 101)"
zv_check "it names its switches" "-s- -l" "$(zv_drive text Quova 102)"
line=$(tr -d '\r' <"$log" | head -n1)
zv_check "the log has the command line" "yes" \
  "$([[ "$line" == *'Quova Test\quova.exe'*' -s- -l' ]] && echo yes || echo "no: $line")"
zv_drive key Quova esc
zv_check "Esc ends it" "0" "$(zv_drive gone Quova 10000; echo $?)"

wine 'C:\Quova Test\quova.exe' >/dev/null 2>&1 &
zv_drive wait Quova 20000 >/dev/null
zv_check "no switches shown as such" "(none)" "$(zv_drive text Quova 102)"
zv_drive close Quova
zv_check "the close box ends it" "0" "$(zv_drive gone Quova 10000; echo $?)"
timeout 30 wineserver -w
zv_check "each start appends one CR LF line" "2 2" \
  "$(grep -c $'\r$' "$log") $(wc -l <"$log")"
zv_session_end
