#!/usr/bin/env bash
# Archives that jlha makes at header levels 0 and 1: lzhtool lists every
# member at its level and extracts exactly what 7zz extracts.
# usage: jlha_vs_7zz.sh LZHTOOL WORKDIR
set -uo pipefail
lzhtool=$1 work=$2 status=0
rm -rf "$work" && mkdir -p "$work/src/sub/deeper" && cd "$work/src" || exit 1
# Text, random bytes, long repeats, the 8 KiB window and the 10 KiB stored buffer, nothing, folders.
python3 -c 'import random
rng = random.Random(7)
text = lambda n: b" ".join(rng.choice(b"the quick brown fox jumps over a lazy dog in archives".split()) for _ in range(n))
for name, data in {"text.txt": text(40000), "random.bin": rng.randbytes(30000), "repeat.bin": b"ab" * 50000 + b"z" * 70000,
                   "w8192.bin": bytes(i * 7 % 251 for i in range(8192)), "w8193.bin": bytes(i * 7 % 251 for i in range(8193)),
                   "s10240.bin": rng.randbytes(10240), "empty.txt": b"", "sub/small.txt": b"hello, world\n",
                   "sub/big.txt": text(300000), "sub/deeper/mixed.dat": b"".join(bytes([i % 256]) * (i % 17) for i in range(6000))}.items():
    open(name, "wb").write(data)'
files=$(find . -type f | cut -c3- | sort)
for level in 0 1; do
  archive="$work/level$level.lzh"
  jlha "c${level}o5q" "$archive" $files >/dev/null || { echo "level $level: jlha failed"; status=1; continue; }
  [ "$("$lzhtool" list "$archive" | awk -v l=$level '$7 == l' | wc -l)" -eq "$(wc -w <<<"$files")" ] || { echo "level $level: lzhtool list"; status=1; }
  mkdir -p "$work/ref$level" && (cd "$work/ref$level" && 7zz x -y "$archive" >/dev/null) && "$lzhtool" extract "$archive" "$work/ours$level" &&
    diff -r "$work/ours$level" "$work/ref$level" || { echo "level $level: lzhtool and 7zz extract differently"; status=1; }
done
exit $status
