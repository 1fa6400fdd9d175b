#!/usr/bin/env bash
# The main job on a built-in sample: sets everything up, builds, and runs
# UNKETRA32.EXE under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${KETRA_BUILD_ROOT:-$root/build}
"$root/tools/setup.sh"
"$root/tools/build.sh"
export BUILD_DIR="$out/win64"
"$root/tools/wine-session.sh" start
trap '"$root/tools/wine-session.sh" stop' EXIT
export DISPLAY=$(cat "$BUILD_DIR/wine/display")
echo "demo: running UNKETRA32.EXE /S"
"$root/tools/wine-run.sh" "$BUILD_DIR/UNKETRA32.EXE" /S
echo "demo: UNKETRA32.EXE ended with exit code $?"
