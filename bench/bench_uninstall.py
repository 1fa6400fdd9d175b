#!/usr/bin/env python3
"""Uninstall of N files of 1 KiB in N/100 folders with N/10 registry values,
under Wine, in one interleaved run of these contenders:

  floor     KDELALL: a bare loop of DeleteFileA and RegDeleteValueA calls
            over the same items, nothing else;
  /S        UNKETRA32.EXE /S, the silent uninstall;
  /A        UNKETRA32.EXE /A, the visible automatic run, whose progress
            reports wait for a timer tick each (reported apart, with a floor
            that waits for a tick after every deletion too);
  peer      the same product as an MSI package built with wixl, removed by
            Wine's msiexec /x /qn.

Wall times are whole processes, start to end. Before the timed rounds,
each program's calls into the file functions of kernel32 per removed file
are counted under Wine's relay channel (as tests/e2e/test_call_count.py
counts them; --no-count skips it). Prints figures; asserts nothing. Run after tools/build.sh with the Wine session up:
    BUILD_DIR=build/win64 tools/wine-session.sh start
    python3 bench/bench_uninstall.py [--rounds R] [--no-visible] [--no-peer]
        [--program NAME=PATH ...] [--install-wixl] [--no-count] [counts...]
--program adds another build of UNKETRA32.EXE as a contender (for a before
and after). The peer needs Debian's wixl; --install-wixl installs it with
apt-get when it is missing (by hand only), else the peer is skipped."""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time
import uuid

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "e2e"))
from kinstall import BUILD, TOOLS, run_wine, unix_path  # noqa: E402
from test_call_count import calls_per_removed_file  # noqa: E402

PROGRAM = os.path.join(BUILD, "UNKETRA32.EXE")
WORK = os.path.join(BUILD, "bench")
FILE_DATA = b"x" * 1024
VALUES_PER_KEY = 50


def items(count):
    """Relative file paths, and (key, name, data) of the values."""
    files = ["D%03d\\F%05d.DAT" % (i // 100, i) for i in range(count)]
    values = [("K%03d" % (v // VALUES_PER_KEY), "V%05d" % v, "data %d" % v)
              for v in range(count // 10)]
    return files, values


def write_files(base, files):
    for rel in files:
        path = os.path.join(base, *rel.split("\\"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(FILE_DATA)


def import_values(key, values):
    reg = ["REGEDIT4", ""]
    for sub, name, data in values:
        reg += ["[HKEY_CURRENT_USER\\%s\\%s]" % (key, sub), '"%s"="%s"' % (name, data), ""]
    name = "C:\\KBENCH\\values-%s.reg" % uuid.uuid4().hex[:8]
    with open(unix_path(name), "wb") as f:
        f.write(("\r\n".join(reg) + "\r\n").encode("ascii"))
    run_wine(["reg", "import", name])
    os.remove(unix_path(name))


def lay_out(count):
    """Files C:\\KBENCH\\<count>\\Dnnn\\Fnnnnn.DAT, their log and their values."""
    root = "C:\\KBENCH\\%d" % count
    base = unix_path(root)
    subprocess.run(["rm", "-rf", base])
    os.makedirs(base)
    files, values = items(count)
    write_files(base, files)
    key = "Software\\KetraBench\\%d" % count
    lines = ["*** Installation log", "Title: Bench %d" % count, "Made Dir: " + root]
    lines += ["File Copy: %s\\%s" % (root, rel) for rel in files]
    for sub, name, data in values:
        lines += ["RegDB Key: %s\\%s" % (key, sub), "RegDB Val: " + data, "RegDB Name: " + name,
                  "RegDB Type: 0", "RegDB Root: 1"]
    with open(os.path.join(base, "INSTALL.LOG"), "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("ascii"))
    import_values(key, values)
    # Every contender deletes files already written to disk: the system
    # writes new files out about 30 s after they were made, and deleting a
    # written file costs more than deleting one still only in memory.
    os.sync()
    paths = ["%s\\%s" % (root, rel) for rel in files]
    value_items = ["HKCU\\%s\\%s\t%s" % (key, sub, name) for sub, name, _ in values]
    return root, paths, value_items


def existing(paths):
    return sum(1 for p in paths if os.path.exists(unix_path(p)))


def timed(args, env=None):
    started = time.time()
    done = run_wine(args, env=env, timeout=3600)
    return time.time() - started, done


def floor(count, paced=False):
    root, paths, values = lay_out(count)
    listing = root + "\\list.txt"
    with open(unix_path(listing), "wb") as f:
        f.write(("\r\n".join(paths + values) + "\r\n").encode("ascii"))
    args = [os.path.join(TOOLS, "KDELALL.EXE"), listing] + (["/PACED"] if paced else [])
    wall, done = timed(args)
    out = done.out.split()
    return {"wall": wall, "files": int(out[0]), "delete": int(out[1]) / 1000.0,
            "waits": int(out[2]) / 1000.0, "values": int(out[3]),
            "value_time": int(out[4]) / 1000.0, "left": existing(paths)}


def uninstall(program, count, option):
    root, paths, _ = lay_out(count)
    trace = "C:\\KBENCH\\trace-%d.ini" % count
    if os.path.exists(unix_path(trace)):
        os.remove(unix_path(trace))
    wall, _ = timed([program, option, root + "\\INSTALL.LOG"], env={"KETRA_TRACE": trace})
    waits, notices = 0.0, -1
    if os.path.exists(unix_path(trace)):
        with open(unix_path(trace), "rb") as f:
            for line in f.read().decode("ascii", "replace").splitlines():
                if line.startswith("WaitMilliseconds="):
                    waits = int(line.split("=")[1]) / 1000.0
                if line.startswith("ShellNotices="):
                    notices = int(line.split("=")[1])
    return {"wall": wall, "waits": waits, "notices": notices, "left": existing(paths)}


# The peer: the same product as an MSI package.

def have_wixl(install):
    if shutil.which("wixl"):
        return True
    if not install:
        return False
    subprocess.run(["apt-get", "install", "-y", "wixl"], stdout=subprocess.DEVNULL)
    return shutil.which("wixl") is not None


def build_msi(count):
    """The product as C:\\KBENCH\\peer-<count>.msi, installing into
    C:\\KBENCHMSI\\<count>; built once and kept in the build folder."""
    msi = os.path.join(WORK, "peer-%d.msi" % count)
    if not os.path.exists(msi):
        payload = os.path.join(WORK, "payload-%d" % count)
        subprocess.run(["rm", "-rf", payload])
        files, values = items(count)
        write_files(payload, files)
        out = ['<?xml version="1.0" encoding="utf-8"?>',
               '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">',
               '<Product Id="*" Name="Ketra Bench %d" Language="1033" Version="1.0.0" '
               'Manufacturer="Ketra Bench" UpgradeCode="%s">' % (count, uuid.uuid4()),
               '<Package InstallerVersion="200" Compressed="yes"/>',
               '<Media Id="1" Cabinet="bench.cab" EmbedCab="yes"/>',
               '<Directory Id="TARGETDIR" Name="SourceDir">',
               '<Directory Id="BENCHTOP" Name="KBENCHMSI">',
               '<Directory Id="BENCHDIR" Name="%d">' % count]
        refs = []
        for folder in sorted({rel.split("\\")[0] for rel in files}):
            out.append('<Directory Id="%s" Name="%s">' % (folder, folder))
            out.append('<Component Id="C%s" Guid="%s">' % (folder, uuid.uuid4()))
            refs.append("C" + folder)
            first = True
            for rel in files:
                if rel.split("\\")[0] != folder:
                    continue
                name = rel.split("\\")[1]
                out.append('<File Id="%s" Name="%s" Source="%s"%s/>' %
                           (name.replace(".", "_"), name, folder + "/" + name,
                            ' KeyPath="yes"' if first else ""))
                first = False
            out += ["</Component>", "</Directory>"]
        keys = sorted({sub for sub, _, _ in values})
        for sub in keys:
            out.append('<Component Id="R%s" Guid="%s">' % (sub, uuid.uuid4()))
            refs.append("R" + sub)
            first = True
            for s, name, data in values:
                if s != sub:
                    continue
                out.append('<RegistryValue Root="HKCU" Key="Software\\KetraBenchMsi\\%d\\%s" '
                           'Name="%s" Value="%s" Type="string"%s/>' %
                           (count, sub, name, data, ' KeyPath="yes"' if first else ""))
                first = False
            out.append("</Component>")
        out += ["</Directory>", "</Directory>", "</Directory>", '<Feature Id="All" Level="1">']
        out += ['<ComponentRef Id="%s"/>' % r for r in refs]
        out += ["</Feature>", "</Product>", "</Wix>"]
        wxs = os.path.join(payload, "peer.wxs")
        with open(wxs, "w") as f:
            f.write("\n".join(out) + "\n")
        # Sources are named relative to the payload folder.
        subprocess.run(["wixl", "-o", msi, wxs], check=True, stdout=subprocess.DEVNULL, cwd=payload)
        shutil.rmtree(payload)
    win = "C:\\KBENCH\\peer-%d.msi" % count
    os.makedirs(os.path.dirname(unix_path(win)), exist_ok=True)
    shutil.copyfile(msi, unix_path(win))
    return win


def peer(count):
    msi = build_msi(count)
    paths = ["C:\\KBENCHMSI\\%d\\%s" % (count, rel) for rel in items(count)[0]]
    subprocess.run(["rm", "-rf", unix_path("C:\\KBENCHMSI\\%d" % count)])
    run_wine(["msiexec", "/i", msi, "/qn"], timeout=3600)
    installed = existing(paths)
    if installed == 0:
        # Left registered by an interrupted run: take it away and start again.
        run_wine(["msiexec", "/x", msi, "/qn"], timeout=3600)
        run_wine(["msiexec", "/i", msi, "/qn"], timeout=3600)
        installed = existing(paths)
    os.sync()
    wall, _ = timed(["msiexec", "/x", msi, "/qn"])
    return {"wall": wall, "installed": installed, "left": existing(paths)}


def median(runs, key):
    return statistics.median(r[key] for r in runs)


def rounds(runs):
    """Each round's wall time, in the order they ran."""
    return "rounds " + " ".join("%.2f" % r["wall"] for r in runs)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("counts", nargs="*", type=int, default=[1000, 10000])
    parser.add_argument("--rounds", type=int, default=1)
    parser.add_argument("--no-visible", action="store_true")
    parser.add_argument("--no-peer", action="store_true")
    parser.add_argument("--install-wixl", action="store_true")
    parser.add_argument("--no-count", action="store_true")
    parser.add_argument("--program", action="append", default=[],
                        help="NAME=PATH of another UNKETRA32.EXE to time with /S")
    args = parser.parse_args()
    os.makedirs(WORK, exist_ok=True)
    os.makedirs(unix_path("C:\\KBENCH"), exist_ok=True)
    programs = [("UNKETRA32", PROGRAM)] + [tuple(p.split("=", 1)) for p in args.program]
    use_peer = not args.no_peer and have_wixl(args.install_wixl)
    if not args.no_peer and not use_peer:
        print("peer skipped: wixl is not installed (apt-get install wixl, or --install-wixl)")

    if not args.no_count:
        for name, path in programs:
            root = "C:\\KBENCH\\count-%s" % uuid.uuid4().hex[:6]
            os.makedirs(unix_path(root))
            total, by_name = calls_per_removed_file(root, path)
            shutil.rmtree(unix_path(root), ignore_errors=True)
            print("%s: file calls per removed file: %.2f (%s)" % (
                name, total, ", ".join("%s %.2f" % kv for kv in sorted(by_name.items()))))

    startup = {name: uninstall(path, 0, "/S")["wall"] for name, path in programs}
    for name in startup:
        print("%s: process start and end of an empty run: %.2f s" % (name, startup[name]))

    for count in args.counts:
        runs = {}
        for _ in range(args.rounds):
            runs.setdefault("floor", []).append(floor(count))
            for name, path in programs:
                runs.setdefault(name + " /S", []).append(uninstall(path, count, "/S"))
            if use_peer:
                runs.setdefault("peer", []).append(peer(count))
            if not args.no_visible:
                runs.setdefault("paced floor", []).append(floor(count, paced=True))
                runs.setdefault("UNKETRA32 /A", []).append(uninstall(PROGRAM, count, "/A"))

        f = runs["floor"]
        floor_wall = median(f, "wall")
        print("%6d files, %d values, %d rounds (medians):" % (count, count // 10, args.rounds))
        print("  floor          %7.2f s wall (DeleteFileA %.2f s, RegDeleteValueA %.2f s; "
              "%d files and %d values deleted; %s)" %
              (floor_wall, median(f, "delete"), median(f, "value_time"), f[0]["files"],
               f[0]["values"], rounds(f)))
        for name, _ in programs:
            r = runs[name + " /S"]
            wall = median(r, "wall")
            notices = median(r, "notices")
            print("  %-14s %7.2f s wall = %.2fx the floor; timer waits %.2f s; shell notices %s; "
                  "%d files left; %s" % (name + " /S", wall, wall / floor_wall, median(r, "waits"),
                                         "%d" % notices if notices >= 0 else "not counted",
                                         r[0]["left"], rounds(r)))
        if use_peer:
            r = runs["peer"]
            wall = median(r, "wall")
            print("  peer msiexec   %7.2f s wall = %.2fx the floor (/x /qn; %d files installed, "
                  "%d left; %s)" % (wall, wall / floor_wall, r[0]["installed"], r[0]["left"],
                                    rounds(r)))
        if not args.no_visible:
            p = runs["paced floor"]
            r = runs["UNKETRA32 /A"]
            wall, waits = median(r, "wall"), median(r, "waits")
            print("  visible run    %7.2f s wall, of it %.2f s timer waits (%.1f ms a report); "
                  "%d files left" % (wall, waits, 1000.0 * waits / max(count, 1), r[0]["left"]))
            print("  paced floor    %7.2f s wall, of it %.2f s timer waits (%.1f ms a deletion)" %
                  (median(p, "wall"), median(p, "waits"), 1000.0 * median(p, "waits") / count))


if __name__ == "__main__":
    main()
