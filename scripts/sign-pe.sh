#!/bin/sh
# sign-pe.sh OSSLSIGNCODE CERT KEY TIMESTAMP-URL FILE: signs FILE in place
# (Authenticode, SHA-256); an empty URL signs without a time stamp. The key's
# password, when there is one, comes from the environment variable
# ZV_SIGN_PASSWORD through a pipe: it is never on a command line or in a file.
set -eu
tool=$1 cert=$2 key=$3 url=$4 file=$5
set -- sign -certs "$cert" -key "$key" -h sha256 -n "Quova installer"
if [ -n "$url" ]; then set -- "$@" -ts "$url"; fi
rm -f "$file.signed"
if [ -n "${ZV_SIGN_PASSWORD:-}" ]; then
  printf '%s' "$ZV_SIGN_PASSWORD" | "$tool" "$@" -readpass - -in "$file" -out "$file.signed" >/dev/null
else
  "$tool" "$@" -in "$file" -out "$file.signed" >/dev/null
fi
mv "$file.signed" "$file"
