#!/usr/bin/env bash
# Runs a command with the 32-bit half of Wine in place: inside a private mount
# namespace, the i386 root made by tools/setup-i386.sh lies under /usr/lib
# (where 64-bit Wine looks for the 32-bit loader and DLLs), and the dynamic
# loader's cache lists the i386 libraries too. Nothing changes outside.
# Where /usr/lib/wine/wine is already there (wine32 installed, or inside such
# a namespace), the command runs as it is.
set -eu
[ $# -gt 0 ] || { echo "usage: $0 command [args]" >&2; exit 2; }
if [ -e /usr/lib/wine/wine ]; then exec "$@"; fi
root=${KETRA_I386_ROOT:-/var/lib/ketra/i386}
files="$root/files"
if [ ! -f "$root/ready" ]; then
  echo "wine32: no i386 Wine files in $root: run tools/setup.sh" >&2
  exit 127
fi
if [ "${1:-}" != --inside ]; then
  exec unshare -m --propagation private "$0" --inside "$@"
fi
shift
mount -t overlay ketra-i386 -o "lowerdir=/usr/lib:$files/usr/lib:$files/lib" /usr/lib
# The machine's cache knows only its 64-bit libraries; made again when the
# machine's own changes (written aside, then renamed: runs may overlap).
cache="$root/ld.so.cache"
if [ ! -f "$cache" ] || [ /etc/ld.so.cache -nt "$cache" ]; then
  conf=$(mktemp "$root/ld.so.conf.XXXXXX")
  printf 'include /etc/ld.so.conf.d/*.conf\n/lib/i386-linux-gnu\n/usr/lib/i386-linux-gnu\n' >"$conf"
  ldconfig -X -f "$conf" -C "$conf.cache"
  mv -f "$conf.cache" "$cache"
  rm -f "$conf"
fi
mount --bind "$cache" /etc/ld.so.cache
exec "$@"
