# Wine session for tests that drive windows from outside. Source it, then:
#
#   zv_session_start BUILD_DIR NAME [ja]
#       WINEPREFIX=BUILD_DIR/wine/NAME, copied from a template prefix that is
#       made once (about 11 s) and shared by every scenario; "ja" runs the
#       programs with LANG=ja_JP.UTF-8 (code page 932), otherwise C.UTF-8
#       (code page 1252), and gives "ja" the caption and menu fonts of a
#       Japanese system (japanese-fonts.reg). Starts a private Xvfb when
#       DISPLAY is unset, and stops it and the session's wineserver on exit.
#       A 32-bit build on a machine that cannot run 32-bit code ends the
#       script with the skip code 77 and the reason.
#   zv_version 3.51           Windows version that GetVersion reports in the prefix
#   zv_drive ARGS...          runs BUILD_DIR/bin/windriver.exe ARGS (see windriver.cpp)
#   zv_png NAME.bmp           converts a capture to NAME.png beside it, removes the BMP
#   zv_check LABEL EXPECTED ACTUAL   counts a failure when they differ
#   zv_session_end            waits for the session's programs; returns 1 after a failure
#
# A scenario starts its program with `wine "$ZV_BIN/prog.exe" ... &` and
# then drives it; the programs and windriver share the prefix's wineserver
# and the display.

ZV_FAILURES=0
ZV_SESSION_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ZV_XVFB_PID=""

zv_fresh_prefix() {
  local target=$1 template=$2
  (
    flock 9
    if [ ! -f "$template/system.reg" ]; then
      rm -rf "$template"
      WINEPREFIX="$template" wineboot -i >/dev/null 2>&1 || true
      # Unmanaged windows draw their own caption bars, which a display
      # without a window manager would otherwise leave black in captures.
      WINEPREFIX="$template" wine reg add 'HKCU\Software\Wine\X11 Driver' \
        /v Managed /d N /f >/dev/null 2>&1
      WINEPREFIX="$template" wineserver -w
    fi
  ) 9>"$template.lock"
  rm -rf "$target"
  cp -a "$template" "$target"
}

zv_start_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  local numberfile
  numberfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numberfile" >/dev/null 2>&1 &
  ZV_XVFB_PID=$!
  for _ in $(seq 1 100); do
    [ -s "$numberfile" ] && break
    sleep 0.1
  done
  export DISPLAY=":$(head -n1 "$numberfile")"
  rm -f "$numberfile"
  [ "$DISPLAY" != ":" ] || { echo "session: Xvfb did not start" >&2; return 1; }
}

zv_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "$ZV_XVFB_PID" ]; then kill "$ZV_XVFB_PID" 2>/dev/null || true; fi
}

# Caption and menu fonts with Japanese glyphs, as a Japanese system has.
zv_japanese_fonts() {
  local reg="$WINEPREFIX/drive_c/japanese-fonts.reg"
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$ZV_SESSION_DIR/japanese-fonts.reg"; } >"$reg"
  wine reg import 'C:\japanese-fonts.reg' >/dev/null 2>&1
}

zv_session_start() {
  ZV_BUILD=$(cd "$1" && pwd)
  ZV_BIN="$ZV_BUILD/bin"
  mkdir -p "$ZV_BUILD/wine"
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEPREFIX="$ZV_BUILD/wine/$2"
  # A 32-bit build on a machine that cannot run it ends the script here.
  . "$ZV_SESSION_DIR/../../scripts/wine-env.sh"
  zv_wine_env "$(cat "$ZV_BUILD/wine-arch")" || exit $?
  zv_start_display || return 1
  trap zv_stop EXIT
  zv_fresh_prefix "$WINEPREFIX" "$ZV_BUILD/wine/template"
  if [ "${3:-}" = ja ]; then
    export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
    zv_japanese_fonts
  else
    export LANG=C.UTF-8 LC_ALL=C.UTF-8
  fi
}

zv_version() {
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' \
    /v CurrentVersion /d "$1" /f >/dev/null 2>&1
}

# windriver never exits 1: that code means the Wine loader gave up before
# the program ran, which happens now and then on a busy machine.
zv_drive() {
  local attempt code err="$WINEPREFIX/windriver.err"
  for attempt in 1 2 3; do
    wine "$ZV_BIN/windriver.exe" "$@" 2>"$err"
    code=$?
    [ "$code" -ne 1 ] && break
    echo "note: wine exited 1 for windriver $1 ($(head -c 300 "$err")); trying again" >>"$WINEPREFIX/notes"
  done
  cat "$err" >&2
  return "$code"
}

zv_png() {
  convert "$1" "${1%.bmp}.png" && rm -f "$1"
}

zv_check() {
  if [ "$2" == "$3" ]; then
    echo "ok   $1"
  else
    echo "FAIL $1"
    echo "     expected: $2"
    echo "     actual:   $3"
    ZV_FAILURES=$((ZV_FAILURES + 1))
  fi
}

zv_session_end() {
  if ! timeout 30 wineserver -w; then
    echo "FAIL a program of the session was still running after 30 s"
    ZV_FAILURES=$((ZV_FAILURES + 1))
    wineserver -k >/dev/null 2>&1 || true
  fi
  [ -f "$WINEPREFIX/notes" ] && cat "$WINEPREFIX/notes" && rm -f "$WINEPREFIX/notes"
  echo "$ZV_FAILURES failure(s)"
  [ "$ZV_FAILURES" -eq 0 ]
}
