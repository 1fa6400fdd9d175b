#!/usr/bin/env bash
# Runs a command while the Wine prefix of BUILD_DIR presents another Windows
# version to UNKETRA32.EXE (Wine's per-program setting), in the running
# session; afterwards the setting is what it was before (none: the prefix's
# own default).
#   windows-version.sh VERSION COMMAND [ARGUMENT...]
# VERSION is one of Wine's names: win98 (the 95 family), nt40, win10, ...
set -u
[ $# -ge 2 ] || { sed -n '2,7p' "$0" >&2; exit 2; }
version=$1
shift
root=$(cd "$(dirname "$0")/.." && pwd)
key='HKCU\Software\Wine\AppDefaults\UNKETRA32.EXE'
reg() { "$root/tools/wine-run.sh" reg "$@" 2>/dev/null | tr -d '\r'; }
presented() { reg query "$key" /v Version | awk '$1 == "Version" { print $3 }'; }

before=$(presented)
restore() {
  if [ -n "$before" ]; then
    reg add "$key" /v Version /d "$before" /f >/dev/null
  else
    reg delete "$key" /v Version /f >/dev/null
  fi
}
trap restore EXIT
reg add "$key" /v Version /d "$version" /f >/dev/null
now=$(presented)
if [ "$now" != "$version" ]; then
  echo "windows-version: the prefix presents ${now:-its default}, not $version" >&2
  exit 1
fi
echo "windows-version: UNKETRA32.EXE sees $version"
"$@"
