"""The GUI scenarios' side of KGUI.EXE: one driver process per scenario,
spoken to line by line, and screenshots of the Xvfb display."""
import os
import select
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
    """The driver cannot be trusted any more: it ended, kept silent, or its
    reply was out of step. The driver is closed, and every later command
    raises too, so that no late line is ever taken for a later answer."""


class Refused(GuiError):
    """The driver answered ERR: the window or control was not there."""


# The driver's own waits are given with each command; this is how long a
# reply may take beyond them on a busy machine.
REPLY_SECONDS = 120
# The driver reads commands into a 4096-byte line.
MAX_COMMAND = 4000


class Driver:
    def __init__(self, argv=None, reply_seconds=REPLY_SECONDS):
        """Starts KGUI.EXE (or argv, for the driver's own tests)."""
        self.proc = subprocess.Popen(argv or [ketra.WINE_RUN, KGUI], env=ketra.ENV,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL)
        self.pending = b""
        self.broken = None
        self.reply_seconds = reply_seconds

    def close(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.close()
                self.proc.wait(timeout=20)
            except (OSError, subprocess.TimeoutExpired):
                self.proc.kill()
                self.proc.wait()
        self.proc.stdout.close()

    def _fail(self, why):
        self.broken = why
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        raise GuiError(why)

    def _line(self, seconds):
        """The next line, within seconds."""
        fd = self.proc.stdout.fileno()
        end = time.monotonic() + seconds
        while b"\n" not in self.pending:
            left = end - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                self._fail("no reply within %d s" % seconds)
            chunk = os.read(fd, 65536)
            if not chunk:
                self._fail("the driver ended")
            self.pending += chunk
        line, _, self.pending = self.pending.partition(b"\n")
        return line.decode("gbk", "replace").rstrip("\r")

    def _send(self, command):
        if self.broken:
            raise GuiError("the driver was closed: %s" % self.broken)
        data = command.encode("gbk")
        # One command is one line; the driver would answer the parts of a
        # longer or broken one separately.
        if b"\n" in data or b"\r" in data or len(data) > MAX_COMMAND:
            raise ValueError("not one driver command: %r" % command[:80])
        if self.pending:
            self._fail("a line nobody asked for: %r" % self.pending[:80])
        try:
            self.proc.stdin.write(data + b"\n")
            self.proc.stdin.flush()
        except OSError as e:
            self._fail("cannot send %r: %s" % (command, e))

    @staticmethod
    def _seconds(command):
        """The wait that command names (its last word, in ms; the driver's
        default is 10 s), in seconds."""
        words = command.split()
        if words[0] not in ("find", "owned", "gone", "sleep"):
            return 0
        return (int(words[-1]) if words[-1].isdigit() else 10000) / 1000

    def _answer(self, command):
        answer = self._line(self._seconds(command) + self.reply_seconds)
        if answer == "OK" or answer.startswith("OK "):
            return answer[3:]
        if answer == "ERR" or answer.startswith("ERR "):
            raise Refused("%s: %s" % (command, answer))
        self._fail("%s: reply out of step: %r" % (command, answer))

    def ask(self, command):
        """Sends one command; returns the text after OK, raises Refused on ERR."""
        self._send(command)
        return self._answer(command)

    def try_ask(self, command):
        """As ask, but None when the driver refuses."""
        try:
            return self.ask(command)
        except Refused:
            return None

    def rows(self, command):
        """The lines of a reply of several lines, its framing checked:
        "OK n", n lines "| ...", then "END"."""
        head = self.ask(command)
        if not head.isdigit():
            self._fail("%s: no line count in %r" % (command, head))
        rows = []
        for _ in range(int(head)):
            line = self._line(self.reply_seconds)
            if not line.startswith("| "):
                self._fail("%s: %d lines announced, line %d is %r" % (command, int(head),
                                                                      len(rows) + 1, line))
            rows.append(line[2:])
        end = self._line(self.reply_seconds)
        if end != "END":
            self._fail("%s: %d lines announced, then %r" % (command, len(rows), end))
        return rows

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

    def until(self, predicate, seconds=30):
        return ketra.wait_for(predicate, seconds, step=0.1)

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
