#!/usr/bin/env bash
# Runs every test: host unit and tool tests, the Windows build's tests under
# Wine, the whole host suite under the sanitizers, and bounded fuzz runs.
#
# The 32-bit build is the product. Where this machine cannot run 32-bit code
# (see scripts/probe32.sh; ZV_NO_32BIT=1 forces that path), the installers
# are still built and checked by every test that needs no execution, and the
# same sources built for x64 (build/win64) carry every Wine test under
# 64-bit Wine.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh
jobs="$(nproc)"

step() { printf '\n== %s (at %dm%02ds)\n' "$*" $((SECONDS / 60)) $((SECONDS % 60)); }

windows_build() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$jobs"
  ctest --preset "$1" -j "$jobs"
}

# One format for every C++ file (.clang-format), checked, never rewritten.
if command -v clang-format >/dev/null; then
  step "C++ format ($(clang-format --version | sed 's/.*version //'))"
  git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
fi

step "host build and tests"
cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs"
ctest --preset host -j "$jobs"

if probe="$(bash scripts/probe32.sh)"; then
  echo "Win32 behaviour tested on the 32-bit build under Wine: ${probe#yes: }"
  step "win32 build and tests under Wine"
  windows_build win32
else
  echo "Win32 behaviour tested on the 64-bit build under 64-bit Wine: ${probe#no: }"
  # Its Wine tests could only report themselves skipped: build the product
  # alone and run the tests that read it without running it.
  step "win32 build of the installers, read back without running them"
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 -j "$jobs" --target Zoravuvi Zoravuvi_other_payload big_payload_installer
  ctest --preset win32 -j "$jobs" --label-exclude wine
  step "win64 build and tests under 64-bit Wine"
  windows_build win64
fi

step "host tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset host-asan >/dev/null
cmake --build --preset host-asan -j "$jobs"
ctest --preset host-asan -j "$jobs"

step "bounded fuzz runs and corpus replay"
bash scripts/fuzz.sh --ci
step "every test passed"
