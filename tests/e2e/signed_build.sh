#!/usr/bin/env bash
# signed_build.sh PRESET BUILD-DIR WORK: a build signed with a throw-away
# certificate whose key has a password. Both executables verify, strip back to
# exactly the unsigned build of BUILD-DIR, the packed stand-in is the signed one
# and the installer's resources are unchanged. Leaves WORK/Zoravuvi.exe and
# WORK/payload.lzh for the run under Wine.
set -euo pipefail
preset=$1 built=$(realpath "$2") work=$3 tree=$3/tree src=$(realpath "$(dirname "$0")/../..")
rm -rf "$work" && mkdir -p "$work"
fail() { echo "signed_build: $*" >&2; exit 1; }
verify() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1 ||
  { cat "$work/verify.log"; fail "$1 does not verify"; }; }
stripped_is() { osslsigncode remove-signature -in "$1" -out "$work/stripped.exe" >/dev/null
  cmp "$work/stripped.exe" "$2" && rm "$work/stripped.exe" || fail "$1 without its signature is not $2"; }
export ZV_SIGN_PASSWORD="throw-away $$"
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -subj "/CN=Dorvalen test signing" \
  -keyout "$work/key.pem" -out "$work/cert.pem" -passout env:ZV_SIGN_PASSWORD 2>/dev/null
grep -q ENCRYPTED "$work/key.pem" || fail "the test key has no password"
configure() { cmake --preset "$preset" -S "$src" -B "$tree" -DZV_SIGN_CERT="$work/cert.pem" \
  -DZV_SIGN_KEY="$work/key.pem" "$@" >/dev/null; cmake --build "$tree" -j2 --target Zoravuvi >/dev/null; }

configure
for exe in quova Zoravuvi; do verify "$tree/bin/$exe.exe"; done
stripped_is "$tree/bin/quova.exe" "$built/bin/quova.exe"
7zz x -so "$tree/payload.lzh" QUOVA.EXE >"$work/QUOVA.EXE" 2>/dev/null
cmp "$work/QUOVA.EXE" "$tree/bin/quova.exe" || fail "the packed stand-in is not the signed one"
/usr/bin/python3 "$src/tests/e2e/check_installer_pe.py" "$tree/bin/Zoravuvi.exe" "$tree/payload.lzh" \
  "$preset" >"$work/check.log" 2>&1 || { cat "$work/check.log"; fail "the signed installer's resources changed"; }
cp "$tree/bin/Zoravuvi.exe" "$tree/payload.lzh" "$work/"
! grep -rqF "$ZV_SIGN_PASSWORD" "$tree/CMakeCache.txt" "$tree/build.ninja" || fail "the password is in the build tree"

# Around the unsigned build's own payload the installer strips back to it.
configure -DZV_PAYLOAD="$built/payload.lzh"
verify "$tree/bin/Zoravuvi.exe"
stripped_is "$tree/bin/Zoravuvi.exe" "$built/bin/Zoravuvi.exe"
echo "signed_build: both executables verify and strip back to the unsigned build"
