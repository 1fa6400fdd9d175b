"""The wizard as a user meets it: the mode page, the selection pages of the
Custom mode, the roll-back question, the final page, Cancel on every page
and during the work, the shared-file question and the English texts of a
settings file. Each scenario makes a real installation with KSETUP, works
the wizard through KGUI.EXE and checks the machine afterwards. Screenshots
of every page go to <build>/screens/wizard_*.png."""
import os
import re
import shutil
import time
import unittest
import uuid

import ketra
import kgui
from kinstall import (Product, expected_report, probe, read_bytes, run_wine, unix_path,
                      write_bytes)
from kinstall import restart_session

SAMPLE_ENGLISH = os.path.join(ketra.SOURCE, "tools", "sample", "UNKETRA32.INI.english")
BLUE = (0, 0, 127)

# Message texts of the string table the scenarios look for.
MODE_HEADING = "选择卸载方式"
FINAL_HEADING = "执行卸载"
ROLLBACK_HEADING = "执行反转"
NEXT, FINISH = "下一步(&N) >", "完成(&F)"
CANCEL_QUESTION = "您确定要取消卸载操作吗？"
HEADINGS = {1: "选择要删除的独立文件", 2: "选择要移除的系统文件", 3: "选择要删除的目录",
            4: "选择要删除的 INI 文件", 5: "选择要编辑的 INI 项目", 6: "选择要删除的注册表键",
            7: "选择要删除的注册表树", 8: "选择要编辑的注册表键", 9: "选择要删除的图标",
            10: "选择要删除的子系统", 11: FINAL_HEADING, 0: MODE_HEADING, 12: ROLLBACK_HEADING}
PAGE_OF = {v: k for k, v in HEADINGS.items()}

# Wizard controls.
HEADING, TEXT, LIST, TEXT2, STATUS = 1011, 1002, 1003, 1004, 1005
AUTOMATIC, CUSTOM, REPAIR = 1000, 1001, 1009
BUTTON_NEXT, BUTTON_CANCEL, SELECT_ALL, SELECT_NONE, BUTTON_BACK = 1, 2, 3, 4, 5
IDYES, IDNO = 6, 7


def setUpModule():
    # A fresh session: an earlier test may have restarted the machine.
    restart_session()


class WizardCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        kgui.own_frames(True)

    @classmethod
    def tearDownClass(cls):
        kgui.own_frames(False)

    def setUp(self):
        self.tag = "W%s%s" % (self.id().split(".")[-1][5:11], uuid.uuid4().hex[:5])
        self.root = "C:\\KTEST\\" + self.tag
        self.app = self.root + "\\App"
        self.log = self.app + "\\INSTALL.LOG"
        self.title = "Wizard " + self.tag
        self.key = "Software\\KetraTest\\" + self.tag
        self.prog_dir = unix_path(self.root + "\\prog")
        os.makedirs(self.prog_dir, exist_ok=True)
        shutil.copy(ketra.PROGRAM, os.path.join(self.prog_dir, "UNKETRA32.EXE"))
        self.settings({})
        self.proc = None
        self.gui = None

    def tearDown(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        if self.gui:
            self.gui.close()
        outcome = getattr(self, "_outcome", None)
        if getattr(outcome, "success", False):
            run_wine(["reg", "delete", "HKCU\\" + self.key, "/f"])
            shutil.rmtree(unix_path(self.root), ignore_errors=True)

    def settings(self, extra, language_file=None):
        """The settings file beside the program: no background (the wizard
        alone on the display) and the Chinese character set."""
        values = {"No Background": "1", "Font Character Set": "134"}
        values.update(extra)
        text = ""
        if language_file:
            with open(language_file, "rb") as f:
                text = f.read().decode("ascii") + "\r\n"
        text += "[Settings]\r\n" + "".join("%s=%s\r\n" % kv for kv in values.items())
        with open(os.path.join(self.prog_dir, "UNKETRA32.INI"), "wb") as f:
            f.write(text.encode("gbk"))

    def install(self, lines, tag=None, payload=None, header=()):
        p = Product(tag or self.tag, self.root)
        for name, data in (payload or {}).items():
            p.add(name, data)
        done = p.install(["title " + self.title, "appdir " + self.app] + list(header) + lines)
        self.assertEqual(0, done.returncode, done.out + done.err)
        return p

    def launch(self, *options):
        self.proc = ketra.start(self.root + "\\prog\\UNKETRA32.EXE", *(list(options) + [self.log]))
        self.gui = kgui.Driver()
        self.wizard = self.gui.find("#32770", self.title, 30000)
        return self.wizard

    def heading(self):
        return self.gui.text(self.wizard, HEADING)

    def page(self):
        return PAGE_OF.get(self.heading())

    def press(self, control, expect_page=None):
        before = self.heading()
        self.gui.click(self.wizard, control)
        if expect_page is not None:
            self.assertTrue(self.gui.until(lambda: self.page() == expect_page),
                            "expected page %s after %d on %r, got %r" %
                            (expect_page, control, before, self.heading()))

    def shown(self, control):
        return self.gui.state(self.wizard, control)["visible"]

    def finish(self, seconds=120):
        self.press(BUTTON_NEXT)
        self.assertEqual(0, self.proc.wait(timeout=seconds))

    def answer_cancel(self, button):
        box = self.gui.owned(self.wizard)
        self.assertEqual(CANCEL_QUESTION, self.gui.text(box, 65535))
        self.assertEqual("卸载", self.gui.text(box))
        self.gui.click(box, button)
        self.assertTrue(self.gui.gone(box))
        return box

    def exists(self, win):
        return os.path.exists(unix_path(win))


class FirstStart(WizardCase):
    def test_automatic_mode_to_final_page_and_uninstall(self):
        self.install(["copy app.exe | %APPDIR%\\APP.EXE", "copy readme.txt | %APPDIR%\\README.TXT",
                      "reg HKCU | %s | Path | sz | %%APPDIR%%" % self.key],
                     payload={"app.exe": b"MZ program" * 20, "readme.txt": b"read me"})
        w = self.launch()
        self.assertEqual(MODE_HEADING, self.heading())
        self.assertIn("“%s”" % self.title, self.gui.text(w, TEXT))
        self.assertTrue(self.gui.state(w, AUTOMATIC)["checked"], "Automatic is the default")
        self.assertFalse(self.gui.state(w, CUSTOM)["checked"])
        back = self.gui.state(w, BUTTON_BACK)
        self.assertTrue(back["visible"] and not back["enabled"], "Back is disabled on page 0")
        self.assertEqual(NEXT, self.gui.text(w, BUTTON_NEXT))
        # The log names its installer with attributes: a repair is possible.
        self.assertTrue(self.shown(REPAIR))
        self.assertEqual("修复(&R)", self.gui.text(w, REPAIR))
        self.assertFalse(self.shown(LIST))
        self.gui.shoot(w, "wizard_page00_mode")

        self.press(BUTTON_NEXT, 11)
        self.assertEqual(FINISH, self.gui.text(w, BUTTON_NEXT))
        self.assertTrue(self.gui.state(w, BUTTON_BACK)["enabled"])
        self.assertIn(self.title, self.gui.text(w, TEXT))
        for control in (AUTOMATIC, CUSTOM, REPAIR, LIST, SELECT_ALL):
            self.assertFalse(self.shown(control), control)
        self.gui.shoot(w, "wizard_page11_final")
        self.press(BUTTON_BACK, 0)
        self.assertTrue(self.gui.state(w, AUTOMATIC)["checked"])
        self.press(BUTTON_NEXT, 11)
        self.finish()
        self.assertFalse(self.exists(self.app + "\\APP.EXE"))
        self.assertFalse(self.exists(self.app + "\\README.TXT"))
        self.assertEqual(["missing"], probe("reg|HKCU|%s|Path" % self.key))

    def test_cancel_asks_on_every_page_and_changes_nothing(self):
        self.install(["copy app.exe | %APPDIR%\\APP.EXE",
                      "reg HKCU | %s | Path | sz | here" % self.key],
                     payload={"app.exe": b"MZ program"}, header=["source plain"])
        w = self.launch()
        # No repair source in the log: no Repair choice.
        state = self.gui.state(w, REPAIR)
        self.assertFalse(state["visible"] or state["enabled"])
        self.gui.click(w, BUTTON_CANCEL)
        box = self.answer_cancel(IDNO)
        self.assertEqual(MODE_HEADING, self.heading(), "No goes on where it was")
        self.gui.click(w, CUSTOM)
        self.press(BUTTON_NEXT, 1)
        self.gui.click(w, BUTTON_CANCEL)
        self.answer_cancel(IDNO)
        self.assertEqual(1, self.page())
        self.press(BUTTON_NEXT, 3)
        self.gui.click(w, BUTTON_CANCEL)
        self.answer_cancel(IDYES)
        self.assertEqual(ketra.low_byte(ketra.CANCELLED), self.proc.wait(timeout=60))
        self.assertTrue(self.exists(self.app + "\\APP.EXE"))
        self.assertTrue(self.exists(self.log))
        self.assertEqual(["0|here"], probe("reg|HKCU|%s|Path" % self.key))


class Rollback(WizardCase):
    def upgrade(self):
        self.install(["copy data.txt | %APPDIR%\\DATA.TXT", "copy app.exe | %APPDIR%\\APP.EXE"],
                     tag=self.tag + "a", payload={"data.txt": b"version one", "app.exe": b"MZ"})
        self.install(["copy data.txt | %APPDIR%\\DATA.TXT | backup"], tag=self.tag + "b",
                     payload={"data.txt": b"version two"})

    def test_yes_rolls_back_the_upgrade(self):
        self.upgrade()
        w = self.launch()
        self.press(BUTTON_NEXT, 12)
        self.assertEqual("是(&Y)", self.gui.text(w, AUTOMATIC))
        self.assertEqual("否(&N)", self.gui.text(w, CUSTOM))
        self.assertFalse(self.shown(REPAIR))
        self.assertTrue(self.gui.state(w, CUSTOM)["checked"], "No unless /R")
        self.assertFalse(self.gui.state(w, AUTOMATIC)["checked"])
        self.assertTrue(self.gui.state(w, BUTTON_BACK)["enabled"])
        self.gui.click(w, AUTOMATIC)
        self.gui.shoot(w, "wizard_page12_rollback")
        self.press(BUTTON_NEXT, 11)
        self.press(BUTTON_BACK, 12)
        self.assertTrue(self.gui.state(w, AUTOMATIC)["checked"], "the choice is kept")
        self.press(BUTTON_BACK, 0)
        self.press(BUTTON_NEXT, 12)
        self.press(BUTTON_NEXT, 11)
        self.finish()
        self.assertEqual(b"version one", read_bytes(self.app + "\\DATA.TXT"))
        self.assertTrue(self.exists(self.app + "\\APP.EXE"), "the first installation stays")

    def test_no_clears_a_rollback_asked_for_by_option(self):
        self.upgrade()
        w = self.launch("/R")
        self.press(BUTTON_NEXT, 12)
        self.assertTrue(self.gui.state(w, AUTOMATIC)["checked"], "/R preselects Yes")
        self.gui.click(w, CUSTOM)
        self.press(BUTTON_NEXT, 11)
        self.finish()
        self.assertFalse(self.exists(self.app + "\\DATA.TXT"), "a full uninstall, not a roll-back")
        self.assertFalse(self.exists(self.app + "\\APP.EXE"))


class Custom(WizardCase):
    def test_pages_rows_and_selections(self):
        ini = self.root + "\\KT.INI"
        write_bytes(ini, b"[Sect]\r\nKey=old\r\n")
        ketra.run("reg", "add", "HKCU\\" + self.key, "/v", "Mode", "/d", "before", "/f")
        self.install([
            "copy keep.txt | %APPDIR%\\KEEP.TXT", "copy gone.txt | %APPDIR%\\GONE.TXT",
            "ini %s | Sect | Key | new" % ini,
            "reg HKCU | %s | Named | sz | one" % self.key,
            "reg HKCU | %s\\Plain |  | sz | two" % self.key,
            "reg HKCU | %s | Mode | sz | after" % self.key,
            "execute C:\\KTEST\\nothere.exe /x | Clean up",
            "execute C:\\KTEST\\nothere2.exe",
        ], payload={"keep.txt": b"keep", "gone.txt": b"gone"}, header=["subsystem BKT" + self.tag])
        w = self.launch()
        self.gui.click(w, CUSTOM)
        # Forward through the pages that have rows; 2, 4, 7 and 9 are empty.
        seen = []
        # Until page 1 shows, the heading still names the mode page.
        self.press(BUTTON_NEXT, 1)
        while self.gui.until(lambda: self.page() is not None) and self.page() != 11:
            page = self.page()
            seen.append(page)
            self.assertEqual(NEXT, self.gui.text(w, BUTTON_NEXT))
            self.assertTrue(self.shown(LIST) and self.shown(SELECT_ALL) and self.shown(SELECT_NONE))
            self.assertFalse(self.shown(AUTOMATIC) or self.shown(REPAIR) or self.shown(TEXT2))
            self.gui.shoot(w, "wizard_page%02d_custom" % page)
            self.press(BUTTON_NEXT, None)
            self.assertTrue(self.gui.until(lambda: self.page() != page), "stuck on %d" % page)
        self.assertEqual([1, 3, 5, 6, 8, 10], seen)
        back = []
        while self.page() != 0:
            page = self.page()
            self.press(BUTTON_BACK)
            self.assertTrue(self.gui.until(lambda: self.page() != page))
            back.append(self.page())
        self.assertEqual([10, 8, 6, 5, 3, 1, 0], back)
        self.assertTrue(self.gui.state(w, CUSTOM)["checked"], "Custom is kept")

        # Rows in their formats; the reader selects nothing.
        self.press(BUTTON_NEXT, 1)
        rows = self.gui.list(w)
        self.assertEqual([self.app + "\\KEEP.TXT", self.app + "\\GONE.TXT"], [r for r, _ in rows])
        self.assertFalse(any(s for _, s in rows))
        self.gui.click(w, SELECT_ALL)
        # The click is posted and setsel is sent, and a sent message overtakes
        # a posted one: the row is unselected only once Select all is done.
        self.assertTrue(self.gui.until(lambda: all(s for _, s in self.gui.list(w))))
        self.gui.setsel(w, 0, False)
        self.press(BUTTON_NEXT, 3)
        folders = [r for r, _ in self.gui.list(w)]
        self.assertIn(self.app, folders, "a folder row has no trailing backslash")
        self.assertFalse(any(r.endswith("\\") for r in folders))
        self.press(BUTTON_NEXT, 5)
        self.assertEqual([("%s: [Sect] Key=old" % ini, False)], self.gui.list(w))
        self.press(BUTTON_NEXT, 6)
        rows = [r for r, _ in self.gui.list(w)]
        self.assertEqual(["%s Value Name: Named" % self.key, "%s\\Plain" % self.key], rows)
        # Select none, Back, Next: the page reopens with nothing selected.
        self.gui.click(w, SELECT_ALL)
        self.assertTrue(self.gui.until(lambda: all(s for _, s in self.gui.list(w))))
        self.gui.click(w, SELECT_NONE)
        self.press(BUTTON_BACK, 5)
        self.press(BUTTON_NEXT, 6)
        self.assertFalse(any(s for _, s in self.gui.list(w)))
        self.gui.setsel(w, 0, True)
        self.press(BUTTON_NEXT, 8)
        self.assertEqual([("%s Value Name: Mode=before" % self.key, False)], self.gui.list(w))
        self.gui.click(w, SELECT_ALL)
        self.press(BUTTON_NEXT, 10)
        self.assertEqual(["BKT" + self.tag, "Clean up", "C:\\KTEST\\nothere2.exe"],
                         [r for r, _ in self.gui.list(w)])
        self.press(BUTTON_NEXT, 11)
        # Back to page 1: the choices made there are still there.
        for page in (10, 8, 6, 5, 3, 1):
            self.press(BUTTON_BACK, page)
        self.assertEqual([False, True], [s for _, s in self.gui.list(w)])
        for page in (3, 5, 6):
            self.press(BUTTON_NEXT, page)
        self.assertEqual([True, False], [s for _, s in self.gui.list(w)])
        for page in (8, 10, 11):
            self.press(BUTTON_NEXT, page)
        self.finish()

        self.assertTrue(self.exists(self.app + "\\KEEP.TXT"), "unselected: kept")
        self.assertFalse(self.exists(self.app + "\\GONE.TXT"))
        self.assertEqual(["missing", "0|two", "0|before", "new"], probe(
            "reg|HKCU|%s|Named" % self.key, "reg|HKCU|%s\\Plain|" % self.key,
            "reg|HKCU|%s|Mode" % self.key, "ini|%s|Sect|Key" % ini))


class Work(WizardCase):
    def test_bar_grows_and_cancel_stops_between_items(self):
        count = 1200
        mif = "KW%s.MIF" % self.tag[-6:]
        report = unix_path("C:\\windows\\" + mif)
        self.install(["copy f.txt | %%APPDIR%%\\F\\F%04d.TXT" % i for i in range(count)],
                     payload={"f.txt": b"x"},
                     header=["manufacturer Ketra Tests", "product Cancelled", "version 1",
                             "serial C-1", "uninstall-mif " + mif])
        folder = unix_path(self.app + "\\F")
        w = self.launch("/A")
        # An automatic run: only Cancel remains, the work starts at once.
        self.assertFalse(self.shown(BUTTON_NEXT) or self.shown(BUTTON_BACK))
        self.assertTrue(self.gui.until(lambda: self.shown(STATUS), 60))
        self.assertIn(self.title, self.gui.text(w, STATUS))
        self.assertFalse(self.shown(TEXT) or self.shown(TEXT2))
        # Shots until the bar shows some work done, then until it has grown.
        shots = {}

        def bar(name):
            shots[name] = kgui.count_colour(self.gui.shoot(w, name), BLUE)
            return shots[name]
        self.assertTrue(self.gui.until(lambda: bar("wizard_working") > 0),
                        "the bar shows what is done")
        first = shots["wizard_working"]
        self.assertTrue(self.gui.until(lambda: bar("wizard_working_later") > first),
                        "the bar grows: %d, then %d" % (first, shots["wizard_working_later"]))
        self.gui.click(w, BUTTON_CANCEL)
        box = self.gui.owned(w)
        self.gui.shoot(box, "question_cancel_during_work")
        left = len(os.listdir(folder))
        time.sleep(1)
        self.assertEqual(left, len(os.listdir(folder)), "the work waits for the answer")
        self.gui.click(box, IDNO)
        self.assertTrue(self.gui.until(lambda: len(os.listdir(folder)) < left), "No goes on")
        self.gui.click(w, BUTTON_CANCEL)
        self.answer_cancel(IDYES)
        self.assertEqual(ketra.low_byte(ketra.CANCELLED), self.proc.wait(timeout=60))
        remaining = len(os.listdir(folder))
        self.assertTrue(0 < remaining < left, "stopped part-way: %d of %d left" % (remaining, count))
        # The status report says the run was cancelled.
        with open(report, "rb") as f:
            text = f.read().decode("ascii")
        os.remove(report)
        date = re.search(r'VALUE = "(\d\d/\d\d/\d\d \d{1,2}:\d\d)"', text).group(1)
        self.assertEqual(expected_report(["Ketra Tests", "Cancelled", "1", "C-1", "Uninstall", date,
                                          "Failed", "Canceled by user"]), text)


class SharedQuestion(WizardCase):
    def test_escape_is_a_plain_no_and_enter_no_to_all_is_remembered(self):
        names = ["S1.DLL", "S2.DLL", "S3.DLL"]
        self.install(["copy s.dll | %%APPDIR%%\\%s | shared" % n for n in names],
                     payload={"s.dll": b"shared library"})
        self.launch("/A")
        box = self.gui.find("#32770", "删除共享组件", 60000)
        self.assertEqual("全都否定(&A)", self.gui.text(box, 1))
        self.assertIn("\\S", self.gui.text(box, 1002))
        self.gui.shoot(box, "question_shared")
        self.gui.key(box, 0, "ESCAPE")
        self.assertTrue(self.gui.gone(box))
        # Escape was not remembered: the next file is asked about.
        box = self.gui.find("#32770", "删除共享组件", 30000)
        self.gui.key(box, 0, "RETURN")
        self.assertTrue(self.gui.gone(box))
        # Enter meant No to all: no third question.
        self.assertEqual(0, self.proc.wait(timeout=60))
        for n in names:
            self.assertTrue(self.exists(self.app + "\\" + n), n + " was kept")


class English(WizardCase):
    def test_a_language_section_turns_every_text_english(self):
        self.settings({"Font Character Set": "0"}, SAMPLE_ENGLISH)
        self.install(["copy a.txt | %APPDIR%\\A.TXT"], payload={"a.txt": b"a"})
        w = self.launch()
        self.assertEqual("Select Uninstall Method", self.heading())
        self.assertEqual("&Next >", self.gui.text(w, BUTTON_NEXT))
        self.assertEqual("< &Back", self.gui.text(w, BUTTON_BACK))
        self.assertEqual("Cancel", self.gui.text(w, BUTTON_CANCEL))
        self.assertEqual("&Automatic", self.gui.text(w, AUTOMATIC))
        self.assertEqual("&Custom", self.gui.text(w, CUSTOM))
        self.assertEqual("&Repair", self.gui.text(w, REPAIR))
        self.assertTrue(self.gui.text(w, TEXT).startswith('Welcome to the uninstall of "%s".\r\n\r\n'
                                                           % self.title))
        self.gui.shoot(w, "english_page00_mode")
        self.gui.click(w, CUSTOM)
        self.gui.click(w, BUTTON_NEXT)
        self.assertTrue(self.gui.until(lambda: self.heading() == "Select Private Files to Remove"))
        self.assertEqual("Select &All", self.gui.text(w, SELECT_ALL))
        self.assertEqual("&Select None", self.gui.text(w, SELECT_NONE))
        self.gui.shoot(w, "english_page01_files")
        self.gui.click(w, BUTTON_BACK)
        self.assertTrue(self.gui.until(lambda: self.heading() == "Select Uninstall Method"))
        self.gui.click(w, AUTOMATIC)
        self.gui.click(w, BUTTON_NEXT)
        self.assertTrue(self.gui.until(lambda: self.heading() == "Perform Uninstall"))
        self.assertEqual("&Finish", self.gui.text(w, BUTTON_NEXT))
        self.gui.shoot(w, "english_page11_final")
        self.gui.click(w, BUTTON_CANCEL)
        box = self.gui.owned(w)
        self.assertEqual("Are you sure you want to cancel the uninstall?", self.gui.text(box, 65535))
        self.assertEqual("Uninstall", self.gui.text(box))
        self.gui.shoot(box, "english_question_cancel")
        self.gui.click(box, IDYES)
        self.assertEqual(ketra.low_byte(ketra.CANCELLED), self.proc.wait(timeout=60))
        self.assertTrue(self.exists(self.app + "\\A.TXT"))


if __name__ == "__main__":
    unittest.main()
