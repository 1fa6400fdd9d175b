#!/usr/bin/env python3
"""Lays out the demo product in DEST: SETUP.EXE (the test installer), its
manifest SETUP.TXT and payload/ with every file the manifest copies. The
text files are generated; the programs are the test servers of the build.

usage: make_sample.py TOOLS_DIR DEST"""
import os
import shutil
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
STAMP = time.mktime((2003, 3, 15, 12, 16, 0, 0, 0, -1))


def main(tools, dest):
    shutil.rmtree(dest, ignore_errors=True)
    payload = os.path.join(dest, "payload")
    os.makedirs(payload)
    shutil.copy2(os.path.join(tools, "KSETUP.EXE"), os.path.join(dest, "SETUP.EXE"))
    with open(os.path.join(HERE, "SETUP.TXT"), "rb") as f:
        manifest = f.read().decode().replace("\r\n", "\n").split("\n")
    with open(os.path.join(dest, "SETUP.TXT"), "wb") as f:
        f.write("\r\n".join(manifest).encode())
    tools_for = {"SAMPLE.EXE": "KTSRVEXE.EXE", "KTSRVDLL.DLL": "KTSRVDLL.DLL",
                 "KTSVC.EXE": "KTSVC.EXE"}
    for line in manifest:
        if not line.startswith("copy "):
            continue
        rel = line[5:].split("|")[0].strip()
        target = os.path.join(payload, *rel.split("\\"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if rel in tools_for:
            shutil.copy(os.path.join(tools, tools_for[rel]), target)
        else:
            text = "Ketra Sample Editor: %s\r\n" % rel + "".join(
                "line %d of %s\r\n" % (i, rel) for i in range(len(rel) * 7))
            with open(target, "wb") as f:
                f.write(text.encode())
        os.utime(target, (STAMP, STAMP))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
