"""What the program takes from outside and hands on: the status report's
name from the log, libraries looked up at run time, the hand-over to the
temporary copy, the clean-up stage's command line, and the test hooks,
which the shipped program must not carry."""
import os
import shutil
import subprocess
import time
import unittest
import uuid

import ketra
from kinstall import (BUILD, TOOLS, Product, read_bytes, restart_session, run_wine, unix_path,
                      write_bytes)

PROGRAM = os.path.join(BUILD, "UNKETRA32.EXE")
# The shipped program: the 32-bit build beside the test build.
SHIPPED = os.path.join(os.path.dirname(BUILD), "win32", "UNKETRA32.EXE")
WINDOWS = "C:\\windows"


def setUpModule():
    # A fresh session: an earlier test may have restarted the machine.
    restart_session()


def wait_until(predicate, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        if predicate():
            return True
        time.sleep(0.1)
    return predicate()


class ShippedProgram(unittest.TestCase):
    """The environment hooks the scenarios drive the test build through are
    compiled into that build only."""
    HOOKS = (b"KETRA_HOLD_MS", b"KETRA_TRACE")

    def read(self, path):
        self.assertTrue(os.path.exists(path), "no program at %s (tools/build.sh builds it)" % path)
        with open(path, "rb") as f:
            return f.read()

    def imports(self, path, objdump):
        return subprocess.run([objdump, "-p", path], capture_output=True, text=True,
                              check=True).stdout

    def test_test_build_has_the_hooks_and_the_shipped_program_has_none(self):
        test_build = self.read(PROGRAM)
        for name in self.HOOKS:
            self.assertTrue(name in test_build, "the test build lost its hook %s" % name.decode())
        shipped = self.read(SHIPPED)
        # A 32-bit program (machine i386 in the PE header).
        pe = int.from_bytes(shipped[0x3C:0x40], "little")
        self.assertEqual(b"PE\0\0\x4c\x01", shipped[pe:pe + 6], "not the 32-bit program")
        for name in self.HOOKS + (b"KETRA_",):
            wide = name.decode().encode("utf-16-le")
            self.assertFalse(name in shipped or wide in shipped,
                             "the shipped program holds %s" % name.decode())
        objdump = shutil.which("i686-w64-mingw32-objdump")
        if objdump:
            table = self.imports(SHIPPED, objdump)
            self.assertIn("GetModuleFileNameA", table, "no import table read")
            self.assertNotIn("GetEnvironmentVariable", table)


if __name__ == "__main__":
    unittest.main()
