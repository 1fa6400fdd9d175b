#!/usr/bin/env bash
# The main job on a built-in sample: sets everything up, builds, installs the
# sample product with the test installer, shows what is on the machine, runs
# UNKETRA32.EXE /S on the installation's log and shows what is left.
#   --shipped  the 32-bit program as shipped (build/win32), not the 64-bit build
#   --built    no set-up, build or session: BUILD_DIR names a tree whose Wine
#              session runs (how the tests run it)
# KETRA_PROGRAM names another UNKETRA32.EXE to run (a signed release's).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${KETRA_BUILD_ROOT:-$root/build}
tree=win64
built=0
for a in "$@"; do
  case "$a" in
    --shipped) tree=win32 ;;
    --built) built=1 ;;
    *) echo "usage: $0 [--shipped] [--built]" >&2; exit 2 ;;
  esac
done
if [ $built = 0 ]; then
  "$root/tools/setup.sh"
  "$root/tools/build.sh"
  export BUILD_DIR="$out/$tree"
  "$root/tools/wine-session.sh" start
  trap '"$root/tools/wine-session.sh" stop' EXIT
fi
: "${BUILD_DIR:?BUILD_DIR names the tree to run}"
export DISPLAY=$(cat "$BUILD_DIR/wine/display")
. "$root/tools/wine-env.sh"
wine() { "$root/tools/wine-run.sh" "$@" 2>/dev/null | tr -d '\r' || true; }
app='C:\Program Files\Ketra Sample'
log="$app\\INSTALL.LOG"
c="$WINEPREFIX/drive_c"

echo "demo: clearing what an earlier demo left"
wine sc stop KetraSampleSvc >/dev/null
wine sc delete KetraSampleSvc >/dev/null
for k in 'HKLM\Software\Ketra Sample' 'HKCU\Software\Ketra Sample' 'HKCR\.smp'; do
  wine reg delete "$k" /f >/dev/null
done
rm -rf "$c/Program Files/Ketra Sample" "$c/windows/system32/KSHARED.DLL" \
       "$c/windows/system32/KSAMPLE.386"
find "$c/users" -maxdepth 8 \( -name "Ketra Sample*" -o -name 'Sample Editor.lnk' \) \
     -exec rm -rf {} + 2>/dev/null || true
sysini="$c/windows/$(ls "$c/windows" | grep -i '^system\.ini$' | head -n 1)"
[ -f "$sysini" ] && sed -i '/KSAMPLE\.386/d' "$sysini"
wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs' \
     /v 'C:\windows\system32\KSHARED.DLL' /f >/dev/null

echo "demo: a value and an INI entry that the product will overwrite"
wine reg add 'HKCU\Software\Ketra Sample\Settings' /v Theme /d classic /f >/dev/null
printf '[Options]\r\nMode=basic\r\n' >"$c/windows/KSAMPLE.INI"

echo "demo: laying out the sample product in $BUILD_DIR/sample"
python3 "$root/tools/sample/make_sample.py" "$BUILD_DIR/tools" "$BUILD_DIR/sample"
echo "demo: installing it with the test installer"
setup="Z:$(echo "$BUILD_DIR/sample/SETUP.EXE" | tr / '\\')"
"$root/tools/wine-run.sh" "$setup"
echo "demo: the installation wrote $(grep -c . "$c/Program Files/Ketra Sample/INSTALL.LOG") log lines; the first ones:"
head -n 16 "$c/Program Files/Ketra Sample/INSTALL.LOG" | tr -d '\r' | sed 's/^/   /'
echo
echo "==== on the machine after the installation"
"$root/tools/sample/show_machine.sh"

echo
journal='C:\KETRA-DEMO-JOURNAL.TXT'
rm -f "$c/KETRA-DEMO-JOURNAL.TXT"
program=${KETRA_PROGRAM:-$BUILD_DIR/UNKETRA32.EXE}
echo "demo: running $program /S /L$journal \"$log\""
set +e
"$root/tools/wine-run.sh" "$program" /S "/L$journal" "$log"
code=$?
set -e
# Linux sees the low byte of a Windows exit code (1603 shows as 67).
echo "demo: UNKETRA32.EXE ended with exit code $code (low byte)"
echo
echo "==== the journal $journal"
if [ -f "$c/KETRA-DEMO-JOURNAL.TXT" ]; then
  tr -d '\r' <"$c/KETRA-DEMO-JOURNAL.TXT" | sed 's/^/   /'
else
  echo "   (not written)"
fi
echo
echo "==== on the machine after UNKETRA32.EXE"
"$root/tools/sample/show_machine.sh"
echo
if [ -e "$c/Program Files/Ketra Sample" ]; then
  echo "demo: the product folder is still there: the uninstall did not complete."
  exit 1
fi
echo "demo: the product folder, its files, shortcuts, keys, service and INI entries are gone;"
echo "demo: Theme and Mode are back to the values they had before the installation, and the"
echo "demo: device line is commented out. Two things stay by design: KSHARED.DLL, whose shared"
echo "demo: counter reached zero (a silent run keeps such a file and removes its counter), and"
echo "demo: the Program Manager item, because Wine's shell does not describe a group's items,"
echo "demo: so the uninstaller cannot match it."
