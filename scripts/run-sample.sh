#!/usr/bin/env bash
# Builds the Linux launcher and the sample application samples/hello, puts
# both into build/sample/ (hello, hello.ini, lib/hello.jar) and runs it with
# two arguments. Ends with the launcher's exit code.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh || exit 1

if [ ! -f build/host/build.ninja ]; then
  cmake --preset host >/dev/null || exit 1
fi
cmake --build --preset host --target kite || exit 1

sample=build/sample
rm -rf "$sample"
mkdir -p "$sample/classes" "$sample/lib"
javac -encoding UTF-8 -d "$sample/classes" samples/hello/de/beispiel/Hello.java || exit 1
jar cf "$sample/lib/hello.jar" -C "$sample/classes" . || exit 1
cp build/host/kite "$sample/hello"
cp samples/hello/hello.ini "$sample/hello.ini"

"$root/$sample/hello" "erstes Argument" "zweites"
code=$?
echo "Exit-Code: $code"
exit $code
