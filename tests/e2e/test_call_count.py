"""A count, not a timing: a silent uninstall calls the system's file
functions at most twice per removed file (the reader's look at whether the
file is there, and the deletion), whatever the product's size. Traced with
Wine's relay channel, limited to the file functions of kernel32; of those,
the calls the program itself makes count (their return address lies in
its image). The log names the folders in their short
form, as logs of older installations do. The products differ only in the
number of files per folder, so what the run does once, or once per folder,
cancels out."""
import collections
import os
import re
import shutil
import unittest
import uuid

from kinstall import BUILD, probe, run_wine, unix_path

PROGRAM = os.path.join(BUILD, "UNKETRA32.EXE")
DEBUG_KEY = "HKCU\\Software\\Wine\\Debug"
FILE_FUNCTIONS = ["DeleteFileA", "GetFileAttributesA", "SetFileAttributesA", "FindFirstFileA",
                  "FindNextFileA", "FindClose", "CreateFileA", "CopyFileA", "MoveFileA",
                  "MoveFileExA", "RemoveDirectoryA", "CreateDirectoryA",
                  "GetFinalPathNameByHandleA", "GetFullPathNameA", "GetLongPathNameA",
                  "GetShortPathNameA", "GetFileAttributesExA", "_lopen", "_lcreat", "OpenFile"]
FOLDERS = 4
SMALL, LARGE = 25, 100
LIMIT = 2.0


def image_range(program):
    """Where the program's image lies once loaded (at its preferred base)."""
    with open(program, "rb") as f:
        head = f.read(4096)
    pe = int.from_bytes(head[0x3C:0x40], "little")
    optional = pe + 24
    plus = head[optional:optional + 2] == b"\x0b\x02"
    base = int.from_bytes(head[optional + 24:optional + 32], "little") if plus else \
        int.from_bytes(head[optional + 28:optional + 32], "little")
    size = int.from_bytes(head[optional + 56:optional + 60], "little")
    return base, base + size


def file_calls(trace, program):
    """Calls of each file function in a relay trace that the program itself
    made (the shell's own calls on its behalf are not the program's)."""
    low, high = image_range(program)
    calls = collections.Counter()
    pattern = re.compile(r"Call (?:KERNEL32|KERNELBASE|kernel32|kernelbase)\.(\w+)\(.*"
                         r"ret=([0-9a-fA-F]+)\s*$")
    for line in trace.splitlines():
        found = pattern.search(line)
        if found and found.group(1) in FILE_FUNCTIONS and low <= int(found.group(2), 16) < high:
            calls[found.group(1)] += 1
    return calls


def traced_uninstall(root, per_folder, program):
    """Lays out a product of FOLDERS folders of per_folder files below root,
    uninstalls it silently with the relay channel on; (exit code, whether
    the product is gone, the file functions the program called)."""
    app = "%s\\App%d" % (root, per_folder)
    lines = ["*** Installation log", "Title: Count %d" % per_folder, "Made Dir: " + app]
    folders = ["%s\\Folder %d" % (app, f) for f in range(FOLDERS)]
    for folder in folders:
        os.makedirs(unix_path(folder))
    for folder, short in zip(folders, probe(*("short|" + f for f in folders))):
        lines.append("Made Dir: " + folder)
        for i in range(per_folder):
            name = "File %05d.dat" % i
            with open(unix_path(folder + "\\" + name), "wb") as out:
                out.write(b"x" * 64)
            lines.append("File Copy: %s\\%s" % (short.strip(), name))
    with open(unix_path(app + "\\INSTALL.LOG"), "wb") as out:
        out.write(("\r\n".join(lines) + "\r\n").encode("ascii"))
    run_wine(["reg", "add", DEBUG_KEY, "/v", "RelayInclude", "/d", ";".join(FILE_FUNCTIONS),
              "/f"])
    try:
        done = run_wine([program, "/S", app + "\\INSTALL.LOG"],
                        env={"KETRA_WINEDEBUG": "+relay"}, timeout=600)
    finally:
        run_wine(["reg", "delete", DEBUG_KEY, "/v", "RelayInclude", "/f"])
    return done.returncode, not os.path.exists(unix_path(app)), file_calls(done.err, program)


def calls_per_removed_file(root, program):
    """The file functions called per removed file, in all and by name."""
    _, _, fewer = traced_uninstall(root, SMALL, program)
    _, _, more = traced_uninstall(root, LARGE, program)
    files = FOLDERS * (LARGE - SMALL)
    per_file = {n: (more[n] - fewer[n]) / files for n in set(more) | set(fewer)}
    return sum(per_file.values()), {n: c for n, c in per_file.items() if c}


class CallCount(unittest.TestCase):
    def setUp(self):
        self.root = "C:\\KTEST\\count" + uuid.uuid4().hex[:6]
        os.makedirs(unix_path(self.root))

    def tearDown(self):
        shutil.rmtree(unix_path(self.root), ignore_errors=True)

    def test_a_removed_file_costs_at_most_two_calls(self):
        counts = {}
        for per_folder in (SMALL, LARGE):
            code, gone, calls = traced_uninstall(self.root, per_folder, PROGRAM)
            self.assertEqual(0, code)
            self.assertTrue(gone, "expected the product gone")
            self.assertGreater(calls["DeleteFileA"], FOLDERS * per_folder,
                               "expected the trace to show every deletion")
            counts[per_folder] = calls
        files = FOLDERS * (LARGE - SMALL)
        per_file = {n: (counts[LARGE][n] - counts[SMALL][n]) / files
                    for n in set(counts[LARGE]) | set(counts[SMALL])}
        total = sum(per_file.values())
        breakdown = ", ".join("%s %.2f" % (n, c) for n, c in sorted(per_file.items()) if c)
        print("\nfile calls per removed file: %.2f (%s)" % (total, breakdown))
        self.assertLessEqual(total, LIMIT, "expected at most %.0f calls per removed file, got "
                             "%.2f: %s" % (LIMIT, total, breakdown))


if __name__ == "__main__":
    unittest.main()
