#!/usr/bin/env bash
# Runs shell_test.exe in a Wine session of its own.
# Usage: shell_session.sh BUILD_DIR NAME en|ja default|VERSION GTEST_FILTER
# Screenshots land in BUILD_DIR/screenshots as PNG files.
set -uo pipefail
. "$(dirname "$0")/session.sh"
build=$1 name=$2 lang=$3 version=$4 filter=$5
zv_session_start "$build" "$name" "$lang" || exit 1
export ZV_EXPECT_JAPANESE=0 ZV_EXPECT_VERSION=1537
[ "$lang" = ja ] && ZV_EXPECT_JAPANESE=1
if [ "$version" != default ]; then
  zv_version "$version"
  ZV_EXPECT_VERSION=$(( ${version%%.*} * 256 + 10#${version#*.} ))
fi
screens="$ZV_BUILD/screenshots"
mkdir -p "$screens"
# The program sees the build tree through Wine's drive Z:.
export ZV_SCREENSHOTS="Z:${screens//\//\\}"
wine "$ZV_BIN/shell_test.exe" --gtest_filter="$filter" ${ZV_GTEST_EXTRA:-}
result=$?
for picture in "$screens"/*.bmp; do
  [ -e "$picture" ] && zv_png "$picture"
done
zv_session_end || result=1
exit $result
