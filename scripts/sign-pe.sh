#!/bin/sh
# sign-pe.sh CERT KEY TIMESTAMP-URL FILE: signs FILE in place (Authenticode,
# SHA-256, osslsigncode); an empty URL signs without a time stamp. The key's
# password, when there is one, comes from the environment variable
# ZV_SIGN_PASSWORD through a pipe: it is never on a command line or in a file.
set -eu
cert=$1 key=$2 url=$3 file=$4
set -- sign -certs "$cert" -key "$key" -h sha256 -n "Quova installer"
if [ -n "$url" ]; then set -- "$@" -ts "$url"; fi
rm -f "$file.signed"
if [ -n "${ZV_SIGN_PASSWORD:-}" ]; then
  printf '%s' "$ZV_SIGN_PASSWORD" | osslsigncode "$@" -readpass - -in "$file" -out "$file.signed" >/dev/null
else
  osslsigncode "$@" -in "$file" -out "$file.signed" >/dev/null
fi
mv "$file.signed" "$file"
