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
    list=$("$lzhtool" list "$archive" | sed '1d;$d')
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

# Stored names: printable ASCII that Windows takes, or code page 932 with the
# option; 101 bytes (at level 0 with the folders), 200 of folder record, none
# that the installer's path rules pass over, no two that differ in case
# alone. Every refused name is named, one line each; a refused run leaves an
# archive already there alone.
n99=$(printf 'N%.0s' {1..99}) d199=$(printf 'D%.0s' {1..199})
while IFS='|' read -r options names status lines; do
  rm -rf "$work/names" && IFS=, read -ra list <<<"$names"
  for name in "${list[@]}"; do mkdir -p "$work/names/$(dirname "$name")" && printf x >"$work/names/$name"; done
  cp "$work/l1-auto.lzh" "$work/names.lzh"
  said=$("$lzhtool" pack --force $options "$work/names.lzh" "$work/names" 2>&1)
  [ $? -eq "$status" ] && [ "$(grep -c . <<<"$said")" -eq "$lines" ] || fail "$options $names: not status $status, $lines lines: $said"
  [ "$status" -eq 0 ] || cmp -s "$work/names.lzh" "$work/l1-auto.lzh" || fail "$names: the old archive changed"
done <<NAMES
--level 1|READ_ME.TXT,NN${n99}|0|0
--level 1|READ ME.TXT,a:b,NNN${n99},aux.txt,con,nul.tar.gz,x/COM1 .log/y|65|7
--level 1|z,Z|65|1
--level 0|D/${n99}|0|0
--level 0|D/N${n99}|65|1
--level 1|${d199}/A|0|0
--level 1|D${d199}/A,${d199}/${n99}|65|2
--level 1|表.txt|65|1
--codepage 932|表/ソ.txt,ｶﾅ,ア,ヂ|0|0
--codepage 932|表../y,na$(printf '\303\257')ve.txt|65|2
NAMES
grep -q -- '--codepage 932' <<<"$("$lzhtool" pack --force "$work/names.lzh" "$work/names" 2>&1)" || fail "no word of --codepage 932"
rm -rf "$work/names" && mkdir -p "$work/names/表" && printf x >"$work/names/表/ソ.txt" &&
  "$lzhtool" pack --force --codepage 932 "$work/names.lzh" "$work/names" && rm -rf "$work/out" &&
  "$lzhtool" extract --codepage 932 "$work/names.lzh" "$work/out" >/dev/null &&
  [ -f "$work/out/$(printf '\225\\/\203\\.txt')" ] || fail "a code page 932 name did not come back"
[ -z "$(find "$work" -maxdepth 1 -name '*.lzh.*')" ] || fail "a temporary file was left"

for jobs in 1 3; do
  "$lzhtool" pack --force --jobs $jobs "$work/jobs.lzh" "$work/src" && cmp -s "$work/jobs.lzh" "$work/l1-auto.lzh" ||
    fail "--jobs $jobs: another archive"
done
# A bad argument or file: the status, one message, nothing written or changed.
snapshot() { find "$work" -maxdepth 1 -printf '%f %s %T@\n' | sort; }
while IFS='|' read -r want args; do
  before=$(snapshot)
  said=$(cd "$work" && eval "\"\$lzhtool\" $args" 2>&1 >/dev/null)
  status=$?
  [ "$status" -eq "$want" ] && [ -n "$said" ] || fail "lzhtool $args: status $status, said '$said'"
  [ "$(snapshot)" = "$before" ] || fail "lzhtool $args wrote something"
done <<'BAD'
64|frobnicate
64|--frobnicate
64|extract l1-auto.lzh
64|extract l1-auto.lzh bad -v
64|extract --verbose=yes l1-auto.lzh bad
64|test
64|list --bogus l1-auto.lzh
64|list --codepage x l1-auto.lzh
64|pack --level 7 bad.lzh src
64|pack --level bad.lzh src
64|pack --method zip bad.lzh src
64|pack -bad.lzh src
64|pack bad.lzh src -v
73|pack l1-auto.lzh src
66|pack bad.lzh missing
66|extract missing.lzh bad
66|test missing.lzh
65|test --payload l1-auto.lzh
BAD
# Every command's usage: on -h and --help, its synopsis on a bad command line
# and in the README; the version from the project's one home.
readme=$(dirname "$0")/../../README.md
for command in "" extract test list pack; do
  usage=$("$lzhtool" $command --help) && [ "$("$lzhtool" $command -h)" = "$usage" ] || fail "$command --help"
  [ -z "$command" ] && continue
  synopsis=$(sed '/^$/q' <<<"$usage" | sed '$d')
  [ "$("$lzhtool" $command --bogus 2>&1 | sed 1d)" = "$synopsis" ] || fail "$command: the synopsis after an error"
  while read -r line; do grep -qF -- "$line" "$readme" || fail "README lacks '$line'"; done <<<"$synopsis"
done
version=$(sed -n 's/^project(.* VERSION \([0-9.]*\) .*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
[ "$("$lzhtool" --version)" = "lzhtool $version" ] || fail "--version is not $version"
# -- ends the options; a folder that holds the archive does not pack it.
mkdir -p "$work/self" && cp "$work/src/B.txt" "$work/self/-B.txt" && touch "$work/self/-s.lzh.Ab3xY9"
( cd "$work/self" && "$lzhtool" pack -- -s.lzh . 2>/dev/null && "$lzhtool" pack --force -- -s.lzh . 2>/dev/null ) &&
  [ "$("$lzhtool" list -- "$work/self/-s.lzh" | sed '1d;$d' | awk '{print $8}')" = "-B.txt" ] || fail "pack into its own folder"

# list, test and extract walk alike: status (the installer's result), members,
# the lines about losses.
mkdir -p "$work/agree/src" "$work/agree/one" "$work/agree/two/a" && cd "$work/agree" || exit 1
python3 -c "import random; open('src/QUOVA.EXE', 'w').write('quova ' * 500)
open('src/noise.bin', 'wb').write(random.Random(5).randbytes(300))" && echo 1 >one/a && echo 2 >two/a/b.txt
"$lzhtool" pack --level 0 ok.lzh src >/dev/null && "$lzhtool" pack --method lh5 clash.lzh one/a two &&
  cp ../l1-auto.lzh . || fail "agree: the inputs"
python3 - <<'PY'
d = open('ok.lzh', 'rb').read()
s1, p1 = d[0], int.from_bytes(d[7:11], 'little'); m2 = s1 + 2 + p1   # the second header
def flip(at): b = bytearray(d); b[at] ^= 0x55; return bytes(b)
for name, b in {'joined': d + d, 'level2': d[:20] + b'\2' + d[21:], 'lh5flip': flip(s1 + 2 + p1 // 2),
                'stflip': flip(m2 + d[m2] + 102), 'cutlast': d[:-40], 'cutmid': d[:s1 + 20] + d[s1 + 29:],
                'wrongsize': d[:7] + (p1 + 5).to_bytes(4, 'little') + d[11:], 'lh6': d[:5] + b'6' + d[6:],
                'device': d[:m2 + 22] + b'aux.a.bin' + d[m2 + 31:], 'none': b'not an archive', 'empty': b'\0'}.items():
    open(name + '.lzh', 'wb').write(b)
PY
members() { sed -nE '$s/.* ([0-9]+) member.*/\1/p'; }
while IFS='|' read -r name count want; do
  l=$("$lzhtool" list $name.lzh 2>list.err); ls=$?
  t=$("$lzhtool" test $name.lzh); ts=$?
  rm -rf out && x=$("$lzhtool" extract $name.lzh out); xs=$?
  [ "$ls $xs $ts" = "$want $want $want" ] || fail "$name: status list $ls test $ts extract $xs"
  [ "$(members <<<"$l") $(members <<<"$t") $(members <<<"$x")" = "$count $count $count" ] || fail "$name: members"
  lost=$(sed '$d' <<<"$x")
  [ "$(grep -v '^ok ' <<<"$t" | sed '$d')" = "$lost" ] && [ "$(grep -v '^lzhtool: ' list.err)" = "$lost" ] &&
    [ "$(tail -1 <<<"$x" | sed 's/ written,/ ok,/')" = "$(tail -1 <<<"$t")" ] || fail "$name: lines differ"
done <<'AGREE'
l1-auto|15|0
ok|2|0
joined|4|0
clash|2|8
level2|0|3
lh5flip|2|4
stflip|2|4
cutlast|2|4
cutmid|1|4
wrongsize|1|4
lh6|2|4
device|2|4
none|0|2
empty|0|2
AGREE
"$lzhtool" test --payload ok.lzh >/dev/null || fail "test --payload refuses QUOVA.EXE"
# Progress: on a terminal only, for more than 64 MiB, ended by a newline.
head -c 68000000 /dev/zero >zeros.bin
[ -z "$("$lzhtool" pack zeros.lzh zeros.bin 2>&1)" ] || fail "pack's progress without a terminal"
python3 - "$lzhtool" <<'PY' || fail "progress on a terminal"
import os, pty, subprocess, sys
for label, command in (b'packing', ['pack', 'zeros2.lzh', 'zeros.bin']), (b'extracting', ['extract', 'zeros.lzh', 'big']):
    master, slave = pty.openpty()
    subprocess.run([sys.argv[1], *command], stdout=subprocess.DEVNULL, stderr=slave, check=True)
    os.close(slave)
    said = os.read(master, 4096)
    assert said.startswith(b'\r' + label + b': ') and b'MiB' in said and said.endswith(b'\n'), said
PY
[ -z "$("$lzhtool" extract zeros.lzh big2 2>&1 >/dev/null)" ] || fail "extract's progress without a terminal"
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
