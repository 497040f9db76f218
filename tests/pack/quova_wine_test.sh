#!/usr/bin/env bash
# The Quova stand-in under Wine: its window names its folder and switches,
# Esc or the close box ends it, and each start appends one CR LF line with
# its command line to quova-launch.log beside it.
# usage: quova_wine_test.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/../wine/session.sh"
zv_session_start "$1" quova || exit 1
folder="$WINEPREFIX/drive_c/Quova Test" log="$WINEPREFIX/drive_c/Quova Test/quova-launch.log"
mkdir -p "$folder" && cp "$ZV_BIN/quova.exe" "$folder/quova.exe"
wine 'C:\Quova Test\quova.exe' -s- -l >/dev/null 2>&1 &
zv_drive wait Quova 20000 >/dev/null
zv_check "it names its folder" 'C:\Quova Test\' "$(zv_drive text Quova 101)"
zv_check "it names its switches" "-s- -l" "$(zv_drive text Quova 102)"
zv_drive key Quova esc
zv_check "Esc ends it" "0" "$(zv_drive gone Quova 10000; echo $?)"
wine 'C:\Quova Test\quova.exe' >/dev/null 2>&1 &
zv_drive wait Quova 20000 >/dev/null
zv_check "no switches shown as such" "(none)" "$(zv_drive text Quova 102)"
zv_drive close Quova
zv_check "the close box ends it" "0" "$(zv_drive gone Quova 10000; echo $?)"
timeout 30 wineserver -w
zv_check "one CR LF line per start" "2 2" "$(grep -c $'\r$' "$log") $(wc -l <"$log")"
zv_check "the first holds the command line" "yes" \
  "$([[ "$(tr -d '\r' <"$log" | head -n1)" == *'Quova Test\quova.exe'*' -s- -l' ]] && echo yes || echo no)"
zv_session_end
