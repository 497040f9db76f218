#!/usr/bin/env bash
# The shipped payload: four level-1 -lh5- members in installer order with no
# extended headers, the same bytes when packed again, read back whole by
# lzhtool extract and 7zz; the texts plain ASCII with CR LF line ends.
# usage: payload_test.sh LZHTOOL ARCHIVE STAGE TEXTS WORKDIR EPOCH [VENDOR_PAYLOAD]
set -uo pipefail
lzhtool="$1" archive="$2" stage="$3" texts="$4" work="$5" epoch="$6" vendor="${7:-}"
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
ok() { echo "ok   $*"; }
rm -rf "$work"
mkdir -p "$work"

if [ -n "$vendor" ]; then
  # Another payload was configured: it only has to be an archive.
  "$lzhtool" list "$archive" >/dev/null && ok "vendor payload lists" || fail "vendor payload does not list"
  exit $((failures > 0))
fi

inputs=("$texts/QUOVA.TXT" "$stage/QUOVA.EXE" "$texts/README.TXT" "$texts/FILE_ID.DIZ")
list=$("$lzhtool" list "$archive") || fail "lzhtool list failed"
[ "$(awk '{print $8}' <<<"$list" | paste -sd' ')" = "QUOVA.TXT QUOVA.EXE README.TXT FILE_ID.DIZ" ] ||
  fail "members or order: $(awk '{print $8}' <<<"$list" | paste -sd' ')"
[ -z "$(awk '$1 != "-lh5-" || $7 != 1' <<<"$list")" ] || fail "not all level-1 -lh5-: $list"
want_date=$(TZ=UTC0 date -d "@$epoch" '+%Y-%m-%d %H:%M:%S')
[ -z "$(awk -v d="$want_date" '$4 " " $5 != d' <<<"$list")" ] || fail "time stamps are not $want_date"
for i in 0 1 2 3; do
  size=$(stat -c %s "${inputs[$i]}")
  [ "$(awk -v n=$((i + 1)) 'NR == n {print $3}' <<<"$list")" = "$size" ] || fail "size of ${inputs[$i]}"
done
ok "member list"

# Byte layout: each header's extended chain is its 0 size field, the members
# follow each other, and the archive's last byte is the end mark 0.
python3 - "$archive" <<'PY' || fail "byte layout"
import struct, sys
d = open(sys.argv[1], "rb").read()
p, n = 0, 0
while d[p] != 0:
    s = d[p]
    packed = struct.unpack_from("<I", d, p + 7)[0]
    assert d[p + 20] == 1, "level"
    assert struct.unpack_from("<H", d, p + s)[0] == 0, "extended headers present"
    assert sum(d[p + 2:p + 2 + s]) & 0xFF == d[p + 1], "checksum"
    p += s + 2 + packed
    n += 1
assert n == 4 and p == len(d) - 1, "end byte is not the last byte"
PY
ok "byte layout"

for run in 1 2; do
  env SOURCE_DATE_EPOCH="$epoch" TZ=UTC0 "$lzhtool" pack --level 1 --method lh5 "$work/again$run.lzh" "${inputs[@]}" ||
    fail "packing again"
done
cmp -s "$work/again1.lzh" "$work/again2.lzh" || fail "two packs differ"
cmp -s "$work/again1.lzh" "$archive" || fail "packing again differs from the built payload"
ok "reproducible archive"
python3 - "$stage/QUOVA.EXE" <<'PY' || fail "QUOVA.EXE carries a link time stamp"
import struct, sys
d = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", d, 0x3C)[0]
assert d[pe:pe + 4] == b"PE\0\0" and struct.unpack_from("<I", d, pe + 8)[0] == 0
PY
ok "no link time in QUOVA.EXE"

"$lzhtool" extract "$archive" "$work/ours" >/dev/null || fail "lzhtool extract"
7zz x -y -o"$work/ref" "$archive" >/dev/null || fail "7zz x"
for f in "${inputs[@]}"; do
  name=$(basename "$f")
  cmp -s "$f" "$work/ours/$name" || fail "lzhtool extract: $name differs"
  cmp -s "$f" "$work/ref/$name" || fail "7zz x: $name differs"
done
ok "extracted whole"

for f in "$texts/QUOVA.TXT" "$texts/README.TXT" "$texts/FILE_ID.DIZ"; do
  LC_ALL=C grep -q '[^ -~'$'\r'']' "$f" && fail "$(basename "$f"): not plain printable ASCII"
  [ "$(tr -cd '\n' <"$f" | wc -c)" = "$(grep -c $'\r$' "$f")" ] || fail "$(basename "$f"): not CR LF"
done
[ -z "$(tr -d '\r' <"$texts/FILE_ID.DIZ" | awk 'length($0) > 45')" ] || fail "FILE_ID.DIZ: a line over 45 columns"
grep -q "stand-in" "$texts/README.TXT" || fail "README.TXT does not say QUOVA.EXE is a stand-in"
ok "texts"

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
