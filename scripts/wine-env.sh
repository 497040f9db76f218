# Sourced by everything that starts Wine for a Windows build:
#
#   zv_wine_env win32|win64 SKIP_CODE
#
# win64: puts 64-bit Wine first on PATH (wine, wineboot; wineserver is
# 64-bit already) and makes new prefixes 64-bit.
# win32: asks scripts/probe32.sh whether 32-bit programs run here; when they
# do not, prints "skipped: <reason>" and returns SKIP_CODE, the build's
# ZV_SKIP_CODE, which CTest takes for a skipped test.
ZV_SCRIPTS="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

zv_wine_env() {
  if [ "$1" = win64 ]; then
    case ":$PATH:" in
      *":$ZV_SCRIPTS/wine64:"*) ;;
      *) export PATH="$ZV_SCRIPTS/wine64:$PATH" ;;
    esac
    export WINEARCH=win64
    return 0
  fi
  local answer
  if ! answer="$(bash "$ZV_SCRIPTS/probe32.sh")"; then
    echo "skipped: 32-bit programs cannot run under Wine on this machine (${answer#no: })"
    return "$2"
  fi
}
