# Sourced by the scripts that run Windows programs: a private prefix, a
# throwaway home (so that an uninstall that removes "Desktop" never reaches
# the real home folder), code page 936 and no Wine debug noise.
#
# Wine runs the 64-bit test build: the kernels we run on have 32-bit
# emulation switched off, so the 32-bit Wine loader cannot start. We call the
# 64-bit loader directly, because /usr/bin/wine prefers an installed wine32.
# BUILD_DIR may be set by the caller; it defaults to build/win64.
_ketra_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
: "${BUILD_DIR:=${KETRA_BUILD_ROOT:-$_ketra_root/build}/win64}"
export WINEARCH=win64
export WINEPREFIX="${KETRA_WINEPREFIX:-$BUILD_DIR/wine/prefix}"
export HOME="${KETRA_WINEHOME:-$BUILD_DIR/wine/home}"
export WINEDEBUG=-all
export LC_ALL=zh_CN.UTF-8
# No debugger on a crash: the test fails at once instead of hanging.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d"
export WINELOADER=/usr/lib/wine/wine64
KETRA_WINE=/usr/lib/wine/wine64
mkdir -p "$HOME"
