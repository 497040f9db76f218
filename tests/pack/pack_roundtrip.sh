#!/usr/bin/env bash
# lzhtool pack at both header levels with every method, read back by lzhtool
# extract and by 7zz: members in byte order of their paths, stamps capped by
# SOURCE_DATE_EPOCH, the end byte; names refused; any thread count the same.
# usage: pack_roundtrip.sh LZHTOOL WORKDIR
set -uo pipefail
lzhtool=$(realpath "$1") work=$2 failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
rm -rf "$work" && mkdir -p "$work/src/sub/deeper" || exit 1

# Blocks of 65,535 symbols, 1 MiB parts, a repeat a whole window back and one a
# byte farther, two symbols with 19 unused ones between them; output past the
# 1 MiB held in memory that ends as -lh5- and as a stored copy read again.
( cd "$work/src" && python3 - "$lzhtool" <<'PY'
import random, sys
rng = random.Random(3)
words = b"the quick brown fox installs archives over lazy dogs with a window of eight".split()
text = lambda n: b" ".join(rng.choice(words) for _ in range(n // 4))[:n]
far = rng.randbytes(8193)
for name, data in {"text.txt": text(50000), "program.bin": open(sys.argv[1], "rb").read()[:300000],
                   "zeros.bin": bytes(100000), "random.bin": rng.randbytes(40000), "empty.txt": b"", "B.txt": b"B",
                   "w8193.txt": text(8193), "over64k.txt": text(70000), "far.bin": far + far[:300],
                   "window.bin": far[1:] + far[1:301], "au.txt": bytes(rng.choice(b"AU") for _ in range(20000)),
                   "sub/mixed.dat": (text(20000) + rng.randbytes(5000)) * 8, "sub/deeper/two-parts.txt": text(1500000),
                   "spilled.bin": rng.randbytes(1200000) + bytes(500000), "zz-stored-again.bin": rng.randbytes(2 * 1048576 + 100)}.items():
    open(name, "wb").write(data)
PY
) || { echo "FAIL could not make the inputs"; exit 1; }
touch -d @981203696 "$work/src/text.txt"   # 2001-02-03, before the epoch: kept
order=$(cd "$work/src" && find . -type f | cut -c3- | LC_ALL=C sort | tr / '\\')

export SOURCE_DATE_EPOCH=1718064000 TZ=UTC0
for level in 0 1; do
  for method in auto lh5 lh0; do
    tag="level $level, $method" archive="$work/l$level-$method.lzh"
    "$lzhtool" pack --level "$level" --method "$method" "$archive" "$work/src" || { fail "$tag: pack"; continue; }
    [ "$(tail -c 1 "$archive" | od -An -tu1 | tr -d ' ')" = 0 ] || fail "$tag: no end byte"
    list=$("$lzhtool" list "$archive")
    [ "$(awk '{print $8}' <<<"$list")" = "$order" ] || fail "$tag: members or their order"
    bad=$(awk -v lv="$level" '$7 != lv || $4 " " $5 != ($8 == "text.txt" ? "2001-02-03 12:34:56" : "2024-06-11 00:00:00")' <<<"$list")
    [ -z "$bad" ] || fail "$tag: stamps or levels: $bad"
    for reader in lzhtool 7zz; do
      rm -rf "$work/out"
      if [ $reader = lzhtool ]; then "$lzhtool" extract "$archive" "$work/out"; else 7zz x -y -o"$work/out" "$archive" >/dev/null; fi
      diff -r "$work/src" "$work/out" >/dev/null || fail "$tag: $reader extracts something else"
    done
  done
done

# Stored names: printable ASCII that Windows takes, 101 bytes (at level 0 with
# the folders), 200 of folder record, no two that differ in case alone. A
# refused name leaves an archive already there alone.
n99=$(printf 'N%.0s' {1..99}) d199=$(printf 'D%.0s' {1..199})
while IFS='|' read -r level names status; do
  rm -rf "$work/names" && IFS=, read -ra list <<<"$names"
  for name in "${list[@]}"; do mkdir -p "$work/names/$(dirname "$name")" && printf x >"$work/names/$name"; done
  cp "$work/l1-auto.lzh" "$work/names.lzh"
  "$lzhtool" pack --level "$level" "$work/names.lzh" "$work/names" 2>/dev/null
  [ $? -eq "$status" ] || fail "level $level, $names: not status $status"
  [ "$status" -eq 0 ] || cmp -s "$work/names.lzh" "$work/l1-auto.lzh" || fail "$names: the old archive changed"
done <<NAMES
1|READ_ME.TXT,NN${n99}|0
1|READ ME.TXT|65
1|na$(printf '\303\257')ve.txt|65
1|a:b|65
1|NNN${n99}|65
1|z,Z|65
0|D/${n99}|0
0|D/N${n99}|65
1|${d199}/A|0
1|D${d199}/A|65
NAMES
[ -z "$(find "$work" -maxdepth 1 -name '*.lzh.*')" ] || fail "a temporary file was left"

for jobs in 1 3; do
  "$lzhtool" pack --jobs $jobs "$work/jobs.lzh" "$work/src" && cmp -s "$work/jobs.lzh" "$work/l1-auto.lzh" ||
    fail "--jobs $jobs: another archive"
done
# A bad argument or file: the status, one message, nothing written.
while IFS='|' read -r want args; do
  said=$(cd "$work" && eval "\"\$lzhtool\" $args" 2>&1 >/dev/null)
  status=$?
  [ "$status" -eq "$want" ] && [ -n "$said" ] || fail "lzhtool $args: status $status, said '$said'"
  [ ! -e "$work/bad.lzh" ] && [ ! -e "$work/bad" ] || fail "lzhtool $args wrote something"
done <<'BAD'
64|frobnicate
64|extract l1-auto.lzh
64|pack --level 7 bad.lzh src
64|pack --method zip bad.lzh src
66|pack bad.lzh missing
66|extract missing.lzh bad
65|list src/text.txt
BAD
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
