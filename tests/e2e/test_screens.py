"""Screenshots of what a user sees at start-up: the gradient background and
the start-up window in front of it. The PNG files go to <build>/screens."""
import os
import shutil
import subprocess
import unittest

import ketra
import kgui
from kinstall import restart_session

SCREENS = os.path.join(ketra.BUILD, "screens")


def display():
    with open(os.path.join(ketra.BUILD, "wine", "display")) as f:
        return f.read().strip()


def pixel(png, x, y):
    """(red, green, blue) of one pixel of a PNG."""
    fmt = " ".join("%%[fx:int(255*p{%d,%d}.%s)]" % (x, y, c) for c in "rgb")
    out = subprocess.check_output(["convert", png, "-format", fmt, "info:"])
    return tuple(int(v) for v in out.split())


def size(png):
    return [int(v) for v in subprocess.check_output(["identify", "-format", "%w %h", png]).split()]


def setUpModule():
    # A fresh session: an earlier test may have restarted the machine.
    restart_session()


class Screens(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        kgui.own_frames(True)

    @classmethod
    def tearDownClass(cls):
        kgui.own_frames(False)

    def setUp(self):
        os.makedirs(SCREENS, exist_ok=True)
        self.dir = ketra.unix("C:\\e2e screens")
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        shutil.copy(ketra.PROGRAM, os.path.join(self.dir, "UNKETRA32.EXE"))

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def shoot(self, name, settings, painted):
        """A screenshot of the whole display once the start-up window is up
        and painted(png) holds, while the program holds its windows."""
        ketra.write_ini(os.path.join(self.dir, "UNKETRA32.INI"), {"Settings": settings})
        proc = ketra.start("C:\\e2e screens\\UNKETRA32.EXE", "C:\\APP\\INSTALL.LOG",
                           env={"KETRA_HOLD_MS": "15000"})
        gui = kgui.Driver()
        png = os.path.join(SCREENS, name)
        try:
            window = gui.find("#32770", "*", 60000)

            def take():
                subprocess.check_call(["import", "-display", display(), "-window", "root", png])
                return painted(png)
            gui.until(take, 10)
            self.assertTrue(gui.state(window, 0)["visible"],
                            "the start-up window closed before the screenshot was taken")
        finally:
            gui.close()
            self.assertEqual(0, proc.wait(timeout=60))
        return png

    def test_gradient_background_with_start_up_window(self):
        def painted(png):
            width, height = size(png)
            return min(pixel(png, width // 2, height // 2)) > 150 and pixel(png, 5, 40)[2] > 200
        png = self.shoot("startup_gradient.png", {"No Background": "0"}, painted)
        width, height = size(png)
        # Default colours: blue at the top fading to black at the bottom.
        top = pixel(png, 5, 40)
        bottom = pixel(png, 5, height - 3)
        self.assertTrue(top[2] > 200 and top[0] < 20 and top[1] < 20, "top is %s" % (top,))
        self.assertTrue(max(bottom) < 20, "bottom is %s" % (bottom,))
        # The start-up window sits in the centre, in the button face colour.
        centre = pixel(png, width // 2, height // 2)
        self.assertTrue(min(centre) > 150, "centre is %s" % (centre,))

    def test_start_up_window_alone(self):
        # Character set 134 (GB2312) for the Chinese texts of the string table.
        def painted(png):
            width, height = size(png)
            return min(pixel(png, width // 2, height // 2)) > 150
        png = self.shoot("startup_window.png",
                   {"No Background": "1", "Font Character Set": "134"}, painted)
        width, height = size(png)
        centre = pixel(png, width // 2, height // 2)
        corner = pixel(png, 5, height - 3)
        self.assertTrue(min(centre) > 150, "centre is %s" % (centre,))
        self.assertNotEqual(centre, corner, "nothing was drawn in the centre")


if __name__ == "__main__":
    unittest.main()
