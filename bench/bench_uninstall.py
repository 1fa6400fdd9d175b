#!/usr/bin/env python3
"""Silent uninstall of 1,000 and 10,000 files (and a tenth as many registry
values) under Wine, against a floor measured in the same run: a bare program
that only calls DeleteFileA on the same files, once in a tight loop and
once waiting for a timer tick after every deletion as the uninstaller's
progress reports do. Prints figures; asserts nothing. Run after tools/build.sh with the Wine session up:
    BUILD_DIR=build/win64 tools/wine-session.sh start
    python3 bench/bench_uninstall.py [counts...]"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "e2e"))
from kinstall import BUILD, TOOLS, run_wine, unix_path  # noqa: E402

PROGRAM = os.path.join(BUILD, "UNKETRA32.EXE")


def lay_out(count):
    """Files C:\\KBENCH\\<count>\\Dnn\\Fnnnn.DAT, their log and their values."""
    root = "C:\\KBENCH\\%d" % count
    base = unix_path(root)
    subprocess.run(["rm", "-rf", base])
    os.makedirs(base)
    paths = []
    for i in range(count):
        folder = "D%03d" % (i // 100)
        os.makedirs(os.path.join(base, folder), exist_ok=True)
        with open(os.path.join(base, folder, "F%05d.DAT" % i), "wb") as f:
            f.write(b"x" * 64)
        paths.append("%s\\%s\\F%05d.DAT" % (root, folder, i))
    key = "Software\\KetraBench\\%d" % count
    lines = ["*** Installation log", "Title: Bench %d" % count, "Made Dir: " + root]
    lines += ["File Copy: " + p for p in paths]
    reg = ["REGEDIT4", ""]
    for v in range(count // 10):
        sub = "%s\\K%03d" % (key, v // 50)
        lines += ["RegDB Key: " + sub, "RegDB Val: data %d" % v, "RegDB Name: V%05d" % v,
                  "RegDB Type: 0", "RegDB Root: 1"]
        reg += ["[HKEY_CURRENT_USER\\%s]" % sub, '"V%05d"="data %d"' % (v, v), ""]
    with open(os.path.join(base, "INSTALL.LOG"), "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("ascii"))
    with open(os.path.join(base, "values.reg"), "wb") as f:
        f.write(("\r\n".join(reg) + "\r\n").encode("ascii"))
    run_wine(["reg", "import", root + "\\values.reg"])
    os.remove(os.path.join(base, "values.reg"))
    # Both runs delete files already written to disk: the system writes new
    # files out about 30 s after they were made, and deleting a written file
    # costs more than deleting one still only in memory. Without this the
    # floor (a second long) would meet only fresh files, the uninstall (two
    # minutes at 10,000 files) mostly written ones.
    os.sync()
    return root, paths


def floor(count, paced=False):
    """Files deleted and seconds spent in DeleteFileA. Paced: a timer tick is
    waited for after every deletion, as after every progress report."""
    root, paths = lay_out(count)
    listing = unix_path(root + "\\list.txt")
    with open(listing, "wb") as f:
        f.write(("\r\n".join(paths) + "\r\n").encode("ascii"))
    args = [os.path.join(TOOLS, "KDELALL.EXE"), root + "\\list.txt"] + (["/PACED"] if paced else [])
    out = run_wine(args, timeout=3600).out.split()
    return int(out[0]), int(out[1]) / 1000.0


def uninstall(count):
    root, paths = lay_out(count)
    trace = "C:\\KBENCH\\trace-%d.ini" % count
    if os.path.exists(unix_path(trace)):
        os.remove(unix_path(trace))
    started = time.time()
    run_wine([PROGRAM, "/S", root + "\\INSTALL.LOG"], env={"KETRA_TRACE": trace}, timeout=3600)
    total = time.time() - started
    waits = 0.0
    with open(unix_path(trace), "rb") as f:
        for line in f.read().decode("ascii", "replace").splitlines():
            if line.startswith("WaitMilliseconds="):
                waits = int(line.split("=")[1]) / 1000.0
    left = sum(1 for p in paths if os.path.exists(unix_path(p)))
    return total, waits, left


def main():
    counts = [int(a) for a in sys.argv[1:]] or [1000, 10000]
    startup, _, _ = uninstall(0)
    print("process start and end of an empty run: %.2f s" % startup)
    for count in counts:
        deleted, floor_seconds = floor(count)
        paced_deleted, paced_seconds = floor(count, paced=True)
        total, waits, left = uninstall(count)
        engine = max(total - waits - startup, 1e-6)
        print("%6d files: floor %.0f files/s (%d deleted in %.2f s)" %
              (count, deleted / max(floor_seconds, 1e-6), deleted, floor_seconds))
        print("%6d files: UNKETRA32 /S %.2f s in all = %.0f files/s; waits for timer ticks "
              "%.2f s (%.1f ms a report); engine's own work %.2f s = %.0f files/s "
              "(%.2f of the floor's rate); %d files left" %
              (count, total, count / total, waits, 1000.0 * waits / max(count, 1), engine,
               count / engine, (count / engine) / (deleted / max(floor_seconds, 1e-6)), left))
        paced_rate = paced_deleted / max(paced_seconds, 1e-6)
        print("%6d files: floor with a timer tick after every deletion: DeleteFileA alone "
              "%.0f files/s (%.2f ms a call); engine's own work at %.2f of that rate" %
              (count, paced_rate, 1000.0 * paced_seconds / max(paced_deleted, 1),
               (count / engine) / paced_rate))


if __name__ == "__main__":
    main()
