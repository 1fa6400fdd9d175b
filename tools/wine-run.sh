#!/usr/bin/env bash
# Runs one Windows program under Wine in the test environment; used by ctest as
# the cross-compiling emulator.
. "$(dirname "$0")/wine-env.sh"
: "${DISPLAY:=$(cat "$BUILD_DIR/wine/display" 2>/dev/null || true)}"
export DISPLAY
exec "${KETRA_WINE[@]}" "$@"
