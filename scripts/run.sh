#!/usr/bin/env bash
# The main job: builds the host tools and the Windows installer, then runs
# build/win32/bin/Zoravuvi.exe under Wine through one complete installation
# into a fresh Wine prefix, as a person would: in windows on this display
# when there is one, otherwise on a virtual display. Prints the install
# folder, the files written, the command line the installed stand-in
# application recorded, and where the screenshots are.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh
jobs="$(nproc)"
cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"

if [ -n "${DISPLAY:-}" ]; then
  echo "run: installing under Wine on display $DISPLAY"
else
  echo "run: installing under Wine on a virtual display"
fi
python3 tests/e2e/e2e.py --group demo --visible --keep \
  --exe build/win32/bin/Zoravuvi.exe \
  --driver build/win32/bin/windriver.exe \
  --payload build/win32/payload.lzh \
  --work build/win32/run
