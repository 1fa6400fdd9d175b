# Sourced by the scripts that run Win32 programs: a private 32-bit prefix, a
# throwaway home (so that an uninstall that removes "Desktop" never reaches
# the real home folder), code page 936 and no Wine debug noise.
# BUILD_DIR may be set by the caller; it defaults to build/win32.
_ketra_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
: "${BUILD_DIR:=${KETRA_BUILD_ROOT:-$_ketra_root/build}/win32}"
export WINEARCH=win32
export WINEPREFIX="${KETRA_WINEPREFIX:-$BUILD_DIR/wine/prefix}"
export HOME="${KETRA_WINEHOME:-$BUILD_DIR/wine/home}"
export WINEDEBUG=-all
export LC_ALL=zh_CN.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$HOME"
