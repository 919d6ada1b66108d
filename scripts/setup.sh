#!/usr/bin/env bash
# Installs everything Kite needs to build and test. A quick no-op when all is present.
#
# kite.exe (32-bit) runs under Wine beside kite64.exe by one of two routes,
# chosen by probes (scripts/runs_i386.py) in this order, and named below:
#   native  this machine executes 32-bit x86 code: the i386 architecture and wine32;
#   qemu    it does not, but a private user+mount namespace with its own
#           binfmt_misc can be made (scripts/i386-namespace.sh): qemu-user-static
#           runs Wine's 32-bit half there, so wine32 and wine32-preloader too
#           (the preloader is only suggested by wine32; without it every 32-bit
#           start spends minutes reserving its address space under qemu);
#   none    neither: the kite.exe half of the Windows suites is skipped, and says why.
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
  ant
  jetty9  # a server whose main returns, for tests/e2e/test_linux_jetty.py (about 25 MB with its libraries)
)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

# Runs a tiny 32-bit program, and tries the namespace; each prints which way it went.
route=none
if python3 scripts/runs_i386.py; then
  route=native
  packages+=(wine32:i386)
elif python3 scripts/runs_i386.py --namespace; then
  route=qemu
  packages+=(qemu-user-static wine32:i386 wine32-preloader:i386)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if [ "$route" != none ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -qq
  # Packages with a daemon (jetty9) must not start it while they install: the
  # tests start their own. Where the machine has no policy of its own, one
  # that refuses every start is in place for the install only.
  policy=/usr/sbin/policy-rc.d
  own_policy=false
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
    $SUDO chmod 755 "$policy"
    own_policy=true
  fi
  status=0
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || status=$?
  if $own_policy; then $SUDO rm -f "$policy"; fi
  [ "$status" -eq 0 ] || exit "$status"
fi

case "$route" in
  native) echo "setup: kite.exe route: native (this machine runs 32-bit x86 code; wine32)" ;;
  qemu)
    # The same judge again, through the route the tests will take.
    if python3 scripts/runs_i386.py --through-namespace; then
      echo "setup: kite.exe route: qemu (scripts/i386-namespace.sh runs the Windows suites;" \
           "qemu-i386-static, wine32, wine32-preloader)"
    else
      echo "setup: WARNING: kite.exe route qemu is installed but 32-bit code does not run through it;" \
           "the kite.exe suites will fail" >&2
    fi ;;
  *) echo "setup: WARNING: kite.exe route: none: 32-bit x86 code does not run here and no private" \
          "namespace with its own binfmt_misc can be made; the kite.exe suites will be skipped" >&2 ;;
esac
