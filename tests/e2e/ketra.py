"""Helpers for the end-to-end scenarios: run Windows programs in the test
prefix, map Windows paths to the Linux side, read the registry."""
import contextlib
import os
import subprocess
import tempfile
import time

SOURCE = os.environ.get("KETRA_SOURCE", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
BUILD = os.environ.get("KETRA_BUILD", os.path.join(SOURCE, "build", "win64"))
WINE_RUN = os.path.join(SOURCE, "tools", "wine-run.sh")
ENV = dict(os.environ, BUILD_DIR=BUILD)
PREFIX = os.path.join(BUILD, "wine", "prefix")
# The program under test; the shipped tree's start-up scenarios name a copy
# that carries the test hooks.
PROGRAM = os.environ.get("KETRA_PROGRAM") or os.path.join(BUILD, "UNKETRA32.EXE")


def run(*args, env=None, timeout=60, cwd=None):
    """Runs a Windows program to its end; returns (exit code, output). The
    Linux working folder cwd becomes the program's current directory."""
    e = dict(ENV)
    e.update(env or {})
    # Output through a file: a program started by the one run could hold a
    # pipe open after it ended.
    with tempfile.TemporaryFile() as out:
        p = subprocess.run([WINE_RUN] + list(args), env=e, cwd=cwd, stdout=out,
                           stderr=subprocess.STDOUT, timeout=timeout)
        out.seek(0)
        return p.returncode, out.read().decode("gbk", "replace")


def start(*args, env=None):
    """Starts a Windows program and returns its process."""
    e = dict(ENV)
    e.update(env or {})
    return subprocess.Popen([WINE_RUN] + list(args), env=e, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


def unix(path):
    """The Linux path of a C: path, matched without regard to case."""
    assert path[:3].upper() == "C:\\", path
    at = os.path.join(PREFIX, "drive_c")
    for part in [p for p in path[3:].split("\\") if p]:
        names = os.listdir(at) if os.path.isdir(at) else []
        match = [n for n in names if n.lower() == part.lower()]
        at = os.path.join(at, match[0] if match else part)
    return at


def short_path(path):
    """The system's own short form of an existing path (through a batch
    file: cmd does not take the quotes Wine would put on its arguments)."""
    batch = os.path.join(PREFIX, "drive_c", "ktr_short.bat")
    with open(batch, "wb") as f:
        f.write(('@for %%%%I in ("%s") do @echo %%%%~sI\r\n' % path).encode("gbk"))
    code, out = run("cmd", "/c", "C:\\ktr_short.bat")
    os.remove(batch)
    return out.strip().splitlines()[-1].strip()


def read_trace(path):
    """The [Startup] values the program wrote through KETRA_TRACE."""
    values = {}
    with open(path, "rb") as f:
        for line in f.read().decode("gbk", "replace").splitlines():
            if "=" in line:
                key, value = line.split("=", 1)
                values[key.strip()] = value.strip()
    return values


def pending_renames():
    """PendingFileRenameOperations as text ("" when absent)."""
    code, out = run("reg", "query",
                    "HKLM\\System\\CurrentControlSet\\Control\\Session Manager",
                    "/v", "PendingFileRenameOperations")
    return out if code == 0 else ""


# Wine's per-program setting: the Windows version UNKETRA32.EXE is shown.
APPDEFAULTS = "HKCU\\Software\\Wine\\AppDefaults\\UNKETRA32.EXE"


def presented_version():
    """The Version UNKETRA32.EXE is given ("" for the prefix's default)."""
    code, out = run("reg", "query", APPDEFAULTS, "/v", "Version")
    for line in out.splitlines():
        words = line.split()
        if code == 0 and len(words) == 3 and words[0] == "Version":
            return words[2]
    return ""


@contextlib.contextmanager
def windows_version(name):
    """UNKETRA32.EXE sees the Windows version name (win98, nt40, ...) for
    the block; afterwards the version it saw before (the runs of the shipped
    tree's version matrix set one for a whole scenario)."""
    before = presented_version()
    run("reg", "add", APPDEFAULTS, "/v", "Version", "/d", name, "/f")
    try:
        yield
    finally:
        if before:
            run("reg", "add", APPDEFAULTS, "/v", "Version", "/d", before, "/f")
        else:
            run("reg", "delete", APPDEFAULTS, "/v", "Version", "/f")


def write_ini(path, sections):
    """Writes an INI file (ANSI, CR LF) from {section: {key: value}}."""
    lines = []
    for section, keys in sections.items():
        lines.append("[%s]" % section)
        lines += ["%s=%s" % (k, v) for k, v in keys.items()]
    with open(path, "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("gbk"))


# The exit codes a run ends with. A Linux parent sees only the low byte of a
# Windows exit code; a script run through cmd sees the whole code.
DONE, CANCELLED, FAILED, RESTART_NEEDED = 0, 1602, 1603, 3010


def low_byte(code):
    return code & 0xFF


def wait_for(predicate, seconds=60, step=0.2):
    """True once predicate holds (asked every step seconds); False when it
    still does not after seconds (generous: a busy machine is slow, and a
    wait ends as soon as it holds)."""
    end = time.time() + seconds
    while time.time() < end:
        if predicate():
            return True
        time.sleep(step)
    return predicate()
