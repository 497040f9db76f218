#!/usr/bin/env bash
# lzhtool pack at both header levels with every method, read back by lzhtool
# extract and by 7zz; the stamps capped by SOURCE_DATE_EPOCH; refused names
# and bad arguments; the same archive whatever the thread count.
# usage: pack_roundtrip.sh LZHTOOL WORKDIR
set -uo pipefail
lzhtool=$(realpath "$1") work=$2 failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
rm -rf "$work" && mkdir -p "$work/src/sub/deeper" || exit 1

# Blocks of 65,535 symbols and more, several 1 MiB parts, a window's worth.
( cd "$work/src" && python3 - "$lzhtool" <<'PY'
import random, sys
rng = random.Random(3)
words = b"the quick brown fox installs archives over lazy dogs with a window of eight".split()
text = lambda n: b" ".join(rng.choice(words) for _ in range(n // 4))[:n]
program = open(sys.argv[1], "rb").read()[:300000]
for name, data in {"text.txt": text(50000), "program.bin": program, "zeros.bin": bytes(100000),
                   "random.bin": rng.randbytes(40000), "empty.txt": b"", "w8193.txt": text(8193),
                   "over64k.txt": text(70000), "sub/mixed.dat": (text(20000) + rng.randbytes(5000)) * 8,
                   "sub/deeper/two-parts.txt": text(1500000)}.items():
    open(name, "wb").write(data)
PY
) || { echo "FAIL could not make the inputs"; exit 1; }
touch -d @981203696 "$work/src/text.txt"   # 2001-02-03, before the epoch: kept
count=$(find "$work/src" -type f | wc -l)

export SOURCE_DATE_EPOCH=1718064000 TZ=UTC0
for level in 0 1; do
  for method in auto lh5 lh0; do
    tag="level $level, $method" archive="$work/l$level-$method.lzh"
    "$lzhtool" pack --level "$level" --method "$method" "$archive" "$work/src" || { fail "$tag: pack"; continue; }
    [ "$(tail -c 1 "$archive" | od -An -tu1 | tr -d ' ')" = 0 ] || fail "$tag: no end byte"
    list=$("$lzhtool" list "$archive")
    bad=$(awk -v lv="$level" '$7 != lv || $4 " " $5 != ($8 == "text.txt" ? "2001-02-03 12:34:56" : "2024-06-11 00:00:00")' <<<"$list")
    [ "$(wc -l <<<"$list")" -eq "$count" ] && [ -z "$bad" ] || fail "$tag: members, stamps or levels: $bad"
    for reader in lzhtool 7zz; do
      rm -rf "$work/out"
      if [ $reader = lzhtool ]; then "$lzhtool" extract "$archive" "$work/out"; else 7zz x -y -o"$work/out" "$archive" >/dev/null; fi
      diff -r "$work/src" "$work/out" >/dev/null || fail "$tag: $reader extracts something else"
    done
  done
done

# A refused name writes nothing and leaves an archive already there alone.
mkdir -p "$work/bad" && printf x >"$work/bad/READ ME.TXT"
cp "$work/l1-auto.lzh" "$work/keep.lzh"
"$lzhtool" pack "$work/keep.lzh" "$work/src/text.txt" "$work/bad" 2>"$work/err.txt"
[ $? -eq 65 ] && grep -q "READ ME.TXT" "$work/err.txt" || fail "refused name: status or message"
cmp -s "$work/keep.lzh" "$work/l1-auto.lzh" || fail "refused name: the old archive changed"
[ -z "$(find "$work" -maxdepth 1 -name '*.lzh.*')" ] || fail "refused name: a temporary file was left"

want() { local status=$1; shift; "$lzhtool" pack "$@" 2>/dev/null; [ $? -eq "$status" ] || fail "pack $*: not $status"; }
want 64 --level 2 "$work/a.lzh" "$work/src"
want 64 --jobs 9 "$work/a.lzh" "$work/src"
want 66 "$work/a.lzh" "$work/no-such-file"
SOURCE_DATE_EPOCH=soon want 64 "$work/a.lzh" "$work/src"

for jobs in 1 3; do
  "$lzhtool" pack --jobs $jobs "$work/jobs.lzh" "$work/src" && cmp -s "$work/jobs.lzh" "$work/l1-auto.lzh" ||
    fail "--jobs $jobs: another archive"
done
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
