"""What a file deletion or restore must never take, whatever the log says:
the system's files in other spellings, files reached through a link into a
system folder, registry hives, the installed file when its backup cannot be
read, a document named as a backup; and what waits for the restart: a file
in use, never one the system refuses for lack of rights. Each scenario runs
the real program silently and checks the machine afterwards."""
import os
import subprocess
import unittest

import ketra
from kinstall import (BUILD, DRIVE_C, TOOLS, read_bytes, replace_system_library, restart_session,
                      run_wine, system_folder, unix_path, write_bytes)
from test_safety import PROGRAM, WINDOWS, SafetyCase
from test_uninstall import pending_renames, release_files


def journal_lines(win_path):
    with open(unix_path(win_path), "rb") as f:
        return f.read().decode("utf-8", "replace").split("\r\n")


def kept_lines(lines, path):
    """The journal's refusals of path (a line names it, says kept, not the
    product's, and why)."""
    return [l for l in lines if path.lower() in l.lower() and "kept (not the product's)" in l]


def user_profile():
    """The profile of the prefix's user (the one that is not Public)."""
    names = [n for n in os.listdir(os.path.join(DRIVE_C, "users")) if n.lower() != "public"]
    return "C:\\users\\" + sorted(names)[0]


def start_tool(program, *args):
    return subprocess.Popen(
        [os.path.join(os.path.dirname(__file__), "..", "..", "tools", "wine-run.sh"), program] +
        list(args), env=dict(os.environ, BUILD_DIR=BUILD), stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL)


def hold_exclusively(stop, path):
    """KHOLD holds the file with no sharing at all: no one else may read it."""
    holder = start_tool(os.path.join(TOOLS, "KHOLD.EXE"), "/X", stop, path)
    if not ketra.wait_for(lambda: os.path.exists(unix_path(stop + ".ready"))):
        holder.kill()
        holder.wait()
        raise AssertionError("KHOLD did not take hold of %s" % path)
    return holder


def as_seen(path):
    """The unix paths a log's spelling of a file may reach: a 32-bit
    program's System32 is SysWOW64 (only those that exist)."""
    win = path.replace("/", "\\").replace("\\\\", "\\")
    found = [win]
    at = win.lower().find("\\system32\\")
    if at >= 0:
        found.append(win[:at] + "\\syswow64\\" + win[at + len("\\system32\\"):])
    return [ketra.unix(w) for w in found if os.path.exists(ketra.unix(w))]


def contents(paths):
    out = {}
    for p in paths:
        with open(p, "rb") as f:
            out[p] = f.read()
    return out


def unlock(path):
    subprocess.run(["chattr", "-i", path], check=False)
    if os.path.exists(path):
        os.chmod(path, 0o644)


class SystemFiles(SafetyCase):
    def test_system_files_in_every_spelling_and_hives_survive(self):
        app = self.app
        self.product.add("a.txt", b"a")
        self.install(self.product, ["title Sysfiles", "appdir " + app,
                                    "copy a.txt | %APPDIR%\\A.TXT"])
        # Files only the system's protection keeps: markers the stand-in for
        # its library says it protects.
        wow = WINDOWS + "\\syswow64\\KTW" + self.tag + ".DLL"
        driver = WINDOWS + "\\system32\\drivers\\KTD" + self.tag + ".SYS"
        markers = [wow, driver, WINDOWS + "\\syswow64\\drivers\\KTD" + self.tag + ".SYS"]
        for marker in markers:
            write_bytes(marker, b"protected")
            self.cleanups.append(lambda m=marker: os.path.exists(unix_path(m)) and
                                 os.remove(unix_path(m)))
        self.cleanups.append(replace_system_library(
            PROGRAM, "SFC.DLL", os.path.join(TOOLS, "standins", "SFC.DLL")))
        profile = user_profile()
        hive = profile + "\\NTUSER.DAT"
        classes = profile + "\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat"
        for h in (hive, classes):
            if not self.exists(h):
                write_bytes(h, b"regf")
                self.cleanups.append(lambda m=h: os.path.exists(unix_path(m)) and
                                     os.remove(unix_path(m)))
        spelt = [WINDOWS + "\\system32\\\\user32.dll", "C:/windows/system32/gdi32.dll",
                 WINDOWS + "\\system32\\drivers\\mountmgr.sys", hive]
        marked = [WINDOWS + "\\SYSTEM32\\\\KERNEL32.DLL", "C:/WINDOWS/SYSTEM32/ADVAPI32.DLL",
                  wow, driver.upper(), classes]
        before = contents(sum((as_seen(p) for p in spelt + marked), []))
        self.assertGreaterEqual(len(before), len(spelt + marked))
        lines = ["File Copy: " + p for p in spelt]
        for p in marked:
            lines += ["Non-System File:", "File Copy: " + p]
        self.append_log(lines)
        asked = self.root + "\\sfc-asked.txt"
        env = {"KETRA_SFC_PROTECTED": "KTW%s.DLL;KTD%s.SYS" % (self.tag, self.tag),
               "KETRA_SFC_ASKED": asked}

        journals = {}
        for mode in ("/N", ""):
            journal = self.root + "\\journal%s.txt" % mode.strip("/")
            args = [PROGRAM, "/S"] + ([mode] if mode else []) + ["/L" + journal,
                                                                 app + "\\INSTALL.LOG"]
            done = run_wine(args, env=env, timeout=300)
            self.assertEqual(0, done.returncode, done.out + done.err)
            journals[mode] = journal_lines(journal)

        self.assertEqual(before, contents(before), "expected every system file to survive")
        for p in marked:
            for mode, lines in journals.items():
                self.assertEqual(1, len(kept_lines(lines, p)),
                                 "expected one refusal of %s in %s: %s" % (p, mode or "the run",
                                                                         lines))
        self.assertIn("a registry hive file", kept_lines(journals[""], classes)[0])
        self.assertIn("a file of the system's", kept_lines(journals[""], driver)[0])
        self.assertFalse(self.exists(app + "\\A.TXT"))
        # The system's protection is asked about files of its folders only.
        asked_paths = read_bytes(asked).decode("gbk").lower()
        self.assertNotIn("a.txt", asked_paths)
        self.assertNotIn("install.log", asked_paths)
        self.assertIn(("ktw%s.dll" % self.tag).lower(), asked_paths)

    def test_a_file_reached_through_a_link_into_the_system_folder_survives(self):
        app = self.app
        self.product.add("a.txt", b"a")
        self.install(self.product, ["title Linkfile", "appdir " + app,
                                    "copy a.txt | %APPDIR%\\A.TXT"])
        system = system_folder(PROGRAM)
        marker = system + "\\KTL" + self.tag + ".DLL"
        write_bytes(marker, b"system's own")
        self.cleanups.append(lambda: os.path.exists(unix_path(marker)) and
                             os.remove(unix_path(marker)))
        os.symlink(unix_path(system), unix_path(app + "\\SYS"))
        self.append_log(["File Copy: " + app + "\\SYS\\KTL" + self.tag + ".DLL"])
        journal = self.root + "\\journal.txt"

        done = run_wine([PROGRAM, "/S", "/L" + journal, app + "\\INSTALL.LOG"], timeout=300)
        self.assertEqual(0, done.returncode, done.out + done.err)

        self.assertEqual(b"system's own", read_bytes(marker))
        self.assertEqual(1, len(kept_lines(journal_lines(journal), "KTL" + self.tag)),
                         journal_lines(journal))
        self.assertFalse(self.exists(app + "\\A.TXT"))


class Restores(SafetyCase):
    def test_a_rollback_whose_backup_cannot_be_read_keeps_the_installed_file(self):
        app = self.app
        write_bytes(app + "\\LIB.DLL", b"before the upgrade")
        self.product.add("lib.dll", b"installed version")
        self.install(self.product, ["title Unreadable", "appdir " + app,
                                    "copy lib.dll | %APPDIR%\\LIB.DLL | backup"])
        backup = [l for l in read_bytes(app + "\\INSTALL.LOG").decode("gbk").split("\r\n")
                  if l.startswith("Backup Copy: ")][0][len("Backup Copy: "):]
        stop = self.root + "\\stop"
        # Another program holds the backup with no sharing: it is there, but
        # cannot be read.
        holder = hold_exclusively(stop, backup)
        try:
            journal = self.root + "\\journal.txt"
            done = run_wine([PROGRAM, "/R", "/S", "/L" + journal, app + "\\INSTALL.LOG"],
                            timeout=300)
        finally:
            release_files(stop, holder)
        self.assertEqual(ketra.low_byte(ketra.FAILED), done.returncode, done.out + done.err)
        self.assertEqual(b"installed version", read_bytes(app + "\\LIB.DLL"),
                         "expected the installed file kept when its backup cannot be read")
        self.assertEqual(b"before the upgrade", read_bytes(backup))
        failed = [l for l in journal_lines(journal) if "LIB.DLL" in l and "| failed |" in l]
        self.assertEqual(1, len(failed), journal_lines(journal))

    def test_a_backup_outside_the_products_folders_is_never_taken(self):
        app = self.app
        self.product.add("a.txt", b"a")
        self.install(self.product, ["title Docbackup", "appdir " + app,
                                    "copy a.txt | %APPDIR%\\A.TXT"])
        documents = user_profile() + "\\Documents"
        letter = documents + "\\KTR" + self.tag + " letter.txt"
        write_bytes(letter, b"Dear reader")
        self.cleanups.append(lambda: os.path.exists(unix_path(letter)) and
                             os.remove(unix_path(letter)))
        write_bytes(app + "\\NOTES.TXT", b"installed notes")
        self.append_log(["File Copy: " + app + "\\NOTES.TXT", "Backup Copy: " + letter])
        journal = self.root + "\\journal.txt"

        done = run_wine([PROGRAM, "/R", "/S", "/L" + journal, app + "\\INSTALL.LOG"],
                        timeout=300)
        self.assertEqual(0, done.returncode, done.out + done.err)

        self.assertEqual(b"Dear reader", read_bytes(letter), "expected the document kept")
        self.assertEqual(b"Dear reader", read_bytes(app + "\\NOTES.TXT"))
        self.assertEqual(1, len(kept_lines(journal_lines(journal), letter)),
                         journal_lines(journal))


class Deferral(SafetyCase):
    def test_a_file_refused_for_lack_of_rights_is_not_left_to_the_restart(self):
        app = self.app
        self.product.add("locked.dat", b"locked")
        self.product.add("free.dat", b"free")
        self.install(self.product, ["title Locked", "appdir " + app, "delete-in-use on",
                                    "copy locked.dat | %APPDIR%\\LOCKED.DAT",
                                    "copy free.dat | %APPDIR%\\FREE.DAT"])
        # Read-only and immutable on the Linux side: neither its attributes
        # nor the file may be changed, and the refusal says access denied.
        locked = unix_path(app + "\\LOCKED.DAT")
        os.chmod(locked, 0o444)
        done = subprocess.run(["chattr", "+i", locked], capture_output=True)
        if done.returncode != 0:
            self.skipTest("the file system takes no immutable flag: %s" % done.stderr)
        self.cleanups.append(lambda: unlock(locked))
        journals = {}
        for mode in ("/N", ""):
            journal = self.root + "\\journal%s.txt" % mode.strip("/")
            args = [PROGRAM, "/S"] + ([mode] if mode else []) + ["/L" + journal,
                                                                 app + "\\INSTALL.LOG"]
            done = run_wine(args, timeout=300)
            self.assertEqual(ketra.low_byte(ketra.FAILED), done.returncode, done.out + done.err)
            journals[mode] = [l for l in journal_lines(journal) if "LOCKED.DAT" in l]
            self.assertNotIn("LOCKED.DAT", pending_renames().upper())
        self.assertTrue(os.path.exists(locked))
        self.assertFalse(self.exists(app + "\\FREE.DAT"))
        self.assertEqual(1, len(journals[""]), journals)
        self.assertIn("| failed |", journals[""][0])
        self.assertIn("| would fail |", journals["/N"][0])

    def test_a_running_programs_image_waits_for_the_restart(self):
        app = self.app
        self.product.add_tool("run.exe", "KHOLD.EXE")
        self.product.add("held.dat", b"held")
        self.install(self.product, ["title Running", "appdir " + app, "delete-in-use on",
                                    "copy run.exe | %APPDIR%\\RUN.EXE",
                                    "copy held.dat | %APPDIR%\\HELD.DAT"])
        stop = self.root + "\\stop"
        write_bytes(self.root + "\\other.dat", b"")
        # The installed program runs from the product's folder.
        holder = start_tool(app + "\\RUN.EXE", stop, self.root + "\\other.dat")
        try:
            self.assertTrue(ketra.wait_for(lambda: self.exists(stop + ".ready")),
                            "the program did not start")
            journal = self.root + "\\journal.txt"
            done = run_wine([PROGRAM, "/S", "/L" + journal, app + "\\INSTALL.LOG"], timeout=300)
        finally:
            release_files(stop, holder)
            restart_session()
        self.assertEqual(ketra.low_byte(ketra.RESTART_NEEDED), done.returncode,
                         done.out + done.err)
        image = [l for l in journal_lines(journal) if "RUN.EXE" in l]
        self.assertEqual(1, len(image), journal_lines(journal))
        self.assertIn("in use: deferred to the restart", image[0])


if __name__ == "__main__":
    unittest.main()
