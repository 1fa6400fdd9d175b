"""The scenarios' side of the GUI driver protocol, against stand-in drivers
that answer from a script: a reply out of step is refused at once and closes
the driver, so that no later command ever reads a line meant for an earlier
one."""
import sys
import unittest

import kgui

# A stand-in driver: for each command line it reads, it writes the next
# reply as it stands (None: no reply at all; "EXIT": it ends).
STAND_IN = r"""
import sys, time
replies = %r
for reply in replies:
    if not sys.stdin.readline():
        break
    if reply is None:
        time.sleep(30)
        break
    if reply == "EXIT":
        sys.exit(0)
    sys.stdout.write(reply)
    sys.stdout.flush()
sys.stdin.read()
"""


def driver(*replies, seconds=10):
    return kgui.Driver([sys.executable, "-c", STAND_IN % (list(replies),)], reply_seconds=seconds)


class Framing(unittest.TestCase):
    def check_refused(self, replies, call, broken, seconds=10):
        """call(gui) raises a GuiError, and the driver is closed after it;
        returns the error."""
        gui = driver(*replies, seconds=seconds)
        try:
            with self.assertRaises(kgui.GuiError) as raised:
                call(gui)
            self.check_broken(gui, broken)
            return raised.exception
        finally:
            gui.close()

    def check_broken(self, gui, message):
        """The driver is closed: every later command raises too."""
        with self.assertRaises(kgui.GuiError) as raised:
            gui.ask("rect 1")
        self.assertIn("closed", str(raised.exception))
        self.assertIn(message, str(raised.exception))

    def test_rows_as_announced_are_read_and_the_next_reply_is_in_step(self):
        gui = driver("OK 2\n| 1 a\n| 2 b c\nEND\n", "OK 0\nEND\n", "ERR not found\n", "OK 1 2 3 4\n")
        try:
            self.assertEqual(["1 a", "2 b c"], gui.rows("windows"))
            self.assertEqual([], gui.rows("windows"))
            self.assertIsNone(gui.try_ask("text 1 2"))
            self.assertEqual([1, 2, 3, 4], gui.rect("1"))
        finally:
            gui.close()

    def test_a_line_more_than_announced_is_refused(self):
        # What the old driver sent when a window appeared between its count
        # and its list.
        error = self.check_refused(("OK 1\n| 1 a\n| 2 b\nEND\n", "OK 1 2 3 4\n"),
                                   lambda gui: gui.rows("windows"), "1 lines announced")
        self.assertNotIsInstance(error, kgui.Refused)
        self.assertIn("1 lines announced", str(error))

    def test_a_line_fewer_than_announced_is_refused(self):
        self.check_refused(("OK 2\n| 1 a\nEND\n",), lambda gui: gui.rows("windows"),
                           "line 2 is 'END'")

    def test_a_reply_that_is_neither_ok_nor_err_is_refused(self):
        self.check_refused(("| 1 a\n",), lambda gui: gui.try_ask("text 1 2"), "out of step")

    def test_silence_and_an_ended_driver_are_errors_not_hangs(self):
        self.check_refused((None,), lambda gui: gui.ask("text 1 2"), "no reply within", seconds=1)
        self.check_refused(("EXIT",), lambda gui: gui.ask("text 1 2"), "ended")

    def test_a_command_of_several_lines_is_not_sent(self):
        gui = driver("OK\n")
        try:
            with self.assertRaises(ValueError):
                gui.ask("settext 1 2 a\nclick 1 2")
            with self.assertRaises(ValueError):
                gui.ask("settext 1 2 " + "x" * 5000)
            self.assertEqual("", gui.ask("click 1 2"))
        finally:
            gui.close()


if __name__ == "__main__":
    unittest.main()
