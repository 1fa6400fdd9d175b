"""The GUI scenarios' side of KGUI.EXE: one driver process per scenario,
spoken to line by line, and screenshots of the Xvfb display."""
import os
import subprocess
import time

import ketra

KGUI = os.path.join(ketra.BUILD, "tools", "KGUI.EXE")
SCREENS = os.path.join(ketra.BUILD, "screens")


def display():
    with open(os.path.join(ketra.BUILD, "wine", "display")) as f:
        return f.read().strip()


def own_frames(on):
    """Without a window manager on the display, Wine draws window frames (and
    places maximised windows) itself only when it does not hand them to one."""
    if on:
        ketra.run("reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/d", "N", "/f")
    else:
        ketra.run("reg", "delete", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/f")


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            out.append({"r": "\r", "n": "\n", "t": "\t", "\\": "\\"}.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


class GuiError(Exception):
    pass


class Driver:
    def __init__(self):
        self.proc = subprocess.Popen([ketra.WINE_RUN, KGUI], env=ketra.ENV, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

    def close(self):
        if self.proc.poll() is None:
            self.proc.stdin.close()
            try:
                self.proc.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.proc.kill()
        self.proc.stdout.close()

    def _line(self):
        line = self.proc.stdout.readline()
        if not line:
            raise GuiError("the driver ended")
        return line.decode("gbk", "replace").rstrip("\r\n")

    def ask(self, command):
        """Sends one command; returns the text after OK, raises on ERR."""
        self.proc.stdin.write(command.encode("gbk") + b"\n")
        self.proc.stdin.flush()
        answer = self._line()
        if not answer.startswith("OK"):
            raise GuiError("%s: %s" % (command, answer))
        return answer[3:]

    def try_ask(self, command):
        try:
            return self.ask(command)
        except GuiError:
            return None

    def rows(self, command):
        count = int(self.ask(command))
        return [self._line() for _ in range(count)]

    # Conveniences over the commands.
    def find(self, cls, title="*", ms=15000):
        return self.ask("find %s %s %d" % (cls, title, ms))

    def owned(self, owner, cls="#32770", ms=15000):
        return self.ask("owned %s %s %d" % (owner, cls, ms))

    def text(self, window, control=0):
        return unescape(self.ask("text %s %d" % (window, control)))

    def state(self, window, control):
        values = dict(part.split("=") for part in self.ask("state %s %d" % (window, control)).split())
        return {k: v == "1" for k, v in values.items()}

    def click(self, window, control):
        self.ask("click %s %d" % (window, control))

    def key(self, window, control, vk):
        self.ask("key %s %d %s" % (window, control, vk))

    def list(self, window, control=1003):
        rows = []
        for line in self.rows("list %s %d" % (window, control)):
            selected, _, text = line.partition(" ")
            rows.append((unescape(text), selected == "1"))
        return rows

    def setsel(self, window, row, on, control=1003):
        self.ask("setsel %s %d %d %d" % (window, control, row, 1 if on else 0))

    def controls(self, window):
        result = {}
        for line in self.rows("controls %s" % window):
            parts = line.split(" ", 3)
            result[int(parts[0])] = (parts[1] == "1", parts[2], unescape(parts[3] if len(parts) > 3 else ""))
        return result

    def rect(self, window):
        return [int(v) for v in self.ask("rect %s" % window).split()]

    def gone(self, window, ms=15000):
        return self.try_ask("gone %s %d" % (window, ms)) is not None

    def until(self, predicate, seconds=10):
        end = time.time() + seconds
        while time.time() < end:
            if predicate():
                return True
            time.sleep(0.1)
        return predicate()

    def shoot(self, window, name):
        """Saves the window (with its frame) as <build>/screens/<name>.png."""
        os.makedirs(SCREENS, exist_ok=True)
        left, top, right, bottom = self.rect(window)
        path = os.path.join(SCREENS, name + ".png")
        time.sleep(0.4)
        subprocess.check_call(["import", "-display", display(), "-window", "root", "-crop",
                               "%dx%d+%d+%d" % (right - left, bottom - top, left, top), "+repage",
                               path])
        return path


def count_colour(png, rgb):
    """Number of pixels of exactly this colour in a PNG."""
    out = subprocess.check_output(["convert", png, "-fill", "black", "+opaque",
                                   "rgb(%d,%d,%d)" % rgb, "-fill", "white", "-opaque",
                                   "rgb(%d,%d,%d)" % rgb, "-format", "%[fx:int(mean*w*h+0.5)]",
                                   "info:"])
    return int(out)
