#!/usr/bin/env bash
# Runs a program of a Windows build under Wine: quiet, in a prefix of the
# build tree (made on first use), on the current display or a virtual one.
# CTest uses it as the cross-compiling emulator, with "--arch win32|win64"
# and "--skip-code N" first. A win32 program on a machine that cannot run
# 32-bit code is not started: the run ends with that skip code and the reason.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
arch=win32
if [ "${1:-}" = --arch ]; then
  arch=$2
  shift 2
fi
skip_code=1   # by hand, without the build's skip code: a plain failure
if [ "${1:-}" = --skip-code ]; then
  skip_code=$2
  shift 2
fi
. "$here/wine-env.sh"
zv_wine_env "$arch" "$skip_code" || exit $?
export WINEPREFIX="${WINEPREFIX:-$here/../build/wine/default-$arch}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko download prompts in a fresh prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

mkdir -p "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # Several tests may start at once; only one of them makes the prefix.
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      if [ -z "${DISPLAY:-}" ]; then
        xvfb-run -a wineboot -i >/dev/null 2>&1 || true
      else
        wineboot -i >/dev/null 2>&1 || true
      fi
      wineserver -w || true
    fi
  ) 9>"$WINEPREFIX.lock"
fi

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" wine "$@"
fi
exec wine "$@"
