# Wine session for tests/pack/quova_wine_test.sh, the last bash test that
# drives a window; tests/e2e holds the others. Source it, then:
#   zv_session_start BUILD_DIR NAME   a prefix from the e2e template, a display
#   zv_drive ARGS...                  windriver.exe (tests/wine/windriver.cpp)
#   zv_check LABEL EXPECTED ACTUAL    counts a failure when they differ
#   zv_session_end                    waits for the programs; 1 after a failure
ZV_FAILURES=0
ZV_SESSION_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

zv_session_start() {
  ZV_BUILD=$(cd "$1" && pwd)
  ZV_BIN="$ZV_BUILD/bin"
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8 LC_ALL=C.UTF-8
  export WINEPREFIX="$ZV_BUILD/wine/$2"
  . "$ZV_SESSION_DIR/../../scripts/wine-env.sh"
  zv_wine_env "$(cat "$ZV_BUILD/wine-arch")" || exit $?
  local number
  number=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" >/dev/null 2>&1 &
  ZV_XVFB_PID=$!
  trap 'wineserver -k >/dev/null 2>&1; kill $ZV_XVFB_PID 2>/dev/null' EXIT
  for _ in $(seq 1 100); do [ -s "$number" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n1 "$number")"
  rm -f "$number"
  python3 "$ZV_SESSION_DIR/../e2e/harness.py" "$ZV_BUILD/e2e" "$WINEPREFIX"
}

# windriver never exits 1: that code means the Wine loader gave up before
# the program ran, which happens now and then on a busy machine.
zv_drive() {
  local code
  for _ in 1 2 3; do
    wine "$ZV_BIN/windriver.exe" "$@"
    code=$?
    [ "$code" -ne 1 ] && break
  done
  [ "$code" -eq 0 ] && [ "$1" = wait ] && echo "$2"
  return "$code"
}

zv_check() {
  if [ "$2" == "$3" ]; then echo "ok   $1"; return; fi
  printf 'FAIL %s\n     expected: %s\n     actual:   %s\n' "$1" "$2" "$3"
  ZV_FAILURES=$((ZV_FAILURES + 1))
}

zv_session_end() {
  timeout 30 wineserver -w || { echo "FAIL still running after 30 s"; ZV_FAILURES=$((ZV_FAILURES + 1)); }
  echo "$ZV_FAILURES failure(s)"
  [ "$ZV_FAILURES" -eq 0 ]
}
