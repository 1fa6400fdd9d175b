"""The journal (/L) and the dry run (/N) on the demo product: the journal
names every kind of item with its outcome and a held file as deferred to the
restart; a dry run leaves the machine as it found it."""
import glob
import os
import shutil
import subprocess
import unittest
import uuid

import ketra
import kgui
from kinstall import (BUILD, DRIVE_C, SOURCE, TOOLS, Product, run_wine, tree_snapshot,
                      unix_path, write_bytes)
from test_uninstall import hold_files, pending_renames, reg, reg_export, release_files

PROGRAM = os.path.join(BUILD, "UNKETRA32.EXE")
APP = "C:\\Program Files\\Ketra Sample"
LOG = APP + "\\INSTALL.LOG"
MIF = "KTJOURNL.MIF"
WINDOWS = "C:\\windows"
KEYS = ["HKLM\\Software\\Ketra Sample", "HKCU\\Software\\Ketra Sample", "HKCR\\.smp",
        "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
        "HKLM\\System\\CurrentControlSet\\Services\\KetraSampleSvc"]


def clear_demo():
    """What an earlier demo or scenario left of the demo product."""
    run_wine(["sc", "stop", "KetraSampleSvc"])
    run_wine(["sc", "delete", "KetraSampleSvc"])
    for key in KEYS[:3]:
        reg("delete", key, "/f")
    reg("delete", KEYS[3], "/v", "C:\\windows\\system32\\KSHARED.DLL", "/f")
    shutil.rmtree(unix_path(APP), ignore_errors=True)
    for name in ("KSHARED.DLL", "KSAMPLE.386"):
        path = unix_path(WINDOWS + "\\system32\\" + name)
        if os.path.exists(path):
            os.remove(path)
    for path in glob.glob(os.path.join(DRIVE_C, "users", "*", "**", "Ketra Sample*"),
                          recursive=True) + glob.glob(
            os.path.join(DRIVE_C, "users", "*", "**", "Sample Editor.lnk"), recursive=True):
        if os.path.isdir(path):
            shutil.rmtree(path, ignore_errors=True)
        elif os.path.exists(path):
            os.remove(path)
    for name in (MIF, "WININIT.INI"):
        path = unix_path(WINDOWS + "\\" + name)
        if os.path.exists(path):
            os.remove(path)
    # Earlier runs' temporary copies (they go at a restart).
    for path in temp_copies():
        os.remove(path)
    reg("delete", "HKLM\\System\\CurrentControlSet\\Control\\Session Manager", "/v",
        "PendingFileRenameOperations", "/f")


def run_line(arguments):
    """Runs the program with exactly this command line (Wine would quote and
    escape arguments handed to it one by one) through a batch file."""
    batch = "C:\\KTEST\\run-%s.bat" % uuid.uuid4().hex[:6]
    program = "Z:" + PROGRAM.replace("/", "\\")
    write_bytes(batch, ('@"%s" %s\r\n@exit %%errorlevel%%\r\n' % (program, arguments)).encode("gbk"))
    try:
        return run_wine(["cmd", "/c", batch], timeout=300)
    finally:
        os.remove(unix_path(batch))


def install_demo():
    """The demo product as tools/demo.sh installs it, with a status report."""
    clear_demo()
    reg("add", "HKCU\\Software\\Ketra Sample\\Settings", "/v", "Theme", "/d", "classic", "/f")
    write_bytes(WINDOWS + "\\KSAMPLE.INI", b"[Options]\r\nMode=basic\r\n")
    dest = os.path.join(BUILD, "journal-sample")
    subprocess.run(["python3", os.path.join(SOURCE, "tools", "sample", "make_sample.py"), TOOLS,
                    dest], check=True, capture_output=True)
    with open(os.path.join(dest, "SETUP.TXT"), "ab") as f:
        f.write(("\r\nuninstall-mif %s\r\n" % MIF).encode())
    done = run_wine(["Z:" + os.path.join(dest, "SETUP.EXE").replace("/", "\\")])
    if done.returncode != 0 or not os.path.exists(unix_path(LOG)):
        raise AssertionError("the demo product did not install: " + done.out + done.err)


def system_ini():
    folder = unix_path(WINDOWS)
    names = [n for n in os.listdir(folder) if n.lower() == "system.ini"]
    return os.path.join(folder, names[0]) if names else None


def read(path):
    if not path or not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read()


def temp_copies():
    return sorted(glob.glob(os.path.join(DRIVE_C, "users", "*", "AppData", "Local", "Temp",
                                         "KTR*")) +
                  glob.glob(os.path.join(DRIVE_C, "users", "*", "Temp", "KTR*")) +
                  glob.glob(os.path.join(DRIVE_C, "windows", "temp", "KTR*")))


def machine():
    """Everything of the machine the demo product touches."""
    users = {}
    for path in glob.glob(os.path.join(DRIVE_C, "users", "*", "**", "*Sample*"), recursive=True):
        users[path] = read(path) if os.path.isfile(path) else "folder"
    return {
        "app": tree_snapshot(APP),
        "system": {n: read(unix_path(WINDOWS + "\\system32\\" + n))
                   for n in ("KSHARED.DLL", "KSAMPLE.386")},
        "ini": {n: read(unix_path(WINDOWS + "\\" + n)) for n in ("KSAMPLE.INI", "win.ini")},
        "system.ini": read(system_ini()),
        "wininit": read(unix_path(WINDOWS + "\\WININIT.INI")),
        "report": read(unix_path(WINDOWS + "\\" + MIF)),
        "users": users,
        "temp copies": temp_copies(),
        "keys": {k: reg_export(k) for k in KEYS},
        "pending": pending_renames(),
        "service": run_wine(["sc", "query", "KetraSampleSvc"]).out,
    }


class Journal(unittest.TestCase):
    def setUp(self):
        install_demo()
        self.journal = "C:\\KTEST\\journal %s\\run.txt" % uuid.uuid4().hex[:6]
        os.makedirs(os.path.dirname(unix_path(self.journal)), exist_ok=True)

    def tearDown(self):
        shutil.rmtree(os.path.dirname(unix_path(self.journal)), ignore_errors=True)
        clear_demo()

    def lines(self):
        with open(unix_path(self.journal), "rb") as f:
            text = f.read().decode("utf-8")
        if os.environ.get("KETRA_SHOW_JOURNAL"):
            print(text)
        return text.split("\r\n")

    def test_dry_run_changes_nothing_and_says_what_would_be_done(self):
        before = machine()
        done = run_line('/S /N /L"%s" "%s"' % (self.journal, LOG))
        after = machine()
        for part in before:
            self.assertEqual(before[part], after[part], "the dry run changed " + part)
        self.assertIsNone(after["wininit"])
        self.assertEqual([], after["temp copies"], "a dry run makes no temporary copy")
        self.assertIsNone(after["report"], "a dry run writes no status report")

        lines = self.lines()
        self.assertIn("dry run, nothing is changed", lines[0])
        self.assertTrue(lines[-2].endswith("| exit code %d" % ketra.DONE), lines[-2])
        self.assertEqual(ketra.DONE, done.returncode)
        text = "\n".join(lines)
        for said in ("| file | would be removed | " + APP + "\\README.TXT",
                     "| folder | would be removed", "| value | would be removed",
                     "| service | would be removed | KetraSampleSvc",
                     "| INI entry | would be restored | C:\\windows\\KSAMPLE.INI [Options] Mode",
                     "| counter | would be removed"):
            self.assertIn(said, text)

    def test_a_journal_path_too_long_is_refused_before_any_work(self):
        before = machine()
        long_path = "C:\\KTEST\\" + "j" * 250 + "\\run.txt"
        done = run_line('/S /L"%s" "%s"' % (long_path, LOG))
        # Wine hands the exit code to the Linux side in 8 bits.
        self.assertEqual(1603 & 0xFF, done.returncode & 0xFF)
        self.assertEqual(before, machine(), "a refused command line does nothing")

    def test_journal_names_every_kind_of_item_and_the_held_file(self):
        stop = "C:\\KTEST\\journal-stop-%s" % uuid.uuid4().hex[:6]
        held = APP + "\\LICENSE.TXT"
        holder = hold_files(stop, held)
        try:
            done = run_line('/S /L"%s" "%s"' % (self.journal, LOG))
        finally:
            release_files(stop, holder)
        self.assertIsNotNone(read(unix_path(WINDOWS + "\\" + MIF)),
                             "a real run writes the status report")
        lines = self.lines()
        self.assertRegex(lines[0], r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \| UNKETRA32 ")
        self.assertIn("| command line: /S /L\"%s\" \"%s\"" % (self.journal, LOG), lines[1])
        self.assertIn("| journal: " + self.journal, lines[2])
        self.assertRegex(lines[3], r"\| install log: %s \| \d+ bytes \| 1 installation$" %
                         LOG.replace("\\", "\\\\"))
        self.assertEqual("", lines[-1])
        # The journal has the whole code: a silent run leaves the held file to a restart.
        self.assertRegex(lines[-2], r"\| end \| [1-9]\d* removed, .*, 1 deferred to the restart, "
                                    r".*, 0 failed \| exit code %d$" % ketra.RESTART_NEEDED)
        self.assertEqual(ketra.low_byte(ketra.RESTART_NEEDED), done.returncode)
        text = "\n".join(lines)
        self.assertIn("| files | file | in use: deferred to the restart | " + held, text)
        # The shared library whose counter reached zero: the silent run keeps it, once.
        self.assertEqual(1, text.count("| file | kept (chosen) | C:\\windows\\system32\\KSHARED.DLL"))
        self.assertNotIn("kept (shared)", text)
        kinds = {}
        for line in lines[4:-2]:
            fields = line.split(" | ")
            self.assertGreaterEqual(len(fields), 5, line)
            kinds.setdefault(fields[2], set()).add(fields[3])
        for kind, outcome in (("file", "removed"), ("folder", "removed"), ("key", "removed"),
                              ("value", "removed"), ("value", "restored"),
                              ("INI entry", "restored"), ("INI entry", "removed"),
                              ("service", "removed"), ("link", "removed"),
                              ("counter", "removed"), ("file", "kept (chosen)"),
                              ("program", "started")):
            self.assertIn(outcome, kinds.get(kind, set()), "%s %s in:\n%s" % (kind, outcome, text))
        self.assertIn("Program Manager item", kinds, text)


if __name__ == "__main__":
    unittest.main()


class WizardDryRun(unittest.TestCase):
    """The automatic wizard's dry run ends with its summary and changes nothing."""

    def setUp(self):
        kgui.own_frames(True)
        self.tag = "WDRY%s" % uuid.uuid4().hex[:6]
        self.root = "C:\\KTEST\\" + self.tag
        self.app = self.root + "\\App"
        self.product = Product(self.tag, self.root)

    def tearDown(self):
        kgui.own_frames(False)
        shutil.rmtree(unix_path(self.root), ignore_errors=True)
        shutil.rmtree(unix_path(self.product.src), ignore_errors=True)

    def test_automatic_wizard_shows_what_would_be_done(self):
        self.product.add("a.txt", b"a")
        self.product.add("b.txt", b"b")
        done = self.product.install(["title Dry Wizard", "appdir " + self.app,
                                     "copy a.txt | %APPDIR%\\A.TXT",
                                     "copy b.txt | %APPDIR%\\SUB\\B.TXT"])
        self.assertEqual(0, done.returncode, done.out + done.err)
        before = tree_snapshot(self.root)
        proc = ketra.start(PROGRAM, "/A", "/N", self.app + "\\INSTALL.LOG")
        try:
            gui = kgui.Driver()
            wizard = gui.find("#32770", "Dry Wizard", 30000)
            box = gui.owned(wizard, "#32770", 60000)
            # Two files, the log and three folders; the repair key was never made.
            self.assertEqual("would be: 6 removed, 0 restored, 0 kept, 0 deferred to the restart, "
                             "0 started, 0 lowered, 1 missing, 0 failed", gui.text(box, 65535))
            gui.click(box, 1)
            self.assertEqual(0, proc.wait(timeout=60))
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        self.assertEqual(before, tree_snapshot(self.root))
