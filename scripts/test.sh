#!/usr/bin/env bash
# Sets everything up, builds the three executables and the fuzz targets, and
# runs every test layer through ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
ctest --test-dir build/host --output-on-failure -j "$(nproc)" "$@"
