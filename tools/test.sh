#!/usr/bin/env bash
# Sets everything up on a fresh Debian machine, builds, and runs the whole
# test suite: native unit tests and fuzzers, then the Win32 tests and the
# end-to-end scenarios under Wine.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${KETRA_BUILD_ROOT:-$root/build}
"$root/tools/setup.sh" || exit 1
"$root/tools/build.sh" || exit 1

status=0
echo "== native tests"
ctest --test-dir "$out/native" --output-on-failure -j 2 || status=1

echo "== Win32 tests under Wine"
export BUILD_DIR="$out/win64"
"$root/tools/wine-session.sh" start
trap '"$root/tools/wine-session.sh" stop' EXIT
export DISPLAY=$(cat "$BUILD_DIR/wine/display")
ctest --test-dir "$out/win64" --output-on-failure || status=1
exit $status
