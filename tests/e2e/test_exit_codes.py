"""The exit code a deployment script sees: each run is started the way the
README tells administrators to (a batch file with start /wait, reading
%ERRORLEVEL%), so the whole 32-bit code comes back, not the low byte a Linux
parent gets. 0 done, 1602 cancelled, 1603 failed, 3010 restart still needed;
the clean-up stage and the shortcut launch check end with 0."""
import os
import shutil
import unittest
import uuid

import ketra
import kgui
from ketra import CANCELLED, DONE, FAILED, RESTART_NEEDED
from kinstall import Product, read_bytes, restart_session, unix_path, write_bytes
from test_uninstall import hold_files, release_files

CANCEL_QUESTION = "您确定要取消卸载操作吗？"
IDCANCEL, IDYES = 2, 6


def setUpModule():
    # A fresh session: an earlier test may have restarted the machine.
    restart_session()


class ExitCodeCase(unittest.TestCase):
    def setUp(self):
        self.tag = "X%s" % uuid.uuid4().hex[:8]
        self.root = "C:\\KTEST\\" + self.tag
        self.app = self.root + "\\App"
        self.log = self.app + "\\INSTALL.LOG"
        self.title = "Exit " + self.tag
        self.product = Product(self.tag, self.root)
        # A copy of the program with its own settings: no background, so that
        # the wizard is alone on the display.
        self.program = self.root + "\\prog\\UNKETRA32.EXE"
        os.makedirs(unix_path(self.root + "\\prog"), exist_ok=True)
        shutil.copy(ketra.PROGRAM, unix_path(self.program))
        write_bytes(self.root + "\\prog\\UNKETRA32.INI",
                    b"[Settings]\r\nNo Background=1\r\nFont Character Set=134\r\n")
        self.gui = None
        self.proc = None

    def tearDown(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        if self.gui:
            self.gui.close()
        if getattr(getattr(self, "_outcome", None), "success", False):
            shutil.rmtree(unix_path(self.root), ignore_errors=True)
            shutil.rmtree(unix_path(self.product.src), ignore_errors=True)

    def install(self, lines, delete_in_use="on"):
        payload = {"app.exe": b"MZ program", "data.bin": b"data " * 50}
        for name, data in payload.items():
            self.product.add(name, data)
        done = self.product.install(["title " + self.title, "appdir " + self.app,
                                     "delete-in-use " + delete_in_use,
                                     "copy app.exe | %APPDIR%\\APP.EXE",
                                     "copy data.bin | %APPDIR%\\DATA.BIN"] + lines)
        self.assertEqual(0, done.returncode, done.out + done.err)

    def script(self, *args):
        """The deployment script for one run; returns its path and the file
        it leaves the exit code in."""
        code = self.root + "\\code-%s.txt" % uuid.uuid4().hex[:6]
        batch = self.root + "\\run-%s.bat" % uuid.uuid4().hex[:6]
        lines = ['@start "" /wait %s %s' % (self.program, " ".join(args)),
                 "@echo %%ERRORLEVEL%%>%s" % code]
        write_bytes(batch, ("\r\n".join(lines) + "\r\n").encode("gbk"))
        return batch, code

    def read_code(self, code):
        self.assertTrue(os.path.exists(unix_path(code)), "the script left no exit code")
        return int(read_bytes(code).decode("ascii").strip())

    def exit_code(self, *args, timeout=300):
        batch, code = self.script(*args)
        ketra.run("cmd", "/c", batch, timeout=timeout)
        return self.read_code(code)

    def start(self, *args):
        """Starts the script; finish() gives the run's exit code."""
        batch, self.code_file = self.script(*args)
        self.proc = ketra.start("cmd", "/c", batch)
        self.gui = kgui.Driver()

    def finish(self, seconds=120):
        self.proc.wait(timeout=seconds)
        return self.read_code(self.code_file)

    def exists(self, win):
        return os.path.exists(unix_path(win))


class SilentRuns(ExitCodeCase):
    def test_a_normal_uninstall_is_done(self):
        self.install([])
        self.assertEqual(DONE, self.exit_code("/S", self.log))
        self.assertFalse(self.exists(self.app + "\\APP.EXE"))
        self.assertFalse(self.exists(self.log))

    def test_a_log_that_cannot_be_used_fails_and_changes_nothing(self):
        self.install([])
        with self.subTest("missing"):
            self.assertEqual(FAILED, self.exit_code("/S", self.app + "\\NONE\\INSTALL.LOG"))
        with self.subTest("garbled"):
            garbled = self.app + "\\GARBLED.LOG"
            write_bytes(garbled, b"\x00\xff not an install log \x01\r\n" * 20)
            self.assertEqual(FAILED, self.exit_code("/S", garbled))
        self.assertTrue(self.exists(self.app + "\\APP.EXE"))
        self.assertTrue(self.exists(self.log))

    def held(self, name):
        stop = self.root + "\\stop"
        holder = hold_files(stop, self.app + "\\" + name)
        return lambda: release_files(stop, holder)

    def test_a_file_in_use_the_log_may_not_defer_is_a_failure(self):
        self.install([], delete_in_use="off")
        release = self.held("APP.EXE")
        try:
            with self.subTest("foreseen by a dry run"):
                self.assertEqual(FAILED, self.exit_code("/S", "/N", self.log))
                self.assertTrue(self.exists(self.app + "\\DATA.BIN"), "a dry run removes nothing")
            self.assertEqual(FAILED, self.exit_code("/S", self.log))
            self.assertTrue(self.exists(self.app + "\\APP.EXE"))
        finally:
            release()
        self.assertFalse(self.exists(self.app + "\\DATA.BIN"), "the rest is still removed")

    def test_a_file_left_to_the_restart_asks_the_caller_for_one(self):
        self.install([])
        release = self.held("APP.EXE")
        try:
            self.assertEqual(RESTART_NEEDED, self.exit_code("/S", self.log))
            self.assertFalse(self.exists(self.app + "\\DATA.BIN"))
        finally:
            release()
            restart_session()


class UserStops(ExitCodeCase):
    def cancel_wizard(self):
        wizard = self.gui.find("#32770", self.title, 30000)
        self.gui.click(wizard, IDCANCEL)
        box = self.gui.owned(wizard)
        self.assertEqual(CANCEL_QUESTION, self.gui.text(box, 65535))
        self.gui.click(box, IDYES)

    def test_cancel_in_the_wizard_is_cancelled(self):
        self.install([])
        self.start(self.log)
        self.cancel_wizard()
        self.assertEqual(CANCELLED, self.finish())
        self.assertTrue(self.exists(self.app + "\\APP.EXE"))

    def test_closing_the_open_dialog_without_a_log_is_cancelled(self):
        self.start()

        def file_dialog():
            for line in self.gui.rows("windows"):
                window, cls = line.split(" ")[:2]
                if cls == "#32770" and self.gui.try_ask("text %s 1148" % window) is not None:
                    return window
            return None
        self.assertTrue(self.gui.until(lambda: file_dialog() is not None, 120),
                        "no open dialog")
        self.gui.click(file_dialog(), IDCANCEL)
        self.assertEqual(CANCELLED, self.finish())

    def test_a_declined_restart_is_still_needed(self):
        self.install([])
        stop = self.root + "\\stop"
        holder = hold_files(stop, self.app + "\\APP.EXE")
        try:
            self.start("/A", self.log)
            wizard = self.gui.find("#32770", self.title, 30000)
            box = self.gui.owned(wizard, "#32770", 60000)
            self.gui.click(box, IDCANCEL)
            self.assertEqual(RESTART_NEEDED, self.finish())
            self.assertTrue(self.exists(self.app + "\\APP.EXE"), "no restart carried it out")
        finally:
            release_files(stop, holder)
            restart_session()


class OtherStages(ExitCodeCase):
    def test_the_clean_up_stage_ends_with_done(self):
        old = self.root + "\\Old"
        write_bytes(old + "\\OLDPROG.EXE", b"MZ old")
        self.assertEqual(DONE, self.exit_code("/z", old + "\\OLDPROG.EXE", old + "\\"))
        self.assertTrue(ketra.wait_for(lambda: not self.exists(old)), "the folder stayed")

    def test_the_launch_check_without_a_repair_key_ends_with_done(self):
        self.install([])
        self.assertEqual(DONE, self.exit_code("/W1", self.log))
        self.assertTrue(self.exists(self.app + "\\APP.EXE"), "the check removes nothing")


if __name__ == "__main__":
    unittest.main()
