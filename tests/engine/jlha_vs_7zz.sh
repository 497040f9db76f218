#!/usr/bin/env bash
# Real-world archives: jlha packs a tree at header levels 0 and 1; lzhtool
# must list every member and extract exactly what 7zz extracts.
# usage: jlha_vs_7zz.sh LZHTOOL WORKDIR
set -euo pipefail
lzhtool="$1"
work="$2"
rm -rf "$work"
mkdir -p "$work/src/sub/deeper"
cd "$work/src"

# Text, random bytes, long repeats, sizes around the 8 KiB window and the
# 10 KiB stored buffer, an empty file, and files in sub-folders.
python3 - <<'PY'
import random
random.seed(7)
words = "the quick brown fox jumps over a lazy dog while installers unpack archives".split()
open("text.txt", "w").write(" ".join(random.choice(words) for _ in range(40000)))
open("random.bin", "wb").write(bytes(random.getrandbits(8) for _ in range(30000)))
open("repeat.bin", "wb").write(b"ab" * 50000 + b"z" * 70000)
open("w8192.bin", "wb").write(bytes((i * 7) % 251 for i in range(8192)))
open("w8193.bin", "wb").write(bytes((i * 7) % 251 for i in range(8193)))
open("s10240.bin", "wb").write(bytes(random.getrandbits(8) for _ in range(10240)))
open("empty.txt", "wb").write(b"")
open("sub/small.txt", "w").write("hello, world\n")
open("sub/deeper/mixed.dat", "wb").write(b"".join(bytes([i % 256]) * (i % 17) for i in range(6000)))
big = bytearray()
for i in range(300000):
    big += random.choice(words).encode() + (b"\n" if i % 9 == 0 else b" ")
open("sub/big.txt", "wb").write(big)
PY
files=(text.txt random.bin repeat.bin w8192.bin w8193.bin s10240.bin empty.txt
       sub/small.txt sub/deeper/mixed.dat sub/big.txt)

status=0
for level in 0 1; do
  archive="$work/level$level.lzh"
  jlha "c${level}o5q" "$archive" "${files[@]}" >/dev/null
  listed="$("$lzhtool" list "$archive" | wc -l)"
  if [ "$listed" -ne "${#files[@]}" ]; then
    echo "level $level: lzhtool list shows $listed members, expected ${#files[@]}" >&2
    "$lzhtool" list "$archive" >&2 || true
    status=1
  fi
  if ! "$lzhtool" list "$archive" | awk -v l="$level" '$7 != l { bad = 1 } END { exit bad }'; then
    echo "level $level: a member is not at header level $level" >&2
    status=1
  fi
  mkdir -p "$work/ours$level" "$work/ref$level"
  if ! "$lzhtool" extract "$archive" "$work/ours$level"; then
    echo "level $level: lzhtool extract failed with status $?" >&2
    status=1
  fi
  (cd "$work/ref$level" && 7zz x -y "$archive" >/dev/null)
  if ! diff -r "$work/ours$level" "$work/ref$level"; then
    echo "level $level: lzhtool and 7zz extract different trees" >&2
    status=1
  fi
  methods="$("$lzhtool" list "$archive" | awk '{print $1}' | sort | uniq -c | tr '\n' ' ')"
  echo "level $level: ${#files[@]} members ($methods) identical to 7zz"
done
exit $status
