# Sourced by the scripts that run Windows programs: a private prefix, a
# throwaway home (so that an uninstall that removes "Desktop" never reaches
# the real home folder), code page 936 and no Wine debug noise (a test that
# traces calls names its channels in KETRA_WINEDEBUG).
#
# BUILD_DIR (default build/win64) is the tree whose programs run; its wine/
# folder holds the prefix and the display. We call the 64-bit loader
# directly, because /usr/bin/wine prefers an installed wine32. The i686 tree
# (the shipped program) needs the 32-bit half of Wine as well: its prefix is
# made, and its programs run, inside the namespace of tools/wine32.sh.
_ketra_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
: "${BUILD_DIR:=${KETRA_BUILD_ROOT:-$_ketra_root/build}/win64}"
export WINEARCH=win64
export WINEPREFIX="${KETRA_WINEPREFIX:-$BUILD_DIR/wine/prefix}"
export HOME="${KETRA_WINEHOME:-$BUILD_DIR/wine/home}"
export WINEDEBUG="${KETRA_WINEDEBUG:--all}"
export LC_ALL=zh_CN.UTF-8
# No debugger on a crash: the test fails at once instead of hanging.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d"
export WINELOADER=/usr/lib/wine/wine64
# The wineserver too: it opens the 32-bit files by their paths.
if grep -qs '^CMAKE_TOOLCHAIN_FILE.*mingw-i686' "$BUILD_DIR/CMakeCache.txt"; then
  KETRA_WINE=("$_ketra_root/tools/wine32.sh" /usr/lib/wine/wine64)
  KETRA_WINESERVER=("$_ketra_root/tools/wine32.sh" wineserver)
else
  KETRA_WINE=(/usr/lib/wine/wine64)
  KETRA_WINESERVER=(wineserver)
fi
mkdir -p "$HOME"
