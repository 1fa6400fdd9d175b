"""UNKETRA32.EXE undoes real installations made by the test installer: a
silent uninstall of a large product, files in use on both platform
families, a roll-back of an upgrade, self-removal, protected folders, and the
status report. Each scenario checks the machine afterwards."""
import os
import re
import shutil
import subprocess
import unittest
import uuid

import ketra
import kgui
from kinstall import (BUILD, TOOLS, Product, expected_report, log_lines, probe, read_bytes,
                      replace_system_library, restart_session, run_wine, unix_path, write_bytes)

PROGRAM = os.path.join(BUILD, "UNKETRA32.EXE")
WINDOWS = "C:\\windows"
IDCANCEL = 2


def new_tag(name):
    return "%s%s" % (name, uuid.uuid4().hex[:6])


def uninstall(*args, program=PROGRAM, env=None, timeout=300):
    return run_wine([program] + list(args), env=env, timeout=timeout)


def reg(*args):
    return run_wine(["reg"] + list(args))


def reg_export(key):
    """The exported text of a key (empty when it does not exist)."""
    name = "export-%s.reg" % uuid.uuid4().hex[:8]
    done = reg("export", key, "C:\\KTEST\\" + name, "/y")
    path = unix_path("C:\\KTEST\\" + name)
    if done.returncode != 0 or not os.path.exists(path):
        return ""
    with open(path, "rb") as f:
        text = f.read().decode("utf-16", "replace")
    os.remove(path)
    return text


def tree_snapshot(win_root):
    """Relative path -> (size, bytes) of everything below a folder."""
    base = unix_path(win_root)
    snap = {}
    for top, dirs, files in os.walk(base):
        rel_top = os.path.relpath(top, base)
        snap[rel_top.lower() + "/"] = None
        for f in files:
            with open(os.path.join(top, f), "rb") as h:
                snap[os.path.join(rel_top, f).lower()] = h.read()
    return snap


def pending_renames():
    out = reg("query", "HKLM\\System\\CurrentControlSet\\Control\\Session Manager", "/v",
              "PendingFileRenameOperations").out
    return out


def setUpModule():
    # A fresh session: an earlier test may have restarted the machine.
    restart_session()


def hold_files(stop, *paths):
    """Starts KHOLD on the files and waits until it holds them."""
    holder = subprocess.Popen(
        [os.path.join(os.path.dirname(__file__), "..", "..", "tools", "wine-run.sh"),
         os.path.join(TOOLS, "KHOLD.EXE"), stop] + list(paths),
        env=dict(os.environ, BUILD_DIR=BUILD), stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL)
    if not ketra.wait_for(lambda: os.path.exists(unix_path(stop + ".ready"))):
        holder.kill()
        holder.wait()
        raise AssertionError("KHOLD did not take hold of %s" % " ".join(paths))
    return holder


def release_files(stop, holder):
    write_bytes(stop, b"")
    try:
        holder.wait(timeout=60)
    except subprocess.TimeoutExpired:
        holder.kill()


class UninstallCase(unittest.TestCase):
    def setUp(self):
        self.tag = new_tag(self.id().split(".")[-1][5:12])
        self.root = "C:\\KTEST\\" + self.tag
        self.app = self.root + "\\App"
        os.makedirs(unix_path(self.root), exist_ok=True)
        self.key = "Software\\KetraTest\\" + self.tag
        self.product = Product(self.tag, self.root)
        self.cleanups = []

    def tearDown(self):
        for step in self.cleanups:
            step()
        outcome = getattr(self, "_outcome", None)
        if getattr(outcome, "success", False):
            reg("delete", "HKCU\\" + self.key, "/f")
            shutil.rmtree(unix_path(self.root), ignore_errors=True)
            shutil.rmtree(unix_path(self.product.src), ignore_errors=True)

    def install(self, manifest, expect=0):
        done = self.product.install(manifest)
        self.assertEqual(expect, done.returncode, done.out + done.err)
        return done

    def exists(self, win):
        return os.path.exists(unix_path(win))


class SilentUninstall(UninstallCase):
    def test_large_product_is_removed_and_everything_overwritten_comes_back(self):
        app, key, root = self.app, self.key, self.root
        p = self.product
        manifest = ["title Big Product Installation", "appdir " + app, "charset ansi",
                    "delete-in-use on"]
        for d in range(10):
            for f in range(21):
                rel = "data\\d%d\\f%02d.bin" % (d, f)
                p.add(rel, ("file %d %d " % (d, f)).encode() * (f + 1))
                manifest.append("copy %s | %%APPDIR%%\\DATA\\D%d\\SUB\\F%02d.BIN" % (rel, d, f))
        p.add("help.hlp", b"help" * 50)
        p.add("readonly.txt", b"read only")
        manifest += [
            "copy help.hlp | %APPDIR%\\HELP\\PRODUCT.HLP",
            "copy readonly.txt | %APPDIR%\\READONLY.TXT",
            "tree %APPDIR%\\LOGS\\*.TMP",
        ]
        # Values beside which the product writes, and values it overwrites.
        reg("add", "HKCU\\" + key + "\\Existing", "/v", "Mine", "/d", "keep me", "/f")
        old = {
            "OldSz": ("REG_SZ", "old text", "sz", "new text"),
            "OldExpand": ("REG_EXPAND_SZ", "%TEMP%\\old", "expand_sz", "%%TEMP%%\\new"),
            "OldMulti": ("REG_MULTI_SZ", "first\\0second", "multi_sz", "only | new"),
            "OldDword": ("REG_DWORD", "305419896", "dword", "7"),
            "OldBinary": ("REG_BINARY", "00ff10ab", "binary", "0102"),
        }
        for name, (rtype, data, _, _) in old.items():
            reg("add", "HKCU\\" + key + "\\Over", "/v", name, "/t", rtype, "/d", data, "/f")
        for name, (_, _, mtype, new) in old.items():
            manifest.append("reg HKCU | %s\\Over | %s | %s | %s" % (key, name, mtype, new))
        manifest += [
            "reg HKCU | %s\\Existing | Added | sz | product value" % key,
            "reg HKCU | %s\\Created\\Deep\\Deeper | Value | sz | deep" % key,
            "reg HKCU | %s\\Created\\Deep | | sz | default" % key,
            "regtree HKCU | %s\\Tree" % key,
            "reg HKCU | %s\\Tree\\Sub | V | dword | 1" % key,
            "ininew %APPDIR%\\PRODUCT.INI | Main | Color | blue",
        ]
        shared_ini = root + "\\SHARED.INI"
        write_bytes(shared_ini, b"[Settings]\r\nMode=slow\r\nOther=x\r\n")
        manifest += ["ini %s | Settings | Mode | fast" % shared_ini,
                     "ini %s | Settings | Added | yes" % shared_ini]
        # A file of the user's beside the product stays.
        write_bytes(root + "\\USER.DOC", b"mine")

        before_files = tree_snapshot(root)
        before_keys = reg_export("HKCU\\" + key)
        self.install(manifest)
        log = app + "\\INSTALL.LOG"
        self.assertTrue(self.exists(log))
        # What the running product leaves: help index files, runtime .TMP
        # files in the tree folder, and a file of the user's there.
        write_bytes(app + "\\HELP\\PRODUCT.GID", b"gid")
        write_bytes(app + "\\HELP\\PRODUCT.FTS", b"fts")
        write_bytes(app + "\\LOGS\\RUN1.TMP", b"t")
        write_bytes(app + "\\LOGS\\OLD\\RUN2.TMP", b"t")
        run_wine(["cmd", "/c", "attrib", "+r", app + "\\READONLY.TXT"])
        self.assertEqual(210 + 2, sum(1 for line in log_lines(log)[1]
                                      if line.startswith("File Copy: ")))

        done = uninstall("/S", log)
        self.assertEqual(0, done.returncode, done.err)

        self.assertFalse(self.exists(app), "expected the product folder to be gone, left: %s" %
                         sorted(k for k in tree_snapshot(root) if k.startswith("app")))
        self.assertEqual(before_files, tree_snapshot(root),
                         "expected the files outside the product unchanged")
        self.assertEqual(before_keys, reg_export("HKCU\\" + key),
                         "expected every overwritten value back and every created key gone")

    def test_files_in_use_go_at_the_restart_only_when_the_log_allows_it(self):
        for allowed in ("on", "off"):
            with self.subTest(allowed=allowed):
                app = self.app + allowed
                p = Product(self.tag + allowed, self.root)
                p.add("busy.dll", b"busy" * 10)
                p.add("free.dll", b"free" * 10)
                done = p.install(["title Busy", "appdir " + app, "delete-in-use " + allowed,
                                  "copy busy.dll | %APPDIR%\\BUSY.DLL",
                                  "copy free.dll | %APPDIR%\\FREE.DLL"])
                self.assertEqual(0, done.returncode, done.err)
                stop = self.root + "\\stop-" + allowed
                holder = hold_files(stop, app + "\\BUSY.DLL")
                try:
                    self.assertTrue(self.exists(stop + ".ready"), "holder did not start")
                    windows_before = set(os.listdir(unix_path(WINDOWS)))
                    uninstall("/S", app + "\\INSTALL.LOG")
                    self.assertFalse(self.exists(app + "\\FREE.DLL"))
                    if allowed == "off":
                        self.assertTrue(self.exists(app + "\\BUSY.DLL"))
                        self.assertNotIn("BUSY.DLL", pending_renames().upper())
                        self.assertNotIn("_MSRSTRT.EXE", windows_before ^ set(
                            os.listdir(unix_path(WINDOWS))))
                    else:
                        # The silent run restarts without asking; under Wine the
                        # restart program carries out the pending operations.
                        ketra.wait_for(lambda: not self.exists(app + "\\BUSY.DLL"))
                        self.assertFalse(self.exists(app + "\\BUSY.DLL"),
                                         "expected the in-use file gone after the restart")
                finally:
                    release_files(stop, holder)
                    if allowed == "on":
                        restart_session()

    def test_windows_98_defers_through_wininit_in_short_form(self):
        self.enterContext(ketra.windows_version("win98"))
        wininit = unix_path(WINDOWS + "\\WININIT.INI")
        if os.path.exists(wininit):
            os.remove(wininit)
        app = self.root + "\\Long Folder Name"
        self.product.add("busy.dll", b"busy")
        title = "Busy " + self.tag
        self.install(["title " + title, "appdir " + app, "delete-in-use on",
                      "copy busy.dll | %APPDIR%\\In Use Library.dll"])
        stop = self.root + "\\stop98"
        holder = hold_files(stop, app + "\\In Use Library.dll")
        gui = kgui.Driver()
        try:
            # An automatic run, so that the restart question can be declined
            # and WININIT.INI looked at before a restart carries it out.
            proc = ketra.start(PROGRAM, "/A", app + "\\INSTALL.LOG")
            wizard = gui.find("#32770", title, 30000)
            box = gui.owned(wizard, "#32770", 60000)
            gui.click(box, IDCANCEL)
            self.assertEqual(ketra.low_byte(ketra.RESTART_NEEDED), proc.wait(timeout=60))
            with open(wininit, "rb") as f:
                text = f.read().decode("gbk")
            self.assertTrue(text.startswith("[rename]\r\n"), text)
            lines = [l for l in text.split("\r\n") if l.upper().startswith("NUL=")]
            self.assertTrue(any(l.upper().startswith("NUL=C:\\KTEST\\") and " " not in l and
                                "~" in l and l.upper().endswith(".DLL") for l in lines),
                            "expected a NUL= line in short form, got %r" % text)
            self.assertTrue(self.exists(app + "\\In Use Library.dll"))
        finally:
            gui.close()
            release_files(stop, holder)
        run_wine(["wineboot", "-r"])
        self.assertFalse(self.exists(app + "\\In Use Library.dll"),
                         "expected wineboot -r to carry out WININIT.INI")


class Rollback(UninstallCase):
    def test_only_the_latest_installation_is_undone(self):
        app, key = self.app, self.key
        p = self.product
        p.add("v1\\main.dll", b"version one")
        p.add("v1\\keep.dll", b"stays")
        p.add("v2\\main.dll", b"version two!")
        p.add("v2\\added.dll", b"new in two")
        p.add("v2\\busy.dll", b"busy two")
        p.add("v1\\busy.dll", b"busy one")
        first = ["title Roll Product", "appdir " + app, "delete-in-use on"]
        self.install(first + [
            "copy v1\\main.dll | %APPDIR%\\MAIN.DLL",
            "copy v1\\keep.dll | %APPDIR%\\KEEP.DLL",
            "copy v1\\busy.dll | %APPDIR%\\BUSY.DLL",
            "reg HKCU | %s | Version | sz | one" % key,
            "reg HKCU | %s | First | dword | 1" % key,
        ])
        log = app + "\\INSTALL.LOG"
        log_after_first = read_bytes(log)
        self.install(first + [
            "copy v2\\main.dll | %APPDIR%\\MAIN.DLL | backup",
            "copy v2\\busy.dll | %APPDIR%\\BUSY.DLL | backup",
            "copy v2\\added.dll | %APPDIR%\\ADDED.DLL",
            "reg HKCU | %s | Version | sz | two" % key,
            "reg HKCU | %s\\Second | V | sz | x" % key,
        ])
        self.assertEqual(b"version two!", read_bytes(app + "\\MAIN.DLL"))
        stop = self.root + "\\stoproll"
        holder = hold_files(stop, app + "\\BUSY.DLL")
        try:
            done = uninstall("/R", "/S", log)
            # A silent run restarts by itself and says a restart is due.
            self.assertEqual(ketra.low_byte(ketra.RESTART_NEEDED), done.returncode)
        finally:
            release_files(stop, holder)
            restart_session()
        self.assertEqual(b"version one", read_bytes(app + "\\MAIN.DLL"))
        self.assertEqual(b"stays", read_bytes(app + "\\KEEP.DLL"))
        self.assertFalse(self.exists(app + "\\ADDED.DLL"))
        ketra.wait_for(lambda: self.exists(app + "\\BUSY.DLL") and
                       read_bytes(app + "\\BUSY.DLL") == b"busy one")
        self.assertEqual(b"busy one", read_bytes(app + "\\BUSY.DLL"),
                         "expected the in-use file's backup in place after the restart")
        self.assertEqual(log_after_first, read_bytes(log),
                         "expected the log cut at the start of its last installation")
        values = reg("query", "HKCU\\" + key).out
        self.assertIn("one", values)
        self.assertIn("First", values)
        self.assertNotIn("two", values)
        self.assertNotIn("Second", reg("query", "HKCU\\" + key, "/s").out)


class SelfRemoval(UninstallCase):
    def test_program_listed_in_its_log_removes_itself_and_its_folder(self):
        app = self.app
        with open(PROGRAM, "rb") as f:
            self.product.add("UNKETRA32.EXE", f.read())
        self.product.add("data.txt", b"data")
        self.install(["title Self", "appdir " + app, "delete-in-use on",
                      "copy UNKETRA32.EXE | %APPDIR%\\UNKETRA32.EXE",
                      "copy data.txt | %APPDIR%\\DATA.TXT"])
        done = run_wine([app + "\\UNKETRA32.EXE", "/S", app + "\\INSTALL.LOG"])
        self.assertEqual(0, done.returncode)
        # The temporary copy waits a second, then removes the file and folder.
        ketra.wait_for(lambda: not self.exists(app))
        self.assertFalse(self.exists(app + "\\UNKETRA32.EXE"))
        self.assertFalse(self.exists(app), "expected the emptied folder gone")
        self.assertIn("KTR1A2B.EXE", pending_renames().upper(),
                      "the temporary copy goes at the next restart")


class ProtectedFolders(UninstallCase):
    def test_a_damaged_log_cannot_remove_system_or_user_folders(self):
        app = self.app
        self.product.add("a.txt", b"a")
        self.install(["title Guarded", "appdir " + app, "copy a.txt | %APPDIR%\\A.TXT"])
        desktop = probe("folder|DESKTOP")[0].strip()
        markers = [WINDOWS + "\\KTR" + self.tag + ".DLL",
                   WINDOWS + "\\system32\\KTR" + self.tag + ".DLL",
                   "C:\\Program Files\\KTR" + self.tag + ".TXT",
                   desktop + "\\KTR" + self.tag + ".TXT"]
        for m in markers:
            write_bytes(m, b"keep")
        self.cleanups.append(lambda: [os.remove(unix_path(m)) for m in markers
                                      if os.path.exists(unix_path(m))])
        with open(unix_path(app + "\\INSTALL.LOG"), "ab") as f:
            for line in ["Made Dir: " + WINDOWS, "Made Dir: " + WINDOWS + "\\system32",
                         "Made Dir: C:\\Program Files", "Made Dir: C:\\",
                         "File Tree: " + WINDOWS, "File Tree: " + desktop,
                         "File Copy: " + WINDOWS + "\\*.DLL",
                         "File Copy: " + WINDOWS + "\\system32\\*.*",
                         "Made Dir: " + desktop]:
                f.write(line.encode("gbk") + b"\r\n")
        uninstall("/S", app + "\\INSTALL.LOG")
        for m in markers:
            self.assertTrue(self.exists(m), "expected %s to survive" % m)
        self.assertTrue(self.exists(WINDOWS + "\\system32\\kernel32.dll"))
        self.assertFalse(self.exists(app + "\\A.TXT"))


class DoubleByteNames(UninstallCase):
    """Code page 936: 丄 and 乤 differ only in a second byte that is a letter
    ('A' and 'a'); the second byte of 乗 is a backslash."""

    def test_names_differing_in_a_second_byte_roll_back_from_their_own_backups(self):
        app = self.app
        self.product.add("one.txt", b"first file")
        self.product.add("two.txt", b"second file")
        first = ["title Wide Names", "appdir " + app]
        self.install(first + ["copy one.txt | %APPDIR%\\丄.TXT",
                              "copy two.txt | %APPDIR%\\乤.TXT"])
        self.install(first + ["delete %APPDIR%\\丄.TXT", "delete %APPDIR%\\乤.TXT"])
        self.assertFalse(self.exists(app + "\\丄.TXT"))
        done = uninstall("/R", "/S", app + "\\INSTALL.LOG")
        self.assertEqual(0, done.returncode, done.err)
        self.assertEqual(b"first file", read_bytes(app + "\\丄.TXT"))
        self.assertEqual(b"second file", read_bytes(app + "\\乤.TXT"))

    def test_system_file_whose_name_holds_a_second_byte_backslash_is_kept(self):
        app = self.app
        system_file = WINDOWS + "\\system32\\乗KT%s.DLL" % self.tag[-6:]
        self.cleanups.append(lambda: os.path.exists(unix_path(system_file)) and
                             os.remove(unix_path(system_file)))
        self.product.add("sys.dll", b"system library")
        self.product.add("app.dll", b"product library")
        self.install(["title Wide System", "appdir " + app,
                      "copy sys.dll | " + system_file, "copy app.dll | %APPDIR%\\APP.DLL"])
        done = uninstall("/S", app + "\\INSTALL.LOG")
        self.assertEqual(0, done.returncode, done.err)
        self.assertFalse(self.exists(app + "\\APP.DLL"))
        self.assertEqual(b"system library", read_bytes(system_file),
                         "expected the system file kept like the other system files")


class CreatedFolders(UninstallCase):
    def test_created_parent_of_a_tree_goes_only_when_empty(self):
        app, root = self.app, self.root
        shared = root + "\\Shared"
        write_bytes(shared + "\\USER.DOC", b"the user's")
        self.product.add("a.dat", b"tree data")
        self.install(["title Tree Product", "appdir " + app, "tree %s\\Sub" % shared,
                      "copy a.dat | %s\\Sub\\A.DAT" % shared])
        with open(unix_path(app + "\\INSTALL.LOG"), "ab") as f:
            f.write(("Made Dir: %s\r\n" % shared).encode("gbk"))
        done = uninstall("/S", app + "\\INSTALL.LOG")
        self.assertEqual(0, done.returncode, done.err)
        self.assertFalse(self.exists(shared + "\\Sub"), "expected the tree gone")
        self.assertEqual(b"the user's", read_bytes(shared + "\\USER.DOC"))


class StatusReport(UninstallCase):
    def header(self, mif):
        return ["title Reported", "appdir " + self.app, "manufacturer Ketra Tests",
                "product Reported Product", "version 2.5", "serial SN-%s" % self.tag,
                "uninstall-mif " + mif]

    def report_date_ok(self, text):
        m = re.search(r'VALUE = "(\d\d/\d\d/\d\d \d{1,2}:\d\d)"', text)
        self.assertIsNotNone(m, text)
        return m.group(1)

    def test_completed_uninstall_and_rollback_reports(self):
        mif = "KT%s.MIF" % self.tag[-6:]
        path = unix_path(WINDOWS + "\\" + mif)
        self.cleanups.append(lambda: os.path.exists(path) and os.remove(path))
        self.product.add("a.txt", b"a")
        self.product.add("b.txt", b"b")
        self.install(self.header(mif) + ["copy a.txt | %APPDIR%\\A.TXT"])
        self.install(self.header(mif) + ["copy b.txt | %APPDIR%\\B.TXT"])
        uninstall("/R", "/S", self.app + "\\INSTALL.LOG")
        with open(path, "rb") as f:
            text = f.read().decode("ascii")
        date = self.report_date_ok(text)
        self.assertEqual(expected_report(["Ketra Tests", "Reported Product", "2.5",
                                          "SN-" + self.tag, "Rollback", date, "Success", ""]),
                         text)
        os.remove(path)
        uninstall("/S", self.app + "\\INSTALL.LOG")
        with open(path, "rb") as f:
            text = f.read().decode("ascii")
        date = self.report_date_ok(text)
        self.assertEqual(expected_report(["Ketra Tests", "Reported Product", "2.5",
                                          "SN-" + self.tag, "Uninstall", date, "Success", ""]),
                         text)

    def test_distribution_library_and_restore_point_are_called(self):
        mif = "KT%s.MIF" % self.tag[-6:]
        path = unix_path(WINDOWS + "\\" + mif)
        self.cleanups.append(lambda: os.path.exists(path) and os.remove(path))
        here = self.root + "\\Program"
        os.makedirs(unix_path(here), exist_ok=True)
        shutil.copy(PROGRAM, unix_path(here + "\\UNKETRA32.EXE"))
        # The distribution library may sit beside the program; a system
        # library is taken from the System folder only.
        shutil.copy(os.path.join(TOOLS, "standins", "ismif32.dll"),
                    unix_path(here + "\\ismif32.dll"))
        self.cleanups.append(replace_system_library(
            PROGRAM, "SFC.DLL", os.path.join(TOOLS, "standins", "SFC.DLL")))
        self.product.add("a.txt", b"a")
        self.install(self.header(mif) + ["system-restore", "copy a.txt | %APPDIR%\\A.TXT"])
        mif_log, sfc_log = self.root + "\\mif.log", self.root + "\\sfc.log"
        env = {"KETRA_MIF_LOG": mif_log, "KETRA_SFC_LOG": sfc_log}
        run_wine([here + "\\UNKETRA32.EXE", "/S", self.app + "\\INSTALL.LOG"], env=env)
        self.assertEqual("%s|Ketra Tests|Reported Product|2.5|ENU|SN-%s|Uninstall successful|1\r\n"
                         % (mif, self.tag), read_bytes(mif_log).decode())
        self.assertFalse(os.path.exists(path), "the library wrote the report")
        self.assertEqual("100|0|0|Uninstall Reported\r\n101|0|42|Uninstall Reported\r\n",
                         read_bytes(sfc_log).decode())


if __name__ == "__main__":
    unittest.main()
