#!/usr/bin/env bash
# Runs main_dialog_test.exe in a Wine session of its own (prefix, display,
# language), the same kind of session as the shell's tests.
# Usage: run_dialog_test.sh BUILD_DIR NAME en|ja
set -uo pipefail
. "$(dirname "$0")/../../wine/session.sh"
build=$1 name=$2 lang=$3
zv_session_start "$build" "$name" "$lang" || exit 1
export ZV_EXPECT_JAPANESE=0
[ "$lang" = ja ] && ZV_EXPECT_JAPANESE=1
wine "$ZV_BIN/main_dialog_test.exe"
result=$?
zv_session_end || result=1
exit $result
