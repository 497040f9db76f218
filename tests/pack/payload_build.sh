#!/usr/bin/env bash
# The payload step alone (resources/Payload.cmake in a tiny project): a file
# added with an old stamp, renamed or deleted repacks; a payload that the
# installer would not install in full stops the build with its reasons and
# leaves no archive.
# usage: payload_build.sh LZHTOOL CMAKE NINJA SOURCE_DIR WORKDIR
set -uo pipefail
lzhtool=$1 cmake=$2 ninja=$3 root=$4 work=$5 failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
rm -rf "$work" && mkdir -p "$work/src/DOCS" "$work/noapp" && cd "$work" || exit 1
printf 'cmake_minimum_required(VERSION 3.25)\nproject(payload NONE)\ninclude(%s/resources/Payload.cmake)
add_custom_target(all_payloads ALL DEPENDS payload_archive)\n' "$root" >CMakeLists.txt
build() { "$cmake" -G Ninja -DCMAKE_MAKE_PROGRAM="$ninja" -S . -B "$1" -DZV_LZHTOOL="$lzhtool" -DZV_PAYLOAD="$2" >/dev/null &&
  "$cmake" --build "$1" 2>&1; }
names() { "$lzhtool" list "$1/payload.lzh" | sed '1d;$d' | awk '{printf "%s ", $NF}'; }
printf q >src/QUOVA.EXE && printf d >src/DOCS/a.txt && printf t >noapp/a.txt
build ok "$work/src" >/dev/null || fail "a good folder"
while IFS='|' read -r step want; do
  eval "$step" && "$cmake" --build ok >/dev/null && [ "$(names ok)" = "$want " ] || fail "$step: members $(names ok)"
done <<'STEPS'
touch -d 2001-01-01 src/OLD.TXT|DOCS\a.txt OLD.TXT QUOVA.EXE
mv src/OLD.TXT src/NEW.TXT|DOCS\a.txt NEW.TXT QUOVA.EXE
rm src/NEW.TXT|DOCS\a.txt QUOVA.EXE
STEPS
python3 -c "import sys; d = bytearray(open('ok/payload.lzh', 'rb').read()); open('text.lzh', 'wb').write(b'not an archive')
l2 = bytearray(d); l2[20] = 2; open('level2.lzh', 'wb').write(l2); d[22 + d[21]] ^= 1; open('flip.lzh', 'wb').write(d)"
for bad in text.lzh level2.lzh flip.lzh noapp; do
  said=$(build "b-$bad" "$work/$bad") && fail "$bad: built"
  grep -q "payload refused, the installer" <<<"$said" && [ ! -e "b-$bad/payload.lzh" ] || fail "$bad: said $said"
done
[ "$failures" -eq 0 ]
