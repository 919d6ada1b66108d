#!/usr/bin/env bash
# Installs everything Kite needs to build and test. A quick no-op when all is present.
set -euo pipefail

packages=(
  g++ clang cmake ninja-build make git pkg-config
  googletest libgtest-dev libgmock-dev libclang-rt-14-dev
  mingw-w64 wine wine64
  openjdk-17-jdk-headless
  xvfb xdotool imagemagick
  python3 file binutils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
