"""What an uninstall must never remove: what lies behind a link inside a
removed tree, and protected folders however a log spells them, with a
second product installed beside the first. Each scenario runs the real
program silently and checks the machine afterwards byte for byte."""
import os
import shutil
import unittest
import uuid

from kinstall import (BUILD, Product, ProductCase, probe, restart_session, run_wine, tree_snapshot, unix_path,
                      write_bytes)

PROGRAM = os.path.join(BUILD, "UNKETRA32.EXE")
WINDOWS = "C:\\windows"


def setUpModule():
    restart_session()


class SafetyCase(ProductCase):
    def setUp(self):
        self.make_product("S" + uuid.uuid4().hex[:6])
        self.app = self.root + "\\App"

    def tearDown(self):
        self.run_cleanups()
        self.remove_product_folders()

    def install(self, product, manifest):
        done = product.install(manifest)
        self.assertEqual(0, done.returncode, done.out + done.err)

    def append_log(self, lines):
        with open(unix_path(self.app + "\\INSTALL.LOG"), "ab") as f:
            for line in lines:
                f.write(line.encode("gbk") + b"\r\n")

    def exists(self, win):
        return os.path.lexists(unix_path(win))


class Links(SafetyCase):
    def test_a_link_inside_a_removed_tree_is_never_followed(self):
        app = self.app
        self.product.add("a.txt", b"a")
        self.product.add("d.txt", b"d")
        self.install(self.product, ["title Linked", "appdir " + app, "tree %APPDIR%\\DATA",
                                    "dir %APPDIR%\\DATA\\SUB",
                                    "copy a.txt | %APPDIR%\\A.TXT",
                                    "copy d.txt | %APPDIR%\\DATA\\SUB\\D.TXT"])
        # Somebody's data moved elsewhere and linked back, and a link to an
        # empty folder (which some systems remove in place of the link).
        outside = self.root + "\\Outside"
        empty = self.root + "\\EmptyOutside"
        write_bytes(outside + "\\KEEP.TXT", b"keep me")
        write_bytes(outside + "\\DEEP\\DEEPER\\KEEP2.TXT", b"keep me too")
        os.makedirs(unix_path(empty))
        os.symlink(unix_path(outside), unix_path(app + "\\DATA\\LINKED"))
        os.symlink(unix_path(empty), unix_path(app + "\\DATA\\SUB\\EMPTYLINK"))
        os.symlink(unix_path(outside), unix_path(app + "\\TOPLINK"))
        before = tree_snapshot(outside)
        self.append_log(["File Tree: " + app + "\\DATA\\SUB\\EMPTYLINK",
                         "File Tree: " + app + "\\TOPLINK\\*.TXT"])

        done = run_wine([PROGRAM, "/S", app + "\\INSTALL.LOG"], timeout=300)
        self.assertEqual(0, done.returncode, done.out + done.err)

        self.assertEqual(before, tree_snapshot(outside), "expected the linked folder untouched")
        self.assertTrue(os.path.isdir(unix_path(empty)), "expected the empty linked folder kept")
        self.assertFalse(self.exists(app + "\\A.TXT"))
        self.assertFalse(self.exists(app + "\\DATA\\SUB\\D.TXT"))
        self.assertFalse(self.exists(app + "\\INSTALL.LOG"))


class ProtectedSpellings(SafetyCase):
    def test_no_spelling_of_a_protected_folder_removes_it_or_a_product_beside(self):
        app = self.app
        self.product.add("a.txt", b"a")
        self.install(self.product, ["title Guarded", "appdir " + app,
                                    "copy a.txt | %APPDIR%\\A.TXT"])
        # A second product in Program Files, installed beside the first.
        other_tag = "KTRO" + uuid.uuid4().hex[:5]
        other_dir = "C:\\Program Files\\" + other_tag
        other = Product(other_tag, "C:\\KTEST\\" + other_tag)
        self.cleanups.append(lambda: shutil.rmtree(unix_path(other.src), ignore_errors=True))
        self.cleanups.append(lambda: shutil.rmtree(unix_path(other_dir), ignore_errors=True))
        other.add("o.txt", b"other product")
        other.add("lib.dll", b"other library")
        self.install(other, ["title Other", "appdir " + other_dir, "dir %APPDIR%\\BIN",
                             "copy o.txt | %APPDIR%\\O.TXT",
                             "copy lib.dll | %APPDIR%\\BIN\\LIB.DLL"])
        markers = [WINDOWS + "\\KTR" + self.tag + ".DLL",
                   WINDOWS + "\\system32\\KTR" + self.tag + ".DLL",
                   WINDOWS + "\\syswow64\\KTR" + self.tag + ".DLL",
                   "C:\\Program Files\\KTR" + self.tag + ".TXT",
                   "C:\\Program Files (x86)\\KTR" + self.tag + ".TXT",
                   "C:\\Program Files\\Common Files\\KTR" + self.tag + ".TXT"]
        for m in markers:
            write_bytes(m, b"keep")
        self.cleanups.append(lambda: [os.remove(unix_path(m)) for m in markers
                                      if os.path.exists(unix_path(m))])
        before = tree_snapshot(other_dir)

        short_pf = probe("short|C:\\Program Files")[0].strip()
        self.assertNotEqual("C:\\Program Files", short_pf)
        up = app + "\\..\\..\\.."
        self.append_log([
            "File Tree: " + short_pf,
            "File Tree: " + short_pf + "\\.",
            "File Tree: C:/Program Files/",
            "File Tree: C:\\Program Files\\.",
            "File Tree: C:\\\\Program Files",
            "File Tree: " + up + "\\Program Files",
            "File Tree: " + WINDOWS + "\\system32\\..\\..\\Program Files\\",
            "Made Dir: C:\\Program Files\\\\",
            "File Tree: C:\\Program Files (x86)",
            "File Tree: C:\\Program Files\\Common Files\\.",
            "File Tree: " + WINDOWS + "\\.",
            "File Tree: " + WINDOWS + "\\system32\\..",
            "File Tree: " + up + "\\windows\\system32",
            "File Tree: " + WINDOWS + "\\syswow64\\",
            "File Copy: " + WINDOWS + "\\system32\\..\\*.*",
            "File Copy: " + WINDOWS + "\\system32\\.\\*.DLL",
            "File Copy: C:/windows/syswow64/*.*",
            "File Tree: " + up,
            "File Tree: C:\\.",
        ])

        done = run_wine([PROGRAM, "/S", app + "\\INSTALL.LOG"], timeout=300)
        self.assertEqual(0, done.returncode, done.out + done.err)

        for m in markers:
            self.assertTrue(self.exists(m), "expected %s to survive" % m)
        self.assertEqual(before, tree_snapshot(other_dir), "expected the other product untouched")
        self.assertTrue(self.exists(WINDOWS + "\\system32\\kernel32.dll"))
        self.assertFalse(self.exists(app + "\\A.TXT"))

    def test_every_program_files_folder_is_protected_by_its_plain_name(self):
        # A 32-bit program on a 64-bit system reads the (x86) folder as its
        # Program Files folder; the 64-bit one is just as much the system's.
        app = self.app
        self.product.add("a.txt", b"a")
        self.install(self.product, ["title Plain", "appdir " + app,
                                    "copy a.txt | %APPDIR%\\A.TXT"])
        folders = ["C:\\Program Files", "C:\\Program Files (x86)",
                   "C:\\Program Files\\Common Files", "C:\\Program Files (x86)\\Common Files"]
        markers = [f + "\\KTRP" + self.tag + "\\KEEP.TXT" for f in folders]
        for m in markers:
            write_bytes(m, b"keep")
        self.cleanups.append(lambda: [shutil.rmtree(os.path.dirname(unix_path(m)), True)
                                      for m in markers])
        self.append_log(["File Tree: " + f for f in folders])

        done = run_wine([PROGRAM, "/S", app + "\\INSTALL.LOG"], timeout=300)
        self.assertEqual(0, done.returncode, done.out + done.err)

        for m in markers:
            self.assertTrue(self.exists(m), "expected %s to survive" % m)
        self.assertFalse(self.exists(app + "\\A.TXT"))


if __name__ == "__main__":
    unittest.main()
