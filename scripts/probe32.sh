#!/usr/bin/env bash
# Says whether this machine runs 32-bit Windows programs under Wine: prints
# one line, "yes: ..." (exit 0) or "no: <reason>" (exit 1). Some machines
# refuse every 32-bit x86 program; there the Win32 behaviour is tested on
# the win64 build under 64-bit Wine instead.
#
# ZV_NO_32BIT=1 forces the answer "no", so that the 64-bit path can be
# exercised on any machine. The answer is kept in build/probe32 for the
# current boot, since making the probe's Wine prefix takes seconds.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work="$root/build/probe32"

if [ "${ZV_NO_32BIT:-0}" = 1 ]; then
  echo "no: ZV_NO_32BIT=1 forces the 64-bit path"
  exit 1
fi

boot="$(cat /proc/sys/kernel/random/boot_id 2>/dev/null || echo unknown)"
if [ -f "$work/answer" ] && [ "$(head -n1 "$work/answer")" = "$boot" ]; then
  answer="$(sed -n 2p "$work/answer")"
  echo "$answer"
  [ "${answer%%:*}" = yes ]
  exit
fi

probe() {
  local loader=/lib/ld-linux.so.2 said
  if [ ! -e "$loader" ]; then
    echo "no: $loader is missing (no 32-bit C library installed)"
    return
  fi
  if ! said="$("$loader" --version 2>&1 | head -n1)"; then
    echo "no: the kernel refuses 32-bit x86 programs ($loader: ${said##*: })"
    return
  fi
  mkdir -p "$work"
  if ! i686-w64-mingw32-gcc -O1 -s -o "$work/probe32.exe" "$root/scripts/probe32.c" 2>"$work/build.log"; then
    echo "no: the 32-bit probe program did not build (see $work/build.log)"
    return
  fi
  said="$(WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
          DISPLAY= timeout 300 wine "$work/probe32.exe" 2>/dev/null | tr -d '\r')"
  if [ "$said" = "32-bit Windows code runs" ]; then
    echo "yes: Wine runs 32-bit Windows programs here"
  else
    echo "no: Wine did not run the 32-bit probe program (it printed '${said:0:60}')"
  fi
}

answer="$(probe)"
mkdir -p "$work"
printf '%s\n%s\n' "$boot" "$answer" >"$work/answer"
echo "$answer"
[ "${answer%%:*}" = yes ]
