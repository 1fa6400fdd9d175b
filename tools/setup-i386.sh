#!/usr/bin/env bash
# Makes the 32-bit half of Wine available for the shipped i686 program without
# installing it on the machine: Debian's i386 Wine packages and the libraries
# they need are unpacked into a private root (KETRA_I386_ROOT, by default
# /var/lib/ketra/i386), which tools/wine32.sh lays over /usr/lib inside a
# private mount namespace. Where the kernel cannot run i386 code itself, the
# i386 programs go through qemu's user-mode emulation (binfmt_misc).
# Safe to run again: it only fetches what is missing.
set -euo pipefail
root=${KETRA_I386_ROOT:-/var/lib/ketra/i386}
# Wine's loader and preloader, its DLLs, and the X11 and font libraries
# Wine loads by name at run time (the rest comes as dependencies).
packages="wine32:i386 wine32-preloader:i386 libwine:i386 libfreetype6:i386 libfontconfig1:i386
  libxrender1:i386 libxi6:i386 libxrandr2:i386 libxcursor1:i386 libxfixes3:i386
  libxinerama1:i386 libxcomposite1:i386 libxxf86vm1:i386"

# The i386 files must be the same Wine release as the 64-bit Wine that starts them.
want=$(dpkg-query -W -f='${Version}' wine64)

fetch() {
  local new="$root.new" apt
  rm -rf "$new"
  apt="$new/apt"
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$new/debs" "$new/files"
  : >"$apt/status"
  # A private package state: the machine's own lists, architectures and
  # installed set stay as they are.
  local opts=(-o APT::Architectures::=amd64 -o APT::Architectures::=i386
              -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache"
              -o Dir::State::status="$apt/status" -o Debug::NoLocking=1)
  echo "setup: fetching the i386 Wine files into $root"
  # One index that fails to download (a mirror in sync) is not fatal as long
  # as the packages below resolve.
  apt-get "${opts[@]}" update -qq >"$new/update.log" 2>&1 ||
    echo "setup: warning: apt-get update reported errors (see $new/update.log)" >&2
  # The dependency closure, as an install on an empty system would take it;
  # only the i386 part is needed (the rest is the machine's own).
  # shellcheck disable=SC2086
  apt-get "${opts[@]}" -s --no-install-recommends install $packages >"$new/closure.log" 2>&1 || {
    echo "setup: the i386 Wine packages do not resolve:" >&2
    tail -n 20 "$new/closure.log" >&2
    return 1
  }
  local list
  list=$(awk '$1 == "Inst" && $2 ~ /:i386$/ { print $2 }' "$new/closure.log")
  local got
  got=$(awk '$1 == "Inst" && $2 == "wine32:i386" { gsub(/[()]/, "", $3); print $3 }' "$new/closure.log")
  if [ "$got" != "$want" ]; then
    echo "setup: wine32:i386 is $got, the 64-bit Wine is $want" >&2
    return 1
  fi
  # shellcheck disable=SC2086
  (cd "$new/debs" && apt-get "${opts[@]}" download $list >"$new/download.log" 2>&1) || {
    tail -n 20 "$new/download.log" >&2
    return 1
  }
  local d
  for d in "$new"/debs/*.deb; do dpkg -x "$d" "$new/files"; done
  # zlib1.dll as libwine's install script makes it: the mingw build with a
  # Wine builtin marker in its DOS header.
  local in=/usr/i686-w64-mingw32/lib/zlib1.dll
  local out="$new/files/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll"
  [ -f "$in" ] || { echo "setup: $in is missing (package libz-mingw-w64)" >&2; return 1; }
  { head -c 64 "$in"; printf 'Wine builtin DLL'; head -c 16 /dev/zero; tail -c +97 "$in"; } >"$out"
  rm -rf "$new/debs" "$apt"
  echo "$want" >"$new/ready"
  rm -rf "$root"
  mv "$new" "$root"
}

if [ "$(cat "$root/ready" 2>/dev/null)" != "$want" ]; then
  mkdir -p "$(dirname "$root")"
  fetch || { echo "setup: could not prepare the i386 Wine files" >&2; exit 1; }
fi

# The namespace that shows these files must be allowed here.
if ! unshare -m --propagation private true 2>/dev/null; then
  echo "setup: unshare -m does not work here; the 32-bit program cannot run" >&2
  exit 1
fi

runs_i386() { "$root/files/lib/ld-linux.so.2" --version >/dev/null 2>&1; }

# KETRA_I386_EMULATE=1 takes the emulator even where the kernel runs i386
# code (to try that way on such a machine).
if runs_i386 && [ "${KETRA_I386_EMULATE:-0}" != 1 ]; then
  exit 0
fi

dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q "install ok installed" || {
  echo "setup: installing qemu-user-static"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    qemu-user-static >/dev/null
}
misc=/proc/sys/fs/binfmt_misc
[ -e "$misc/register" ] || mount -t binfmt_misc binfmt_misc "$misc"
if [ ! -e "$misc/qemu-i386" ]; then
  echo "setup: registering qemu-i386-static for i386 programs"
  # i386 executables and shared objects (the dynamic loader); F: the
  # emulator is opened now, so it serves in every mount namespace.
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    >"$misc/register"
elif ! grep -q '^enabled' "$misc/qemu-i386"; then
  echo 1 >"$misc/qemu-i386"
fi
runs_i386 || { echo "setup: i386 programs still do not start (binfmt_misc: $(ls "$misc"))" >&2; exit 1; }
echo "setup: i386 programs run through qemu-i386-static"
