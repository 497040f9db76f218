#!/usr/bin/env bash
# windriver against its practice program: a message box and a dialog,
# driven through every command the way a person would use them.
# Usage: driver_cli_test.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/session.sh"
zv_session_start "$1" driver || exit 1
out="$ZV_BUILD/wine/driver-practice.out"
pictures="$ZV_BUILD/screenshots"
mkdir -p "$pictures"

wine "$ZV_BIN/windriver_practice.exe" >"$out" 2>&1 &

box="Driver practice box"
zv_check "wait prints the caption" "$box" "$(zv_drive wait "$box" 20000)"
zv_check "msgbox reads caption, text, icon and buttons" \
  "caption=$box|text=First line\\nZweite Zeile ü|icon=warning|iconid=1088|button=OK|button=Cancel" \
  "$(zv_drive msgbox "$box" | grep -v '^iconstyle=' | paste -sd'|')"
zv_check "msgbox icon style is SS_ICON" "iconstyle=0x50000003" \
  "$(zv_drive msgbox "$box" | grep '^iconstyle=')"
zv_drive capture "$box" "$pictures/driver-box.bmp" && zv_png "$pictures/driver-box.bmp"
zv_check "capture writes a picture" "yes" "$([ -s "$pictures/driver-box.png" ] && echo yes)"
zv_drive key "$box" enter
zv_check "Enter pressed OK, and the box went away" "0" "$(zv_drive gone "$box" 5000; echo $?)"

dialog="Driver practice"
zv_drive wait "$dialog" 10000 >/dev/null
zv_check "dump lists the controls in template order" "101 102 103 104 1 2" \
  "$(zv_drive dump "$dialog" | grep '^control' | sed 's/.*\tid=\([0-9]*\).*/\1/' | paste -sd' ')"
zv_check "dump shows the disabled button" "enabled=0" \
  "$(zv_drive dump "$dialog" | grep 'id=104' | grep -o 'enabled=[01]')"
zv_drive settext "$dialog" 101 'héllo ü 日本 C:\x'
zv_check "settext then text round-trips UTF-8" 'héllo ü 日本 C:\x' "$(zv_drive text "$dialog" 101)"
zv_drive click "$dialog" 102
zv_check "click ticks the checkbox" "checked=1" \
  "$(zv_drive dump "$dialog" | grep 'id=102' | grep -o 'checked=[0-9]')"
zv_check "items lists the list box" "alpha|beta é" "$(zv_drive items "$dialog" 103 | paste -sd'|')"
zv_drive select "$dialog" 103 "beta é" open
zv_check "click on a disabled button is refused" "66" \
  "$(zv_drive click "$dialog" 104 2>/dev/null; echo $?)"
zv_check "unknown control is refused" "66" "$(zv_drive click "$dialog" 999 2>/dev/null; echo $?)"
zv_check "bad usage exits 64" "64" "$(zv_drive click "$dialog" 2>/dev/null; echo $?)"
zv_check "missing window exits 65" "65" \
  "$(WINDRIVER_TIMEOUT=200 zv_drive dump "No such window" 2>/dev/null; echo $?)"
zv_drive capture "$dialog" "$pictures/driver-dialog.bmp" && zv_png "$pictures/driver-dialog.bmp"
# The same dialog comes back twice: wait for each one by its handle.
first=$(zv_drive find "$dialog")
zv_drive click "$dialog" 1
zv_check "OK closed the first dialog" "0" "$(zv_drive gone "$first" 5000; echo $?)"
second=$(zv_drive find "$dialog" 10000)
zv_check "the second dialog is another window" "yes" "$([ "$second" != "$first" ] && echo yes)"
zv_drive close "$second"
zv_check "the close box closed it" "0" "$(zv_drive gone "$second" 5000; echo $?)"
zv_drive key "$(zv_drive find "$dialog" 10000)" esc
timeout 30 wineserver -w
zv_check "the program saw every action" \
  "box 1|open edit=héllo ü 日本 C:\\x checked=1 item=1|ok edit=héllo ü 日本 C:\\x checked=1 item=1|cancel edit= checked=0 item=-1|cancel edit= checked=0 item=-1" \
  "$(tr -d '\r' <"$out" | paste -sd'|')"
zv_session_end
