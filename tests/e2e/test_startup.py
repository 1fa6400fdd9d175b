"""Start-up of UNKETRA32.EXE under Wine: the log it picks, the temporary copy
and its removal at restart, the window rules, and hostile input. The
program writes what start-up decided into the file named by KETRA_TRACE."""
import os
import shutil
import unittest

import ketra
import kgui
from kinstall import restart_session


def setUpModule():
    # A fresh session: an earlier test may have restarted the machine.
    restart_session()


class Startup(unittest.TestCase):
    def setUp(self):
        # Short folder names: Wine's cmd cannot give the short form of long ones.
        name = self.id().split(".")[-1][5:17]
        self.win_dir = "C:\\e2e startup\\%s folder" % name
        self.dir = ketra.unix("C:\\e2e startup") + "/%s folder" % name
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        shutil.copy(ketra.PROGRAM, os.path.join(self.dir, "UNKETRA32.EXE"))
        self.program = self.win_dir + "\\UNKETRA32.EXE"
        self.trace_win = self.win_dir + "\\trace.ini"
        self.trace = os.path.join(self.dir, "trace.ini")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def launch(self, *args, env=None):
        # These runs look at start-up only: the hold hook ends each run
        # before the log is read. Wine's X11 driver fails on a window that is
        # unmapped within moments of being mapped, so the windows stay up
        # for a short while.
        e = {"KETRA_TRACE": self.trace_win, "KETRA_HOLD_MS": "300"}
        e.update(env or {})
        code, out = ketra.run(self.program, *args, env=e)
        self.assertEqual(0, code, "expected exit code 0, got %d: %s" % (code, out))
        self.assertTrue(os.path.exists(self.trace), "the run left no trace")
        return ketra.read_trace(self.trace)

    def test_empty_command_line_uses_the_log_beside_the_program(self):
        open(os.path.join(self.dir, "INSTALL.LOG"), "w").close()
        trace = self.launch()
        expected = ketra.short_path(self.win_dir + "\\INSTALL.LOG")
        self.assertEqual(expected, trace["LogPath"])
        self.assertNotIn(" ", trace["LogPath"])
        # The long form of the program's own path is kept.
        self.assertEqual(self.program.lower(), trace["ModulePath"].lower())
        self.assertEqual(self.program[:-3].lower() + "ini", trace["SettingsIniPath"].lower())

    def choose_log(self, answer):
        """Starts the program with no log beside it and answers the open-file
        dialog through answer(driver, dialog); returns the run's trace."""
        env = {"KETRA_TRACE": self.trace_win, "KETRA_HOLD_MS": "300"}
        proc = ketra.start(self.program, env=env)
        gui = kgui.Driver()
        try:
            # Wine shows an empty frame of the dialog first; the one to
            # answer is the one with the file name box (1148).
            def file_dialog():
                for line in gui.rows("windows"):
                    window, cls = line.split(" ")[:2]
                    if cls == "#32770" and gui.try_ask("text %s 1148" % window) is not None:
                        return window
                return None
            self.assertTrue(gui.until(lambda: file_dialog() is not None, 120),
                            "no open-file dialog")
            dialog = file_dialog()
            answer(gui, dialog)
            self.assertTrue(gui.gone(dialog, 20000), "the open-file dialog stayed")
            self.assertEqual(0, proc.wait(timeout=60))
        finally:
            gui.close()
            if proc.poll() is None:
                proc.kill()
        return ketra.read_trace(self.trace)

    def test_no_log_asks_for_one_and_takes_the_chosen_file(self):
        chosen = self.win_dir + "\CHOSEN.LOG"
        open(ketra.unix(chosen), "w").close()

        def open_chosen(gui, dialog):
            gui.ask("settext %s 1148 %s" % (dialog, chosen))
            # Enter takes the default button, Open (its id 1 is also the toolbar's).
            gui.key(dialog, 1148, "RETURN")
        trace = self.choose_log(open_chosen)
        self.assertEqual(ketra.short_path(chosen).lower(), ketra.short_path(trace["LogPath"]).lower())

    def test_cancelled_open_dialog_ends_the_run_quietly(self):
        trace = self.choose_log(lambda gui, dialog: gui.click(dialog, 2))
        self.assertEqual("", trace.get("LogPath", ""))

    def test_temporary_copy_is_deleted_at_restart(self):
        trace = self.launch("C:\\APP\\INSTALL.LOG")
        copy = trace["TempCopyPath"]
        self.assertTrue(copy.upper().endswith("KTR1A2B.EXE"), copy)
        self.assertTrue(os.path.exists(ketra.unix(copy)), "no temporary copy at " + copy)
        with open(ketra.unix(copy), "rb") as a, open(ketra.PROGRAM, "rb") as b:
            self.assertEqual(b.read(), a.read(), "the copy differs from the program")
        self.assertIn(copy.lower(), ketra.pending_renames().lower())
        self.assertEqual("1", trace["PlatformKind"])

        code, out = ketra.run("wineboot", "-r", timeout=120)
        self.assertTrue(ketra.wait_for(lambda: not os.path.exists(ketra.unix(copy))),
                        "the temporary copy survived the restart")
        self.assertNotIn(copy.lower(), ketra.pending_renames().lower())

    def test_windows_98_schedules_through_wininit(self):
        key = "HKCU\\Software\\Wine\\AppDefaults\\UNKETRA32.EXE"
        wininit = ketra.unix("C:\\windows\\WININIT.INI")
        if os.path.exists(wininit):
            os.remove(wininit)
        ketra.run("reg", "add", key, "/v", "Version", "/d", "win98", "/f")
        try:
            trace = self.launch("C:\\APP\\INSTALL.LOG")
            trace2 = ketra.read_trace(self.trace)
            os.remove(self.trace)
            self.launch("C:\\APP\\INSTALL.LOG")
        finally:
            ketra.run("reg", "delete", key, "/f")
        self.assertEqual("2", trace["PlatformKind"], "GetVersionExA did not report the 95 family")
        copy = trace2["TempCopyPath"]
        with open(wininit, "rb") as f:
            text = f.read().decode("gbk")
        # The first run creates the file, the second appends to it.
        self.assertEqual("[rename]\r\nNUL=%s\r\nNUL=%s\r\n" % (copy, copy), text)

        ketra.run("wineboot", "-r", timeout=120)
        self.assertTrue(ketra.wait_for(lambda: not os.path.exists(ketra.unix(copy))),
                        "the temporary copy survived the restart")

    def test_capital_z_makes_no_copy_and_removes_the_settings_file(self):
        ini = os.path.join(self.dir, "UNKETRA32.INI")
        ketra.write_ini(ini, {"Settings": {"No Background": "1"}})
        trace = self.launch("/Z", "C:\\APP\\INSTALL.LOG")
        self.assertEqual("", trace["TempCopyPath"])
        self.assertEqual("0", trace["CleanupStage"])
        self.assertFalse(os.path.exists(ini), "a /Z run kept the settings file")

    def test_silent_run_shows_no_window(self):
        ketra.write_ini(os.path.join(self.dir, "UNKETRA32.INI"),
                        {"Settings": {"No Background": "0"}})
        trace = self.launch("/S", "C:\\APP\\INSTALL.LOG")
        self.assertEqual("1", trace["SilentMode"])
        self.assertEqual("0", trace["MainWindowVisible"])
        self.assertEqual("0", trace["StartupWindowMade"])
        os.remove(self.trace)
        trace = self.launch("C:\\APP\\INSTALL.LOG")
        self.assertEqual("1", trace["MainWindowVisible"])
        self.assertEqual("1", trace["StartupWindowMade"])

    def test_quoted_path_and_title(self):
        os.makedirs(os.path.join(self.dir, "Long Folder"))
        open(os.path.join(self.dir, "Long Folder", "INSTALL.LOG"), "w").close()
        log = self.win_dir + "\\Long Folder\\INSTALL.LOG"
        # Wine quotes an argument with spaces: the line reads "<log>" My App.
        trace = self.launch(log, "My", "App")
        self.assertEqual(ketra.short_path(log), trace["LogPath"])
        self.assertEqual("My App", trace["CommandLineTitle"])
        self.assertEqual("My App", trace["MainWindowTitle"])
        os.remove(self.trace)
        trace = self.launch("C:\\APP\\INSTALL.LOG", "Other App")
        self.assertEqual("C:\\APP\\INSTALL.LOG", trace["LogPath"])
        self.assertEqual("Other App", trace["MainWindowTitle"])

    def test_bare_log_name_is_taken_from_the_current_directory(self):
        code, out = ketra.run(self.program, "A.LOG", env={"KETRA_TRACE": self.trace_win,
                                                          "KETRA_HOLD_MS": "300"},
                              cwd=self.dir)
        self.assertEqual(0, code, out)
        self.assertEqual(self.win_dir + "\\A.LOG", ketra.read_trace(self.trace)["LogPath"])

    def test_hostile_input_is_cut_not_overrun(self):
        ketra.write_ini(os.path.join(self.dir, "UNKETRA32.INI"), {
            "Settings": {"Text Font": "F" * 3000, "Start Red": "99999999999",
                         "End Blue": "-2147483648", "Font Character Size": "70000",
                         "No Background": "0"},
            "Language": {"Msg25": "|" * 4000, "Msg70": "~" * 4000, "Msg68": "x" * 5000},
        })
        long_path = "C:\\" + "\\".join(["d" * 60] * 6) + "\\INSTALL.LOG"
        trace = self.launch(long_path, env={"KETRA_HOLD_MS": "500"})
        self.assertEqual(long_path[:255], trace["LogPath"])
        os.remove(self.trace)
        trace = self.launch("/A", "t" * 3000)
        self.assertEqual("1", trace["AutoMode"])
        # A bare name is taken from the current directory, then cut.
        self.assertEqual(255, len(trace["LogPath"]))
        self.assertTrue(trace["LogPath"].endswith("\\" + "t" * (255 - len(trace["LogPath"].rsplit("\\", 1)[0]) - 1)), trace["LogPath"])
        os.remove(self.trace)
        # Wine quotes the first argument; the line is cut before its closing
        # quote, so the path runs to the cut, takes the current directory and
        # ends at its space.
        trace = self.launch("q" * 200 + " " + "q" * 200, "T" * 400)
        here = "Z:" + os.getcwd().replace("/", "\\")
        # The folders that exist take their short names (a checkout folder
        # such as fresh-1234 has one of its own); the missing name stays.
        self.assertEqual(ketra.short_path(here) + "\\" + "q" * 200, trace["LogPath"])
        # The joined text was cut at its 259 characters before the split.
        self.assertEqual("q" * (259 - len(here) - 202), trace["CommandLineTitle"])


if __name__ == "__main__":
    unittest.main()
