#!/usr/bin/env bash
# Prints what the demo product has on the machine: files, shortcuts, keys,
# INI entries, the service, the shared counter and the device line. Runs
# inside the demo's Wine environment (BUILD_DIR set).
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
probe() { "$root/tools/wine-run.sh" "$BUILD_DIR/tools/KPROBE.EXE" "$@" 2>/dev/null | tr -d '\r'; }
app='C:\Program Files\Ketra Sample'
programs=$(probe 'folder|PROGRAMS')
desktop=$(probe 'folder|DESKTOP')
sys='C:\windows\system32'
echo "-- files under $app (size, CRC-32, date, time, path)"
probe "tree|$app" | sed 's/^/   /'
for f in "$sys\\KSHARED.DLL" "$sys\\KSAMPLE.386"; do
  echo "   $(probe "file|$f") $f"
done
echo "-- shortcuts"
probe "tree|$programs\\Ketra Sample" | sed 's/^/   /'
echo "   $(probe "file|$desktop\\Sample Editor.lnk") $desktop\\Sample Editor.lnk"
echo "-- Program Manager group Ketra Sample Tools (items made over DDE)"
items=$(probe "tree|$programs\\Ketra Sample Tools")
echo "${items:-(none)}" | sed 's/^/   /'
echo "-- registry"
{ probe 'regtree|HKLM|Software\Ketra Sample'; probe 'regtree|HKCU|Software\Ketra Sample'
  probe 'regtree|HKCR|.smp'; } | sed 's/^/   /'
echo "   SharedDLLs counter of KSHARED.DLL: $(probe "reg|HKLM|Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs|$sys\\KSHARED.DLL")"
echo "   servers' registrations:"
probe 'regtree|HKCU|Software\KetraTest\SelfReg' | grep -i 'Ketra Sample' | sed 's/^/     /'
echo "-- INI entries"
echo "   SAMPLE.INI [Editor]: $(probe "inisect|$app\\SAMPLE.INI|Editor" | tr '\n' ' ')"
echo "   KSAMPLE.INI [Options] Mode: $(probe 'ini|C:\windows\KSAMPLE.INI|Options|Mode')"
echo "   WIN.INI [Extensions] smp: $(probe 'ini|C:\windows\win.ini|Extensions|smp')"
echo "-- service KetraSampleSvc: $(probe 'service|KetraSampleSvc') (4 = running)"
sysini="$WINEPREFIX/drive_c/windows/$(ls "$WINEPREFIX/drive_c/windows" | grep -i '^system\.ini$' | head -n 1)"
echo "-- SYSTEM.INI device lines: $(grep -i 'KSAMPLE' "$sysini" 2>/dev/null | tr -d '\r' | tr '\n' ' ')"
