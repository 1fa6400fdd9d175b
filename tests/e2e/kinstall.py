"""Helpers for the scenarios that use the test installer: run Windows
programs through tools/wine-run.sh, build products (manifest, payload, a copy
of KSETUP.EXE named SETUP.EXE) in the Wine prefix, and read the machine back
through KPROBE.EXE."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import uuid
import zlib

SOURCE = os.environ.get("KETRA_SOURCE") or os.path.abspath(
    os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.environ.get("KETRA_BUILD") or os.path.join(SOURCE, "build", "win64")
TOOLS = os.path.join(BUILD, "tools")
PREFIX = os.environ.get("KETRA_WINEPREFIX") or os.path.join(BUILD, "wine", "prefix")
DRIVE_C = os.path.join(PREFIX, "drive_c")
WINE_RUN = os.path.join(SOURCE, "tools", "wine-run.sh")

# A fixed, even-second stamp for payload files (local time).
STAMP = time.mktime((2003, 3, 15, 12, 16, 0, 0, 0, -1))


def unix_path(win):
    """C:\\A\\B -> <prefix>/drive_c/A/B"""
    assert win[:3].upper() == "C:\\", win
    return os.path.join(DRIVE_C, *win[3:].split("\\"))


def run_wine(args, env=None, timeout=180):
    """Runs a Windows program to its end. Its output goes through files, not
    pipes: programs it starts (Wine's shell opens a folder window for a
    Program Manager group) would hold a pipe open long after it ended."""
    full = dict(os.environ, BUILD_DIR=BUILD)
    full.update(env or {})
    for attempt in range(3):
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            done = subprocess.run([WINE_RUN] + list(args), stdout=out, stderr=err, env=full,
                                  timeout=timeout)
            out.seek(0)
            err.seek(0)
            done.stdout, done.stderr = out.read(), err.read()
        done.out = done.stdout.decode("gbk", "replace")
        done.err = done.stderr.decode("gbk", "replace")
        if not never_started(done):
            break
        # Wine's own launcher could not start the program (seen on a busy
        # machine while the session's desktop comes up): the program never
        # ran, so it is started again once the session takes processes.
        sys.stderr.write("run_wine: Wine did not start %s; starting it again\n" % args[0])
        time.sleep(2)
    return done


def never_started(done):
    """Wine's launcher says it could not start the program (its message is
    the same in every language but for the function's name)."""
    return done.returncode == 1 and "ShellExecuteEx" in done.out + done.err


def probe(*commands):
    """Runs KPROBE.EXE over the commands (one process) and returns its lines."""
    os.makedirs(os.path.join(DRIVE_C, "KTEST"), exist_ok=True)
    name = "probe-%s.txt" % uuid.uuid4().hex[:8]
    path = os.path.join(DRIVE_C, "KTEST", name)
    with open(path, "wb") as f:
        f.write("\r\n".join(commands).encode("gbk") + b"\r\n")
    try:
        done = run_wine([os.path.join(TOOLS, "KPROBE.EXE"), "@C:\\KTEST\\" + name])
    finally:
        os.remove(path)
    return done.out.replace("\r", "").rstrip("\n").split("\n")


def dos_stamp(seconds):
    """MM-DD-YYYY and HH:MM:SS of a file time as the DOS form keeps it."""
    t = time.localtime(seconds)
    return ("%02d-%02d-%04d" % (t.tm_mon, t.tm_mday, t.tm_year),
            "%02d:%02d:%02d" % (t.tm_hour, t.tm_min, t.tm_sec // 2 * 2))


def repair_data(data, seconds, version="0.0.0.0"):
    date, clock = dos_stamp(seconds)
    return " %s | %s | %s | %d | %08x" % (date, clock, version, len(data),
                                          zlib.crc32(data) if data else 0)


def read_bytes(win):
    with open(unix_path(win), "rb") as f:
        return f.read()


def write_bytes(win, data, seconds=None):
    path = unix_path(win)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    if seconds is not None:
        os.utime(path, (seconds, seconds))


class Product:
    """One product source folder: SETUP.EXE, SETUP.TXT and payload/."""

    def __init__(self, tag, root):
        self.tag = tag
        self.src = "C:\\KTSRC\\" + tag
        self.root = root
        os.makedirs(unix_path(self.src + "\\payload"), exist_ok=True)
        shutil.copy2(os.path.join(TOOLS, "KSETUP.EXE"), unix_path(self.src + "\\SETUP.EXE"))
        self.payload = {}

    def add(self, rel, data, seconds=STAMP):
        self.payload[rel] = (data, seconds)
        write_bytes(self.src + "\\payload\\" + rel, data, seconds)

    def add_tool(self, rel, name):
        with open(os.path.join(TOOLS, name), "rb") as f:
            self.add(rel, f.read())

    def source_line(self):
        setup = unix_path(self.src + "\\SETUP.EXE")
        date, clock = dos_stamp(os.stat(setup).st_mtime)
        return "Source: %s\\SETUP.EXE | %s | %s | %d" % (self.src, date, clock,
                                                        os.path.getsize(setup))

    def install(self, manifest, env=None, *extra):
        write_bytes(self.src + "\\SETUP.TXT", "\r\n".join(manifest).encode("gbk") + b"\r\n")
        return run_wine([self.src + "\\SETUP.EXE"] + list(extra), env=env)


class ProductCase(unittest.TestCase):
    """A scenario with its own folder C:\\KTEST\\<tag>, a product whose
    source lies beside it, and clean-up steps taken in reverse order."""

    def make_product(self, tag):
        self.tag = tag
        self.root = "C:\\KTEST\\" + tag
        os.makedirs(unix_path(self.root), exist_ok=True)
        self.product = Product(tag, self.root)
        self.cleanups = []

    def run_cleanups(self):
        for step in reversed(self.cleanups):
            step()

    def remove_product_folders(self):
        shutil.rmtree(unix_path(self.root), ignore_errors=True)
        shutil.rmtree(unix_path(self.product.src), ignore_errors=True)


def system_folder(program):
    """The System folder a program sees: a 32-bit one's System32 is
    SysWOW64 in a 64-bit prefix."""
    with open(program, "rb") as f:
        head = f.read(4096)
    pe = int.from_bytes(head[0x3C:0x40], "little")
    i386 = head[pe + 4:pe + 6] == b"\x4c\x01"
    return "C:\\windows\\" + ("syswow64" if i386 else "system32")


def replace_system_library(program, name, standin):
    """Puts a stand-in in place of a library of the System folder the
    program sees; returns the step that puts the original back."""
    folder = os.path.join(DRIVE_C, "windows", system_folder(program).split("\\")[-1])
    match = [n for n in os.listdir(folder) if n.lower() == name.lower()]
    target = os.path.join(folder, match[0] if match else name)
    saved = None
    if os.path.exists(target):
        with open(target, "rb") as f:
            saved = f.read()
    shutil.copy(standin, target)

    def restore():
        if saved is None:
            os.remove(target)
        else:
            with open(target, "wb") as f:
                f.write(saved)
    return restore


def log_lines(win_log):
    data = read_bytes(win_log)
    return data, data.decode("gbk").split("\r\n")


def restart_session():
    """A new Wine session on the same display, as a restart of the machine:
    pending file operations are carried out and the desktop comes back (a
    restart program run by a test ends the session's processes)."""
    done = subprocess.run([os.path.join(SOURCE, "tools", "wine-session.sh"), "restart"],
                          env=dict(os.environ, BUILD_DIR=BUILD), capture_output=True, timeout=300)
    if done.returncode != 0:
        raise RuntimeError("the Wine session was not renewed: %s" % done.stderr.decode(errors="replace"))


def expected_report(values):
    """The built-in status report template, as the program keeps it, with
    the eight placeholder values filled in."""
    with open(os.path.join(SOURCE, "app", "status_report.cpp"), encoding="utf-8") as f:
        body = f.read().split("BuiltInReportTemplate[] =")[1].split(";")[0]
    lines = re.findall(r'"((?:[^"\\]|\\.)*)\\r\\n"', body)
    text = "".join(l.replace('\\"', '"') + "\r\n" for l in lines)
    for n, v in enumerate(values, 1):
        text = text.replace("%%%d%%" % n, v)
    return text


def tree_snapshot(win_root):
    """Relative path -> bytes, "link -> target", or None for a folder, of
    everything below a folder; links are listed and never followed. None
    when the folder is gone."""
    base = unix_path(win_root)
    if not os.path.isdir(base):
        return None
    snap = {}
    for top, dirs, files in os.walk(base):
        rel_top = os.path.relpath(top, base)
        snap[rel_top + "/"] = None
        for name in dirs + files:
            full = os.path.join(top, name)
            rel = os.path.join(rel_top, name)
            if os.path.islink(full):
                snap[rel] = "link -> " + os.readlink(full)
            elif os.path.isfile(full):
                with open(full, "rb") as h:
                    snap[rel] = h.read()
    return snap
