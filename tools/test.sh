#!/usr/bin/env bash
# Sets everything up on a fresh Debian machine, checks the sources' format,
# builds, and runs the whole test suite: native unit tests and fuzzers; under Wine, every Windows test
# and scenario on the 64-bit build; then the demo and a subset of the
# scenarios on the 32-bit program as shipped (cmake/shipped_tests.cmake).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${KETRA_BUILD_ROOT:-$root/build}
"$root/tools/setup.sh" || exit 1

status=0
phase() { echo "== $1 ($((SECONDS / 60)) min $((SECONDS % 60)) s so far)"; }

# First and fast: the sources are formatted as .clang-format says.
phase "format"
"$root/tools/check-format.sh" || status=1

"$root/tools/build.sh" || exit 1

phase "native tests"
ctest --test-dir "$out/native" --output-on-failure -j 2 || status=1

# One Wine session per tree, ended even when the run is interrupted.
session=
trap '[ -z "$session" ] || BUILD_DIR="$session" "$root/tools/wine-session.sh" stop' EXIT
under_wine() {
  export BUILD_DIR="$out/$1"
  session=$BUILD_DIR
  "$root/tools/wine-session.sh" start || { status=1; return; }
  DISPLAY=$(cat "$BUILD_DIR/wine/display") ctest --test-dir "$BUILD_DIR" --output-on-failure ||
    status=1
  "$root/tools/wine-session.sh" stop
  session=
}

phase "Windows tests under Wine: the 64-bit build"
under_wine win64
phase "the shipped 32-bit program under Wine: the demo and a subset of the scenarios"
under_wine win32
phase "done"
exit $status
