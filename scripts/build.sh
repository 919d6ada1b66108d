#!/usr/bin/env bash
# Configures (once) and builds the given presets; all four by default:
# host (kite + tests), win32 (kite.exe), win64 (kite64.exe), fuzz (libFuzzer targets).
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(host win32 win64 fuzz)
for preset in "${presets[@]}"; do
  if [ ! -f "build/$preset/build.ninja" ]; then
    cmake --preset "$preset" >/dev/null
  fi
  cmake --build --preset "$preset" -j "$(nproc)"
done
