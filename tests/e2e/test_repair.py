"""Repair runs of the real UNKETRA32.EXE on installations made by KSETUP:
started through a shortcut's /W<n> check (answered Yes), the program checks
every file, re-creates links, writes the logged registry values again,
registers servers again and has SETUP.EXE /X= put back what is damaged.
KCLICK.EXE answers the questions the way a user clicks them."""
import glob
import os
import shutil
import struct
import subprocess
import time
import unittest
import uuid

import ketra
from kinstall import (BUILD, DRIVE_C, STAMP, TOOLS, WINE_RUN, Product, dos_stamp, probe,
                      read_bytes, run_wine, unix_path, write_bytes)
from kinstall import restart_session

PROGRAM = os.path.join(BUILD, "UNKETRA32.EXE")
REPAIR_ROOT = "HKEY_LOCAL_MACHINE\\Software\\Ketra Solutions\\Ketra Installation System\\Repair"
DAMAGE_CAPTION = "执行修复"
NEWER_CAPTION = "修复较新的文件吗？"
PROMPT_CAPTION = "选择安装程序路径名称"


def list_files():
    found = []
    for temp in glob.glob(os.path.join(DRIVE_C, "users", "*", "AppData", "Local", "Temp")) + \
            glob.glob(os.path.join(DRIVE_C, "users", "*", "Temp")):
        found += [os.path.join(temp, n) for n in os.listdir(temp)
                  if n.upper().startswith("KTC") and n.upper().endswith(".TMP")]
    return found


def reg_text(s):
    return s.replace("\\", "\\\\").replace('"', '\\"')


def setUpModule():
    # A fresh session: an earlier test may have restarted the machine.
    restart_session()


class RepairCase(unittest.TestCase):
    def setUp(self):
        self.tag = "R%s" % uuid.uuid4().hex[:8]
        self.root = "C:\\KTEST\\" + self.tag
        self.app = self.root + "\\App"
        self.log = self.app + "\\INSTALL.LOG"
        self.key = "Software\\KetraTest\\" + self.tag
        self.calls = self.root + "\\calls.log"
        os.makedirs(unix_path(self.root), exist_ok=True)
        for f in list_files():
            os.remove(f)
        self.product = Product(self.tag, self.root)
        self.product.add_tool("KTSRVEXE.EXE", "KTSRVEXE.EXE")
        self.product.add_tool("KTSRVDLL.DLL", "KTSRVDLL.DLL")

    def tearDown(self):
        if getattr(getattr(self, "_outcome", None), "success", False):
            run_wine(["reg", "delete", "HKCU\\" + self.key, "/f"])
            run_wine(["reg", "delete", REPAIR_ROOT + "\\" + self.log.replace("\\", "/"), "/f"])
            shutil.rmtree(unix_path(self.root), ignore_errors=True)
            shutil.rmtree(unix_path(self.product.src), ignore_errors=True)

    def install(self, lines):
        manifest = ["title Repair Probe Installation", "appdir " + self.app,
                    "copy KTSRVEXE.EXE | %APPDIR%\\KTSRVEXE.EXE",
                    "copy KTSRVDLL.DLL | %APPDIR%\\KTSRVDLL.DLL"] + lines
        done = self.product.install(manifest, {"KETRA_SERVER_LOG": self.calls})
        self.assertEqual(0, done.returncode, done.out + done.err)

    def repair_key(self, checks, launch=True):
        """The repair key as an installer writes it: check entries (name,
        'dword' or 'sz') and Icons\\1 starting KTSRVEXE.EXE with 'launched'."""
        name = REPAIR_ROOT + "\\" + self.log.replace("\\", "/")
        lines = ["REGEDIT4", "", "[%s]" % name]
        for value, kind in checks:
            lines.append('"%s"=%s' % (reg_text(value),
                                       "dword:00000000" if kind == "dword" else '""'))
        if launch:
            lines += ["", "[%s\\Icons\\1]" % name,
                      '"Path"="%s"' % reg_text(self.app + "\\KTSRVEXE.EXE"),
                      '"Arguments"="launched"', '"WorkingDir"="%s"' % reg_text(self.app),
                      '"ShowWindow"="1"']
        write_bytes(self.root + "\\key.reg", ("\r\n".join(lines) + "\r\n").encode("gbk"))
        done = run_wine(["reg", "import", self.root + "\\key.reg"])
        self.assertEqual(0, done.returncode, done.out + done.err)

    def damaged_key(self):
        self.repair_key([(self.root + "\\gone.marker", "dword")])

    def start(self):
        env = dict(os.environ, BUILD_DIR=BUILD, KETRA_SERVER_LOG=self.calls)
        return subprocess.Popen([WINE_RUN, PROGRAM, "/W1", self.log], env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def click(self, *steps):
        done = run_wine([os.path.join(TOOLS, "KCLICK.EXE")] + list(steps), timeout=180)
        self.assertEqual(0, done.returncode, "KCLICK %s:\n%s" % (" ".join(steps), done.out))
        return done.out.replace("\r", "").split("\n")

    def finish(self, proc, expect=0):
        try:
            self.assertEqual(ketra.low_byte(expect), proc.wait(timeout=120))
        except subprocess.TimeoutExpired:
            proc.kill()
            self.fail("UNKETRA32 did not end")

    def repair(self, *answers):
        """A shortcut start that finds damage and is answered Yes; then each
        answer (a list of KCLICK steps) in turn."""
        proc = self.start()
        try:
            self.click("wait=" + DAMAGE_CAPTION, "click=6")
            for steps in answers:
                self.click(*steps)
        finally:
            self.finish(proc)

    def calls_text(self):
        path = unix_path(self.calls)
        if not os.path.exists(path):
            return ""
        with open(path, "rb") as f:
            return f.read().decode("gbk", "replace")

    def file_line(self, win):
        return probe("file|" + win)[0]


class Repair(RepairCase):
    def test_intact_installation_rewrites_registry_and_registers_again(self):
        p = self.product
        p.add("data.bin", b"intact data " * 500)
        p.add("empty.txt", b"")
        self.install(["copy data.bin | %APPDIR%\\data.bin", "copy empty.txt | %APPDIR%\\empty.txt",
                      "reg HKCU | %s | Text | sz | hello" % self.key,
                      "reg HKCU | %s\\Sub | List | multi_sz | one | two" % self.key,
                      "reg HKCU | %s | Count | dword | 42" % self.key,
                      "register %APPDIR%\\KTSRVDLL.DLL"])
        before = self.file_line(self.app + "\\data.bin")
        run_wine(["reg", "delete", "HKCU\\" + self.key, "/v", "Text", "/f"])
        run_wine(["reg", "delete", "HKCU\\" + self.key + "\\Sub", "/f"])
        os.remove(unix_path(self.calls))
        # Without its installer any restore would have to ask for it.
        os.rename(unix_path(p.src + "\\SETUP.EXE"), unix_path(p.src + "\\SETUP.BAK"))
        self.damaged_key()
        self.repair()
        self.assertEqual([], list_files())
        self.assertEqual(before, self.file_line(self.app + "\\data.bin"))
        self.assertEqual(probe("reg|1|%s|Text" % self.key), ["0|hello"])
        self.assertEqual(probe("reg|1|%s\\Sub|List" % self.key), ["2|one"])
        self.assertEqual(probe("reg|1|%s|Count" % self.key), ["3|42"])
        calls = self.calls_text()
        self.assertIn("KTSRVDLL.DLL", calls.upper())
        self.assertIn("DllRegisterServer", calls)
        self.assertIn("launched", calls)

    def test_each_kind_of_damage_is_put_back_with_its_recorded_time(self):
        p = self.product
        files = {"gone.bin": b"deleted " * 300, "size.bin": b"size " * 300,
                 "bytes.bin": b"same size " * 300, "older.bin": b"older " * 300,
                 "keep.bin": b"untouched " * 300}
        for name, data in files.items():
            p.add(name, data)
        self.install(["copy %s | %%APPDIR%%\\%s" % (n, n) for n in files])
        expected = {n: self.file_line(self.app + "\\" + n) for n in files}
        os.remove(unix_path(self.app + "\\gone.bin"))
        write_bytes(self.app + "\\size.bin", files["size.bin"] + b"x", STAMP)
        changed = bytearray(files["bytes.bin"])
        changed[100] ^= 1
        write_bytes(self.app + "\\bytes.bin", bytes(changed), STAMP)
        os.utime(unix_path(self.app + "\\older.bin"), (STAMP - 86400, STAMP - 86400))
        keep_mtime = os.stat(unix_path(self.app + "\\keep.bin")).st_mtime
        self.damaged_key()
        self.repair()
        for name, data in files.items():
            self.assertEqual(data, read_bytes(self.app + "\\" + name), name)
            self.assertEqual(expected[name], self.file_line(self.app + "\\" + name), name)
            self.assertEqual(STAMP, os.stat(unix_path(self.app + "\\" + name)).st_mtime, name)
        self.assertEqual(keep_mtime, os.stat(unix_path(self.app + "\\keep.bin")).st_mtime)
        self.assertEqual([], list_files())
        self.assertIn("launched", self.calls_text())

    def test_newer_file_is_replaced_only_after_yes(self):
        p = self.product
        p.add("newer.bin", b"recorded " * 100)
        self.install(["copy newer.bin | %APPDIR%\\newer.bin"])
        newer = b"a newer version of the file"
        write_bytes(self.app + "\\newer.bin", newer, STAMP + 86400 * 30)
        self.damaged_key()
        # No: left in place; the wizard behind the question is on its final
        # page with Back disabled.
        proc = self.start()
        try:
            self.click("wait=" + DAMAGE_CAPTION, "click=6")
            shown = self.click("wait=" + NEWER_CAPTION, "dump", "click=1006")
        finally:
            self.finish(proc)
        self.assertEqual(newer, read_bytes(self.app + "\\newer.bin"))
        question = [l for l in shown if l.startswith("1002|")]
        self.assertTrue(question and "newer.bin" in question[0] and "12:16:00" in question[0],
                        shown)
        self.repair(["wait=" + NEWER_CAPTION, "click=1005"])
        self.assertEqual(b"recorded " * 100, read_bytes(self.app + "\\newer.bin"))

    def test_moved_installer_is_asked_for_and_cancel_drops_the_list(self):
        p = self.product
        p.add("data.bin", b"data " * 200)
        self.install(["copy data.bin | %APPDIR%\\data.bin"])
        moved = self.root + "\\Moved"
        attributes = p.source_line().split(" | ", 1)[1].replace("|", "/")
        os.makedirs(unix_path(moved))
        shutil.move(unix_path(p.src + "\\SETUP.EXE"), unix_path(moved + "\\SETUP.EXE"))
        shutil.move(unix_path(p.src + "\\SETUP.TXT"), unix_path(moved + "\\SETUP.TXT"))
        shutil.copytree(unix_path(p.src + "\\payload"), unix_path(moved + "\\payload"))
        os.remove(unix_path(self.app + "\\data.bin"))
        self.damaged_key()
        # Cancel: the pending list goes, nothing is restored.
        proc = self.start()
        try:
            self.click("wait=" + DAMAGE_CAPTION, "click=6")
            self.click("wait=" + PROMPT_CAPTION, "click=2")
        finally:
            self.finish(proc, ketra.CANCELLED)
        self.assertEqual([], list_files())
        self.assertFalse(os.path.exists(unix_path(self.app + "\\data.bin")))
        # Asked until a path with the recorded date, time and size is given
        # (with the Chinese character set, so that the screenshot reads).
        settings = os.path.join(BUILD, "UNKETRA32.INI")
        with open(settings, "wb") as f:
            f.write(b"[Settings]\r\nFont Character Set=134\r\n")
        self.addCleanup(os.remove, settings)
        proc = self.start()
        try:
            self.click("wait=" + DAMAGE_CAPTION, "click=6")
            first = self.click("wait=" + PROMPT_CAPTION, "dump")
            # What the user sees while the prompt is open.
            screens = os.path.join(BUILD, "screens")
            os.makedirs(screens, exist_ok=True)
            with open(os.path.join(BUILD, "wine", "display")) as f:
                display = f.read().strip()
            subprocess.run(["import", "-display", display, "-window", "root",
                            os.path.join(screens, "question_prompt_installer_path.png")],
                           timeout=60)
            lists = list_files()
            self.assertEqual(1, len(lists))
            with open(lists[0], "rb") as f:
                line = f.read().decode("gbk")
            self.click("wait=" + PROMPT_CAPTION, "set=1010=" + moved + "\\SETUP.TXT", "click=1",
                       "gone")
            self.click("wait=" + PROMPT_CAPTION, "set=1010=" + moved + "\\SETUP.EXE", "click=1")
        finally:
            self.finish(proc)
        date, clock = dos_stamp(STAMP)
        d = int(date[3:5]) | int(date[0:2]) << 5 | (int(date[6:]) - 1980) << 9
        t = int(clock[0:2]) << 11 | int(clock[3:5]) << 5 | int(clock[6:]) // 2
        self.assertEqual("%s\\data.bin|%d|%d| %d | %08x\r\n" % (
            self.app, d, t, 1000, __import__("zlib").crc32(b"data " * 200)), line)
        text = [l for l in first if l.startswith("1002|")][0]
        self.assertIn(attributes, text)
        self.assertIn("1010|Edit|1|1|%s\\SETUP.EXE" % p.src, first)
        self.assertEqual(b"data " * 200, read_bytes(self.app + "\\data.bin"))
        self.assertEqual([], list_files())

    def test_two_installations_of_one_source_share_a_list(self):
        p = self.product
        p.add("a.bin", b"first " * 100)
        p.add("b.bin", b"second " * 100)
        self.install(["copy a.bin | %APPDIR%\\a.bin"])
        self.install(["copy b.bin | %APPDIR%\\b.bin"])
        # The installer restores from its manifest: it names both files.
        write_bytes(p.src + "\\SETUP.TXT", ("\r\n".join([
            "title Repair Probe Installation", "appdir " + self.app,
            "copy a.bin | %APPDIR%\\a.bin", "copy b.bin | %APPDIR%\\b.bin"]) + "\r\n").encode())
        # A copy as recorded elsewhere; the recorded path no longer matches.
        other = self.root + "\\Copy"
        os.makedirs(unix_path(other + "\\payload"))
        for f in ("SETUP.EXE", "SETUP.TXT", "payload\\a.bin", "payload\\b.bin"):
            shutil.copy2(unix_path(p.src + "\\" + f), unix_path(other + "\\" + f))
        os.utime(unix_path(p.src + "\\SETUP.EXE"), (STAMP, STAMP))
        os.remove(unix_path(self.app + "\\a.bin"))
        os.remove(unix_path(self.app + "\\b.bin"))
        self.damaged_key()
        proc = self.start()
        try:
            self.click("wait=" + DAMAGE_CAPTION, "click=6")
            self.click("wait=" + PROMPT_CAPTION)
            lists = list_files()
            self.assertEqual(1, len(lists))
            with open(lists[0], "rb") as f:
                lines = f.read().decode("gbk").split("\r\n")
            self.assertEqual(["%s\\b.bin" % self.app, "%s\\a.bin" % self.app, ""],
                             [l.split("|")[0] for l in lines])
            self.click("wait=" + PROMPT_CAPTION, "set=1010=" + other + "\\SETUP.EXE", "click=1")
        finally:
            # Installation 1 shares the list that installation 2's installer
            # used: its own (still changed) installer is not asked for again.
            self.finish(proc)
        self.assertEqual(b"first " * 100, read_bytes(self.app + "\\a.bin"))
        self.assertEqual(b"second " * 100, read_bytes(self.app + "\\b.bin"))
        self.assertEqual([], list_files())


class Links(RepairCase):
    def test_deleted_link_and_its_folders_come_back(self):
        p = self.product
        p.add("APP.EXE", b"MZ app")
        link = self.root + "\\Menu\\Group\\Deep\\App.lnk"
        self.install(["copy APP.EXE | %APPDIR%\\APP.EXE",
                      "link %s | %%APPDIR%%\\APP.EXE | %%APPDIR%% | %%APPDIR%%\\APP.EXE | 2 | 11 | 1604 | /probe x" % link,
                      "link %s\\Menu\\Plain.lnk | %%APPDIR%%\\APP.EXE | | | 0 | 1 | 512 |" % self.root])
        shutil.rmtree(unix_path(self.root + "\\Menu"))
        self.damaged_key()
        self.repair()
        got = probe("link|" + link, "link|%s\\Menu\\Plain.lnk" % self.root)
        fields = [f.strip() for f in got[0].split("|")]
        self.assertEqual(fields[0].upper(), (self.app + "\\APP.EXE").upper(), got)
        self.assertEqual(fields[1].upper(), self.app.upper(), got)
        self.assertEqual(fields[2].upper(), (self.app + "\\APP.EXE").upper(), got)
        self.assertEqual(fields[3], "2", got)
        self.assertEqual(fields[5], "1604", got)
        self.assertEqual(fields[6], "/probe x", got)
        plain = [f.strip() for f in got[1].split("|")]
        self.assertEqual(plain[5], "0", got)  # a modifier alone is not set
        # Wine reads every show command back as 1; the file itself keeps 11 AND 7.
        header = open(unix_path(link), "rb").read()
        self.assertEqual(3, struct.unpack_from("<I", header, 0x3C)[0])
        self.assertEqual(2, struct.unpack_from("<i", header, 0x38)[0])


class LaunchCheck(RepairCase):
    def setUp(self):
        super().setUp()
        self.install([])
        if os.path.exists(unix_path(self.calls)):
            os.remove(unix_path(self.calls))

    def launched(self):
        end = time.time() + 60
        while time.time() < end and "launched" not in self.calls_text():
            time.sleep(0.3)
        return "launched" in self.calls_text()

    def test_intact_key_starts_the_program_at_once(self):
        self.repair_key([(self.app + "\\KTSRVEXE.EXE", "dword"), ("2\\Software\\\\", "sz")])
        proc = self.start()
        self.finish(proc)
        self.assertTrue(self.launched())

    def test_no_repair_key_starts_nothing(self):
        proc = self.start()
        self.finish(proc)
        time.sleep(1)
        self.assertEqual("", self.calls_text())

    def test_cancel_deletes_the_checks_and_the_next_start_asks_nothing(self):
        self.repair_key([("2\\Software\\KetraTest\\NoSuch%s\\\\" % self.tag, "sz")])
        proc = self.start()
        try:
            self.click("wait=" + DAMAGE_CAPTION, "click=2")
        finally:
            self.finish(proc)
        self.assertTrue(self.launched())
        os.remove(unix_path(self.calls))
        proc = self.start()
        self.finish(proc)
        self.assertTrue(self.launched())

    def test_no_starts_without_repair(self):
        p = self.product
        self.repair_key([(self.app + "\\gone.dll", "dword")])
        os.remove(unix_path(self.app + "\\KTSRVDLL.DLL"))
        proc = self.start()
        try:
            self.click("wait=" + DAMAGE_CAPTION, "click=7")
        finally:
            self.finish(proc)
        self.assertTrue(self.launched())
        self.assertFalse(os.path.exists(unix_path(self.app + "\\KTSRVDLL.DLL")))


if __name__ == "__main__":
    unittest.main()
