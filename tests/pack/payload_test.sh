#!/usr/bin/env bash
# The shipped payload: four level-1 -lh5- members in installer order stamped
# with the build's epoch, the same bytes when packed again, QUOVA.EXE without
# a link time, the texts printable ASCII with CR LF line ends.
# usage: payload_test.sh LZHTOOL ARCHIVE STAGE TEXTS WORKDIR EPOCH [VENDOR_PAYLOAD]
set -uo pipefail
lzhtool=$1 archive=$2 stage=$3 texts=$4 work=$5 epoch=$6 vendor=${7:-} failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
rm -rf "$work" && mkdir -p "$work" || exit 1
[ -z "$vendor" ] || { "$lzhtool" list "$archive" >/dev/null; exit; }   # another payload only has to be an archive
inputs=("$texts/QUOVA.TXT" "$stage/QUOVA.EXE" "$texts/README.TXT" "$texts/FILE_ID.DIZ")
stamp=$(TZ=UTC0 date -d "@$epoch" '+%Y-%m-%d %H:%M:%S')
want=$(for f in "${inputs[@]}"; do echo "-lh5- $(stat -c %s "$f") $stamp 1 $(basename "$f")"; done)
[ "$("$lzhtool" list "$archive" | sed '1d;$d' | awk '{print $1, $3, $4, $5, $7, $8}')" = "$want" ] || fail "members"
SOURCE_DATE_EPOCH="$epoch" TZ=UTC0 "$lzhtool" pack --level 1 --method lh5 "$work/again.lzh" "${inputs[@]}" &&
  cmp -s "$work/again.lzh" "$archive" || fail "packing again gives other bytes"
python3 -c 'import struct, sys; d = open(sys.argv[1], "rb").read(); pe = struct.unpack_from("<I", d, 0x3C)[0]
assert d[pe:pe + 4] == b"PE\0\0" and struct.unpack_from("<I", d, pe + 8)[0] == 0' "$stage/QUOVA.EXE" || fail "QUOVA.EXE has a link time"
for f in "${inputs[0]}" "${inputs[2]}" "${inputs[3]}"; do
  ! LC_ALL=C grep -q '[^ -~'$'\r'']' "$f" && [ "$(tr -cd '\n' <"$f" | wc -c)" = "$(grep -c $'\r$' "$f")" ] || fail "$f: not ASCII with CR LF"
done
[ -z "$(tr -d '\r' <"$texts/FILE_ID.DIZ" | awk 'length($0) > 45')" ] || fail "FILE_ID.DIZ: a line over 45 columns"
[ "$failures" -eq 0 ]
