"""What an uninstall must never remove: what lies behind a link inside a
removed tree, and protected folders however a log spells them, with a
second product installed beside the first. Each scenario runs the real
program silently and checks the machine afterwards byte for byte."""
import os
import shutil
import unittest
import uuid

from kinstall import (BUILD, DRIVE_C, Product, ProductCase, probe, read_bytes, restart_session,
                      run_wine, tree_snapshot, unix_path, write_bytes)

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



def profile_name():
    """The prefix's user (Wine names the profile after the Unix user)."""
    names = [n for n in os.listdir(os.path.join(DRIVE_C, "users")) if n.lower() != "public"]
    return sorted(names)[0]


def journal_lines(win):
    with open(unix_path(win), "rb") as f:
        return f.read().decode("utf-8").split("\r\n")


class KeptFolders(SafetyCase):
    """Trees, wildcards and made folders that name what the system and the
    users keep: profiles and their root, another profile, TEMP, the
    system's INF files, ProgramData, a vendor folder another product
    shares, and the same through links above them and through a share."""

    def test_no_tree_or_made_folder_reaches_a_kept_folder(self):
        app = self.app
        tag = self.tag
        self.product.add("a.txt", b"a")
        self.install(self.product, ["title Kept", "appdir " + app, "tree %APPDIR%\\CACHE",
                                    "copy a.txt | %APPDIR%\\CACHE\\A.TXT",
                                    "copy a.txt | %APPDIR%\\A.TXT"])
        user = profile_name()
        profile = "C:\\users\\" + user
        other = "C:\\users\\KTRO" + tag
        vendor = "C:\\Program Files\\Common Files\\KTRV" + tag
        sentinels = {profile + "\\KTR%s.TXT" % tag: b"profile root",
                     profile + "\\Documents\\KTR%s.TXT" % tag: b"documents",
                     profile + "\\Temp\\KTR%s.TXT" % tag: b"temporary",
                     "C:\\users\\Public\\KTR%s.TXT" % tag: b"public",
                     other + "\\Documents\\MINE.TXT": b"another user's",
                     "C:\\windows\\inf\\KTR%s.INF" % tag: b"[Version]",
                     "C:\\ProgramData\\KTR%s\\KEEP.TXT" % tag: b"program data",
                     vendor + "\\SHARED.DLL": b"another product shares this"}
        for path, data in sentinels.items():
            write_bytes(path, data)
        empties = ["C:\\users\\KTRE" + tag, profile + "\\KTRE" + tag, "C:\\ProgramData\\KTRE" + tag]
        for folder in empties:
            os.makedirs(unix_path(folder), exist_ok=True)
        # Another profile the system lists, in both registry views.
        sid = "S-1-5-21-7-7-7-%d" % (int(tag[1:], 16) % 100000)
        profiles = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + sid
        for view in ("/reg:64", "/reg:32"):
            run_wine(["reg", "add", profiles, "/v", "ProfileImagePath", "/d", other, "/f", view])
        # Links above the folders: the old name of the profiles' root, and one of our own.
        links = [("C:\\Documents and Settings", "C:\\users"), ("C:\\KLNK" + tag, "C:\\users")]
        for link, target in links:
            if not os.path.lexists(unix_path(link)):
                os.symlink(unix_path(target), unix_path(link))

        def clean():
            for path in sentinels:
                if os.path.exists(unix_path(path)):
                    os.remove(unix_path(path))
            for folder in empties + [other, vendor, "C:\\ProgramData\\KTR" + tag]:
                shutil.rmtree(unix_path(folder), ignore_errors=True)
            for link, _ in links:
                if os.path.islink(unix_path(link)):
                    os.remove(unix_path(link))
            for view in ("/reg:64", "/reg:32"):
                run_wine(["reg", "delete", profiles, "/f", view])
        self.cleanups.append(clean)
        inf_before = tree_snapshot("C:\\windows\\inf")
        hostile = ["File Tree: " + profile, "File Tree: C:\\users", "File Tree: C:\\users\\",
                   "File Tree: C:\\users\\Public", "File Tree: " + other,
                   "File Tree: " + other + "\\Documents", "File Tree: C:\\windows\\inf\\*.*",
                   "File Tree: C:\\windows\\inf", "File Copy: C:\\windows\\inf\\*.INF",
                   "File Tree: " + profile + "\\Temp", "File Copy: " + profile + "\\Temp\\*.*",
                   "File Tree: " + profile + "\\Documents", "File Tree: C:\\ProgramData",
                   "File Tree: " + vendor,
                   "File Tree: C:\\Documents and Settings\\" + user,
                   "File Tree: C:\\Documents and Settings\\" + user + "\\Documents",
                   "File Tree: C:\\KLNK%s\\%s\\Temp" % (tag, user),
                   "File Tree: \\\\localhost\\C$\\users\\" + user,
                   "File Tree: \\\\localhost\\ADMIN$\\System32",
                   "Made Dir: C:\\users", "Made Dir: C:\\ProgramData",
                   "Made Dir: " + profile]
        self.append_log(hostile)
        log = app + "\\INSTALL.LOG"
        dry = self.root + "\\DRY.TXT"
        real = self.root + "\\REAL.TXT"

        done = run_wine([PROGRAM, "/S", "/N", "/L" + dry, log], timeout=300)
        self.assertEqual(0, done.returncode, done.out + done.err)
        self.assertTrue(self.exists(app + "\\CACHE\\A.TXT"), "expected the dry run to change nothing")
        done = run_wine([PROGRAM, "/S", "/L" + real, log], timeout=300)
        self.assertEqual(0, done.returncode, done.out + done.err)

        for path, data in sentinels.items():
            self.assertEqual(data, read_bytes(path) if self.exists(path) else None,
                             "expected %s kept" % path)
        for folder in empties:
            self.assertTrue(os.path.isdir(unix_path(folder)), "expected the empty %s kept" % folder)
        self.assertEqual(inf_before, tree_snapshot("C:\\windows\\inf"), "expected the INF files kept")
        self.assertFalse(self.exists(app), "expected the product's own folder gone")

        # Each refusal is in the journal with its reason, and the dry run
        # foresaw the same. A folder is named as the entry gives it, less a
        # trailing backslash and a "*.*" pattern.
        def entry_name(line):
            name = line.split(": ", 1)[1]
            name = name[:-4] if name.endswith("\\*.*") else name
            return name.rstrip("\\").lower()
        for journal, words in ((dry, "would be kept (not the product's)"),
                               (real, "kept (not the product's)")):
            kept = {}
            for l in journal_lines(journal):
                parts = l.split(" | ")
                if len(parts) >= 6 and parts[3] == words:
                    kept[parts[4].lower()] = parts[5]
            # (A file line with a wildcard names no file the log finds: it
            # is kept only for a repair, and nothing deletes it.)
            for line in hostile:
                if not line.startswith("File Copy: "):
                    self.assertIn(entry_name(line), kept, "%s: %s\n%s" % (journal, line, kept))
            reasons = set(kept.values())
            for reason in ("a folder the system or a user keeps, or one that holds one",
                           "outside the log's folder and the folders the log made",
                           "on a network share the log does not lie on"):
                self.assertIn(reason, reasons, journal)

if __name__ == "__main__":
    unittest.main()
