#!/usr/bin/env bash
# Installs what the build, the Wine test environment and the demo need on a
# fresh Debian 12 machine. Safe to run again: it only installs what is missing.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# libxml2-utils (xmllint) and osslsigncode: the manifest check and the
# release's signature.
for p in cmake make g++ clang clang-format libclang-rt-14-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest \
         wine wine64 xvfb xauth x11-utils imagemagick fonts-wqy-microhei locales \
         python3 wixl libxml2-utils osslsigncode openssl; do
  have_pkg "$p" || need+=("$p")
done

if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# Code page 936 under Wine comes from the zh_CN.UTF-8 locale.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  echo "setup: generating the zh_CN.UTF-8 locale"
  sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

# GoogleTest for the Windows builds needs the POSIX-threads flavour of mingw.
for c in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix; do
  command -v "$c" >/dev/null || { echo "setup: $c is missing" >&2; exit 1; }
done
# The 32-bit half of Wine, for the program as shipped.
"$(dirname "$0")/setup-i386.sh"
echo "setup: ready"
