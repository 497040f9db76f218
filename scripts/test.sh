#!/usr/bin/env bash
# Runs every test: host unit and tool tests, the Win32 build's tests under
# Wine, the whole host suite under the sanitizers, and bounded fuzz runs.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh
jobs="$(nproc)"

step() { printf '\n== %s\n' "$*"; }

step "host build and tests"
cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs"
ctest --preset host -j "$jobs"

step "win32 build and tests under Wine"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"
ctest --preset win32 -j "$jobs"

step "host tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset host-asan >/dev/null
cmake --build --preset host-asan -j "$jobs"
ctest --preset host-asan -j "$jobs"

if [ -f scripts/fuzz.sh ]; then
  step "bounded fuzz runs and corpus replay"
  bash scripts/fuzz.sh --ci
fi
