#!/usr/bin/env bash
# Fails when a Win32 executable imports a DLL that is not part of Windows
# (a compiler runtime such as libgcc, libstdc++ or winpthread).
# usage: imports.sh OBJDUMP EXE...
set -euo pipefail
system='^(kernel32|user32|gdi32|advapi32|shell32|comdlg32|comctl32|ole32|oleaut32|msvcrt|shlwapi|version|ws2_32|ntdll|uxtheme|winmm|bcrypt|crypt32|rpcrt4|imm32|api-ms-win-.*)\.dll$'
objdump=$1
shift
status=0
for exe in "$@"; do
  dlls="$("$objdump" -p "$exe" | awk '/DLL Name:/ {print $3}')"
  if [ -z "$dlls" ]; then
    echo "$exe: no import table found" >&2
    status=1
  fi
  for dll in $dlls; do
    if ! printf '%s\n' "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$system"; then
      echo "$exe imports $dll, which is not part of Windows" >&2
      status=1
    fi
  done
  echo "$(basename "$exe"): $(echo $dlls)"
done
exit $status
