#!/usr/bin/env bash
# Makes the release package of UNKETRA32.EXE: a folder and a zip with the
# program (the restart program is inside it), a sample UNKETRA32.INI with
# every setting and the English texts, the README's user and administrator
# sections, and a SHA-256 list; with a code-signing certificate and key, the
# program carries an Authenticode signature.
#
#   tools/release.sh [--program FILE] [--out DIR]
#                    [--cert CERT --key KEY [--pass-file FILE] [--timestamp URL]]
#
#   --program  package this built program instead of building it (in
#              <out>/release-build, the shipped program alone)
#   --out      where the package goes (default build/release)
#   --cert     the signing certificate (PEM or DER), with --key its private key;
#              --pass-file holds the key's password, --timestamp a time-stamp
#              server's URL
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${KETRA_BUILD_ROOT:-$root/build}/release
program= cert= key= pass_file= timestamp=
while [ $# -gt 0 ]; do
  case "$1" in
    --program) program=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --cert) cert=$2; shift 2 ;;
    --key) key=$2; shift 2 ;;
    --pass-file) pass_file=$2; shift 2 ;;
    --timestamp) timestamp=$2; shift 2 ;;
    *) sed -n '2,17p' "$0" >&2; exit 2 ;;
  esac
done
if { [ -n "$cert" ] && [ -z "$key" ]; } || { [ -z "$cert" ] && [ -n "$key" ]; }; then
  echo "release: --cert and --key go together" >&2
  exit 2
fi
mkdir -p "$out"
out=$(cd "$out" && pwd)

if [ -z "$program" ]; then
  build="$out/release-build"
  echo "release: building the shipped program in $build"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKETRA_TESTS=OFF \
        -DKETRA_SHIPPED_TESTS=OFF -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
  cmake --build "$build" --target UNKETRA32 -j "$(nproc)" >/dev/null
  program="$build/UNKETRA32.EXE"
fi
[ -f "$program" ] || { echo "release: no program at $program" >&2; exit 1; }

# The number is the one the program carries.
version=$(PYTHONPATH="$root/tools/release" python3 -c '
import sys, pe_file
program = pe_file.PeFile(open(sys.argv[1], "rb").read())
data = [v for k, v in program.resources().items() if k[0] == pe_file.RT_VERSION]
fixed, tables, _ = pe_file.parse_version_info(data[0])
print(tables["040904B0"]["FileVersion"])' "$program") ||
  { echo "release: $program has no readable version resource" >&2; exit 1; }
python3 "$root/tools/release/check_program.py" "$version" x86 "$program" >/dev/null || {
  python3 "$root/tools/release/check_program.py" "$version" x86 "$program" >&2
  echo "release: $program is not fit to ship" >&2
  exit 1
}

name="UNKETRA32-$version"
package="$out/$name"
rm -rf "$package" "$package.zip"
mkdir -p "$package/sample"

if [ -n "$cert" ]; then
  sign=(osslsigncode sign -certs "$cert" -key "$key" -h sha256 -n "Ketra Uninstall")
  [ -z "$pass_file" ] || sign+=(-readpass "$pass_file")
  [ -z "$timestamp" ] || sign+=(-ts "$timestamp")
  "${sign[@]}" -in "$program" -out "$package/UNKETRA32.EXE" >/dev/null ||
    { echo "release: signing failed" >&2; exit 1; }
  echo "release: signed with $cert"
else
  cp "$program" "$package/UNKETRA32.EXE"
fi

# Windows text files: CR LF.
crlf() { sed 's/\r$//; s/$/\r/'; }
{ cat "$root/tools/release/settings.ini"; echo; cat "$root/tools/sample/UNKETRA32.INI.english"; } |
  crlf >"$package/sample/UNKETRA32.INI"
# The README's sections for the people who run the program.
{
  echo "UNKETRA32.EXE $version"
  echo
  awk '/^## /{keep = ($0 == "## Using it on Windows" || $0 == "## For administrators" ||
                      $0 == "## Where it runs")} keep' "$root/README.md"
  echo "The sample folder holds UNKETRA32.INI: every setting at its default and the English"
  echo "texts. Copy it beside the program to have the program speak English."
} | crlf >"$package/README.TXT"
(cd "$package" && find . -type f ! -name SHA256SUMS.TXT | sed 's|^\./||' | LC_ALL=C sort |
   xargs sha256sum | crlf >SHA256SUMS.TXT)

# A zip whose bytes depend only on the files: fixed order and dates.
python3 - "$package" "$package.zip" "$name" <<'EOF'
import os, sys, zipfile
folder, target, name = sys.argv[1:]
files = sorted(os.path.relpath(os.path.join(d, f), folder).replace(os.sep, "/")
               for d, _, fs in os.walk(folder) for f in fs)
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as z:
    for f in files:
        info = zipfile.ZipInfo(name + "/" + f, date_time=(1980, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o644 << 16
        with open(os.path.join(folder, f), "rb") as h:
            z.writestr(info, h.read())
EOF
echo "release: $package"
echo "release: $package.zip"
tr -d '\r' <"$package/SHA256SUMS.TXT" | sed 's/^/release:   /'
