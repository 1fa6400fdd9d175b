"""What the program takes from outside and hands on: the status report's
name from the log, libraries looked up at run time, the hand-over to the
temporary copy, the clean-up stage's command line, and the test hooks,
which the shipped program must not carry."""
import os
import shutil
import subprocess
import unittest
import uuid

import ketra
from kinstall import (BUILD, TOOLS, ProductCase, read_bytes, restart_session, run_wine, unix_path,
                      write_bytes)

PROGRAM = os.path.join(BUILD, "UNKETRA32.EXE")
# The shipped program: the 32-bit build beside the test build.
SHIPPED = os.path.join(os.path.dirname(BUILD), "win32", "UNKETRA32.EXE")
WINDOWS = "C:\\windows"


def setUpModule():
    # A fresh session: an earlier test may have restarted the machine.
    restart_session()


def wait_until(predicate, seconds=20):
    return ketra.wait_for(predicate, seconds, step=0.1)


class EdgeCase(ProductCase):
    def setUp(self):
        self.make_product(self.id().split(".")[-1][5:11] + uuid.uuid4().hex[:6])

    def tearDown(self):
        self.run_cleanups()
        # A failed case leaves its folders for a look.
        outcome = getattr(self, "_outcome", None)
        if getattr(outcome, "success", False):
            self.remove_product_folders()

    def exists(self, win):
        return os.path.exists(ketra.unix(win))

    def remove_later(self, win):
        path = ketra.unix(win)
        self.cleanups.append(lambda: os.path.exists(path) and os.remove(path))

    def install(self, manifest):
        done = self.product.install(manifest)
        self.assertEqual(0, done.returncode, done.out + done.err)


class ReportName(EdgeCase):
    def test_folder_parts_of_the_report_name_are_dropped(self):
        # The log names a file outside the Windows folder; only its name counts.
        victim = self.root + "\\VICTIM%s.TXT" % self.tag
        write_bytes(victim, b"precious")
        name = "VICTIM%s.TXT" % self.tag
        self.remove_later(WINDOWS + "\\" + name)
        self.product.add("a.txt", b"a")
        app = self.root + "\\App"
        self.install(["title Named", "appdir " + app, "product Named",
                      "uninstall-mif ..\\KTEST\\%s\\%s" % (self.tag, name),
                      "copy a.txt | %APPDIR%\\A.TXT"])
        run_wine([PROGRAM, "/S", app + "\\INSTALL.LOG"])
        self.assertEqual(b"precious", read_bytes(victim), "the report overwrote a file outside")
        self.assertFalse(self.exists(app + "\\A.TXT"), "the uninstall did not run")
        report = read_bytes(WINDOWS + "\\" + name).decode("ascii")
        self.assertTrue(report.startswith("START COMPONENT\r\n"), report[:80])
        self.assertIn('VALUE = "Named"', report)

    def test_the_distribution_library_gets_the_name_alone(self):
        here = self.root + "\\Program"
        os.makedirs(unix_path(here))
        shutil.copy(PROGRAM, unix_path(here + "\\UNKETRA32.EXE"))
        shutil.copy(os.path.join(TOOLS, "standins", "ismif32.dll"),
                    unix_path(here + "\\ismif32.dll"))
        self.product.add("a.txt", b"a")
        app = self.root + "\\App"
        self.install(["title Named", "appdir " + app, "uninstall-mif ..\\..\\X%s.MIF" % self.tag,
                      "copy a.txt | %APPDIR%\\A.TXT"])
        mif_log = self.root + "\\mif.log"
        run_wine([here + "\\UNKETRA32.EXE", "/S", app + "\\INSTALL.LOG"],
                 env={"KETRA_MIF_LOG": mif_log})
        called = read_bytes(mif_log).decode()
        self.assertTrue(called.startswith("X%s.MIF|" % self.tag), called)


class PlantedLibraries(EdgeCase):
    """The work runs with the root of the current drive as its current
    directory: a library planted there (or in a folder on PATH) under the
    name of one the program looks up must not be loaded."""

    def test_libraries_in_the_current_directory_or_on_path_are_not_loaded(self):
        plants = self.root + "\\OnPath"
        os.makedirs(unix_path(plants))
        for folder in ("C:", plants):
            for dll in ("ismif32.dll", "SFC.DLL"):
                shutil.copy(os.path.join(TOOLS, "standins", dll), unix_path(folder + "\\" + dll))
                self.remove_later(folder + "\\" + dll)
        here = self.root + "\\Program"
        os.makedirs(unix_path(here))
        shutil.copy(PROGRAM, unix_path(here + "\\UNKETRA32.EXE"))
        mif = "KT%s.MIF" % self.tag
        self.remove_later(WINDOWS + "\\" + mif)
        self.product.add("a.txt", b"a")
        app = self.root + "\\App"
        self.install(["title Planted", "appdir " + app, "uninstall-mif " + mif, "system-restore",
                      "copy a.txt | %APPDIR%\\A.TXT"])
        mif_log, sfc_log = self.root + "\\mif.log", self.root + "\\sfc.log"
        run_wine([here + "\\UNKETRA32.EXE", "/S", app + "\\INSTALL.LOG"],
                 env={"KETRA_MIF_LOG": mif_log, "KETRA_SFC_LOG": sfc_log, "WINEPATH": plants})
        self.assertFalse(self.exists(app + "\\A.TXT"), "the uninstall did not run")
        self.assertFalse(self.exists(mif_log), "a planted ismif32.dll was called: %r" %
                         (self.exists(mif_log) and read_bytes(mif_log)))
        self.assertFalse(self.exists(sfc_log), "a planted SFC.DLL was called")
        # Without the library the program writes the report itself.
        self.assertTrue(self.exists(WINDOWS + "\\" + mif), "expected the report file")


class TempFolderWithSpace(EdgeCase):
    def test_temporary_copy_in_a_folder_with_a_space_is_started_whole(self):
        # A user name with a space: C:\...\First Last\Temp. A program named
        # like the path cut at that space must not be what starts.
        temp = self.root + "\\First Last\\Temp"
        os.makedirs(unix_path(temp))
        decoy = self.root + "\\First.exe"
        shutil.copy(os.path.join(TOOLS, "KTSRVEXE.EXE"), unix_path(decoy))
        decoy_log = self.root + "\\decoy.log"
        app = self.root + "\\App"
        with open(PROGRAM, "rb") as f:
            self.product.add("UNKETRA32.EXE", f.read())
        self.product.add("data.txt", b"data")
        self.install(["title Spaced", "appdir " + app,
                      "copy UNKETRA32.EXE | %APPDIR%\\UNKETRA32.EXE",
                      "copy data.txt | %APPDIR%\\DATA.TXT"])
        # Wine takes TEMP and TMP from its registry, not from the Linux side:
        # a batch file sets them for the run.
        batch = self.root + "\\run.bat"
        write_bytes(batch, ("@set TEMP=%s\r\n@set TMP=%s\r\n@%s\\UNKETRA32.EXE /S %s\\INSTALL.LOG\r\n"
                            % (temp, temp, app, app)).encode("gbk"))
        done = run_wine(["cmd", "/c", batch], env={"KETRA_SERVER_LOG": decoy_log})
        self.assertEqual(0, done.returncode, done.out + done.err)
        self.assertTrue(wait_until(lambda: not self.exists(app)),
                        "expected the program file and its folder gone, left: %s" %
                        (os.listdir(unix_path(app)) if self.exists(app) else []))
        self.assertFalse(self.exists(decoy_log), "the cut path was started: %r" %
                         (self.exists(decoy_log) and read_bytes(decoy_log)))
        self.assertTrue(self.exists(temp + "\\KTR1A2B.EXE"), "the copy was not made in TEMP")


class CleanupCommandLine(EdgeCase):
    def test_a_cut_command_line_removes_nothing(self):
        # The clean-up stage keeps 255 characters of its command line. Cut
        # there, ...\KEEPFOLDER would name ...\KEEP, an empty folder of
        # someone else's.
        program_folder = self.root + "\\P"
        program = program_folder + "\\OLD.EXE"
        write_bytes(program, b"old program")
        head = "/z %s " % program
        base = self.root + "\\F\\"
        pad = 255 - len(head) - len(base) - len("\\KEEP")
        self.assertGreater(pad, 8)
        parent = base + "d" * pad
        cut, whole = parent + "\\KEEP", parent + "\\KEEPFOLDER"
        self.assertEqual(255, len(head + cut))
        os.makedirs(unix_path(cut))
        os.makedirs(unix_path(whole))
        runner = self.root + "\\RUN.EXE"
        shutil.copy(PROGRAM, unix_path(runner))
        done = run_wine([runner, "/z", program, whole + "\\"])
        self.assertEqual(0, done.returncode, done.err)
        self.assertTrue(self.exists(cut), "the cut folder %s was removed" % cut)
        self.assertTrue(self.exists(whole), "a cut command line was acted on")
        self.assertTrue(self.exists(program), "a cut command line was acted on")

    def test_a_whole_command_line_removes_the_program_and_its_empty_folders(self):
        program_folder = self.root + "\\P"
        program = program_folder + "\\OLD.EXE"
        write_bytes(program, b"old program")
        folder = self.root + "\\APPFOLD"
        os.makedirs(unix_path(folder + "\\EMPTY"))
        runner = self.root + "\\RUN.EXE"
        shutil.copy(PROGRAM, unix_path(runner))
        done = run_wine([runner, "/z", program, folder + "\\"])
        self.assertEqual(0, done.returncode, done.err)
        self.assertFalse(self.exists(program))
        self.assertFalse(self.exists(program_folder))
        self.assertFalse(self.exists(folder))


class ShippedProgram(unittest.TestCase):
    """The environment hooks the scenarios drive the test build through are
    compiled into that build only."""
    HOOKS = (b"KETRA_HOLD_MS", b"KETRA_TRACE")

    def read(self, path):
        self.assertTrue(os.path.exists(path), "no program at %s (tools/build.sh builds it)" % path)
        with open(path, "rb") as f:
            return f.read()

    def imports(self, path, objdump):
        return subprocess.run([objdump, "-p", path], capture_output=True, text=True,
                              check=True).stdout

    def test_test_build_has_the_hooks_and_the_shipped_program_has_none(self):
        test_build = self.read(PROGRAM)
        for name in self.HOOKS:
            self.assertTrue(name in test_build, "the test build lost its hook %s" % name.decode())
        shipped = self.read(SHIPPED)
        # A 32-bit program (machine i386 in the PE header).
        pe = int.from_bytes(shipped[0x3C:0x40], "little")
        self.assertEqual(b"PE\0\0\x4c\x01", shipped[pe:pe + 6], "not the 32-bit program")
        for name in self.HOOKS + (b"KETRA_",):
            wide = name.decode().encode("utf-16-le")
            self.assertFalse(name in shipped or wide in shipped,
                             "the shipped program holds %s" % name.decode())
        objdump = shutil.which("i686-w64-mingw32-objdump")
        if objdump:
            table = self.imports(SHIPPED, objdump)
            self.assertIn("GetModuleFileNameA", table, "no import table read")
            self.assertNotIn("GetEnvironmentVariable", table)


if __name__ == "__main__":
    unittest.main()
