#!/usr/bin/env bash
# Installs everything Kite needs to build and test. A quick no-op when all is present.
# Where this machine executes 32-bit x86 code, it also adds the i386
# architecture and wine32, so that kite.exe runs under Wine beside kite64.exe.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  g++ clang cmake ninja-build make git pkg-config
  googletest libgtest-dev libgmock-dev libclang-rt-14-dev
  mingw-w64 wine wine64
  openjdk-17-jdk-headless openjdk-17-jre
  xvfb xdotool imagemagick
  python3 file binutils strace
  osslsigncode openssl
)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

# Runs a tiny 32-bit program; prints which way it went (the end-to-end
# harness asks the same script before it runs kite.exe).
runs_i386=no
if python3 scripts/runs_i386.py; then
  runs_i386=yes
  packages+=(wine32:i386)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if [ "$runs_i386" = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
