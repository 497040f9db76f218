#!/usr/bin/env bash
# The main job: builds the host tools and the Windows installer, then runs
# build/win32/bin/Zoravuvi.exe under Wine through one complete installation
# into a fresh Wine prefix, as a person would: in windows on this display
# when there is one, otherwise on a virtual display. Prints the install
# folder, the files written, the command line the installed stand-in
# application recorded, and where the screenshots are.
#
# On a machine that cannot run 32-bit code (scripts/probe32.sh; ZV_NO_32BIT=1
# forces it) the 32-bit installer is still built, and the installation is
# run with the same sources built for x64 (build/win64) under 64-bit Wine.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh
jobs="$(nproc)"
cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"

build=build/win32
if probe="$(bash scripts/probe32.sh)"; then
  echo "run: the 32-bit installer ($build/bin/Zoravuvi.exe) under Wine"
else
  build=build/win64
  echo "run: the 64-bit build ($build/bin/Zoravuvi.exe) under 64-bit Wine, because ${probe#no: }"
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 -j "$jobs"
fi

if [ -n "${DISPLAY:-}" ]; then
  echo "run: installing under Wine on display $DISPLAY"
else
  echo "run: installing under Wine on a virtual display"
fi
python3 tests/e2e/e2e.py --group demo --visible --keep \
  --exe "$build/bin/Zoravuvi.exe" \
  --driver "$build/bin/windriver.exe" \
  --payload "$build/payload.lzh" \
  --work "$build/run"
