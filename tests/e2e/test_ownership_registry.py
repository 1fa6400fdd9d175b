"""What an uninstall must never remove from the registry, whatever its log
says: a product installed by the test installer, then hostile lines naming
the roots, the system's keys and classes, the keys other programs share (in
several spellings) and values of the system's configuration as created. The
real program runs silently, first as a dry run; every sentinel survives, the
product's own tree, values and Run entry go, and the journal gives each
refusal its reason. A tree of the product's whose keys resist ends quickly."""
import os
import time
import unittest
import uuid

from kinstall import (BUILD, ProductCase, probe, restart_session, run_wine, system_folder,
                      unix_path, write_bytes)

PROGRAM = os.path.join(BUILD, "UNKETRA32.EXE")
# The shipped program is 32-bit: in a 64-bit prefix it sees the 32-bit view
# of the registry, and the sentinels must be where it looks.
VIEW = ["/reg:32"] if system_folder(PROGRAM).endswith("syswow64") else []
RUN = "Software\\Microsoft\\Windows\\CurrentVersion\\Run"
UNINSTALL = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
SESSION = "SYSTEM\\CurrentControlSet\\Control\\Session Manager"
WINLOGON = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"
KEPT = "kept (not the product's)"
ROOTS = {"HKCR": 0, "HKCU": 1, "HKLM": 2, "HKU": 3, "HKCC": 4}
LONG_ROOTS = {"HKCR": "HKEY_CLASSES_ROOT", "HKCU": "HKEY_CURRENT_USER",
              "HKLM": "HKEY_LOCAL_MACHINE", "HKU": "HKEY_USERS"}


def setUpModule():
    restart_session()


def reg(*args):
    done = run_wine(["reg"] + list(args) + VIEW)
    return done


def reg_file_text(entries):
    """A .reg file (UTF-16, as reg import reads it) setting each (key, name,
    data)."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    for key, name, data in entries:
        root, rest = key.split("\\", 1)
        lines += ["[%s\\%s]" % (LONG_ROOTS[root], rest), '"%s"="%s"' % (name, data), ""]
    return ("\r\n".join(lines) + "\r\n").encode("utf-16")


class RegistryOwnership(ProductCase):
    def setUp(self):
        self.make_product("R" + uuid.uuid4().hex[:6])
        self.app = self.root + "\\App"
        self.mine = "Software\\KetraReg" + self.tag
        self.journal = self.root + "\\JOURNAL.TXT"
        self.cleanups.append(self.remove_product_folders)

    def tearDown(self):
        self.run_cleanups()

    def install(self, manifest):
        self.product.add("a.txt", b"a")
        done = self.product.install(["title RegOwn", "appdir " + self.app,
                                     "copy a.txt | %APPDIR%\\A.TXT"] + manifest)
        self.assertEqual(0, done.returncode, done.out + done.err)

    def append_log(self, groups):
        with open(unix_path(self.app + "\\INSTALL.LOG"), "ab") as f:
            for group in groups:
                for line in group:
                    f.write(line.encode("gbk") + b"\r\n")

    def import_values(self, entries):
        """Writes the (root\\key, name, data) values in one reg import (data
        as a .reg file spells it)."""
        name = self.root + "\\sentinels.reg"
        write_bytes(name, reg_file_text(entries))
        done = reg("import", name)
        self.assertEqual(0, done.returncode, done.out + done.err)

    def value(self, full_key, name):
        root, key = full_key.split("\\", 1)
        return probe("reg|%s|%s|%s" % (root, key, name))[0]

    def key_present(self, full_key):
        root, key = full_key.split("\\", 1)
        return probe("key|%s|%s" % (root, key))[0] == "present"

    def uninstall(self, *options):
        return run_wine([PROGRAM, "/S"] + list(options) + ["/L" + self.journal,
                                                           self.app + "\\INSTALL.LOG"],
                        timeout=600)

    def windows_95_family(self):
        """The prefix presents a version of the 95 family to the program."""
        version = self.value("HKCU\\Software\\Wine\\AppDefaults\\UNKETRA32.EXE", "Version")
        return version.lower() in ("0|win95", "0|win98", "0|winme")

    def journal_lines(self):
        with open(unix_path(self.journal), "rb") as f:
            return f.read().decode("utf-8").split("\r\n")

    def test_hostile_lines_keep_every_sentinel_and_the_product_still_goes(self):
        tag = self.tag
        mark = "KetraRegS" + tag
        own_class = "KetraReg%s.Document" % tag
        own_run = "KetraReg" + tag
        self.install([
            "reg HKCU | %s\\Settings | Mode | sz | on" % self.mine,
            "reg HKLM | %s | Dir | sz | %%APPDIR%%" % self.mine,
            "regtree HKCU | %s\\Cache" % self.mine,
            "reg HKCU | %s\\Cache\\Sub | V | dword | 1" % self.mine,
            "reg HKCU | %s | %s | sz | %%APPDIR%%\\A.TXT" % (RUN, own_run),
            "reg HKCR | .kr%s | | sz | %s" % (tag, own_class),
            "regtree HKCR | " + own_class,
            "reg HKCR | %s\\shell\\open\\command | | sz | notepad" % own_class,
        ])
        clsid = "{4B455452-0000-4000-8000-%012X}" % int(tag[1:], 16)
        sentinels = [
            ("HKCU\\Software\\" + mark, "Keep", "hkcu"),
            ("HKLM\\Software\\" + mark, "Keep", "hklm"),
            ("HKCU\\" + RUN, mark, "user run"),
            ("HKLM\\" + RUN, mark, "machine run"),
            ("HKLM\\%s\\KetraRegOther%s" % (UNINSTALL, tag), "DisplayName", "another product"),
            ("HKCR\\.txt", mark, "text files"),
            ("HKCR\\CLSID\\" + clsid, mark, "a class"),
            ("HKCU\\Software\\Classes\\KetraRegS%s.Class" % tag, mark, "a user's class"),
            ("HKCU\\Environment", mark, "environment"),
            ("HKCU\\Control Panel\\Desktop", mark, "desktop"),
            ("HKCU\\Software\\Policies\\" + mark, "Keep", "policy"),
            ("HKU\\.DEFAULT\\Software\\" + mark, "Keep", "default user"),
            ("HKLM\\" + SESSION, mark, "session manager"),
            ("HKLM\\" + WINLOGON, mark, "winlogon"),
            ("HKLM\\SYSTEM\\CurrentControlSet\\Services\\KetraRegSvc" + tag, "ImagePath",
             "C:\\\\windows\\\\system32\\\\KTRSVC.EXE"),
        ]
        self.import_values(sentinels)
        for key, name, _ in sentinels:
            self.cleanups.append(lambda key=key, name=name: reg("delete", key, "/v", name, "/f"))
        for key in ("HKCU\\Software\\" + mark, "HKLM\\Software\\" + mark,
                    "HKLM\\%s\\KetraRegOther%s" % (UNINSTALL, tag), "HKCR\\CLSID\\" + clsid,
                    "HKCU\\Software\\Classes\\KetraRegS%s.Class" % tag,
                    "HKCU\\Software\\Policies\\" + mark, "HKU\\.DEFAULT\\Software\\" + mark,
                    "HKLM\\SYSTEM\\CurrentControlSet\\Services\\KetraRegSvc" + tag,
                    "HKCU\\" + self.mine, "HKLM\\" + self.mine, "HKCR\\.kr" + tag,
                    "HKCR\\" + own_class):
            self.cleanups.append(lambda key=key: reg("delete", key, "/f"))
        self.cleanups.append(lambda: reg("delete", "HKCU\\" + RUN, "/v", own_run, "/f"))
        before = {(k, n): self.value(k, n) for k, n, _ in sentinels}
        for (k, n), got in before.items():
            self.assertNotEqual("missing", got, "expected the sentinel %s %s set up" % (k, n))
        txt_default = self.value("HKCR\\.txt", "")

        def tree(key, root):
            return ["RegDB Tree: " + key, "RegDB Root: %d" % root]

        def created(key, name, root):
            return ["RegDB Key: " + key, "RegDB Val: x", "RegDB Name: " + name,
                    "RegDB Root: %d" % root]

        refused = [  # (root, key as the journal names it, reason)
            ("HKCU", "Software", "a key of one component under a root"),
            ("HKLM", "\\Software\\\\", "a key of one component under a root"),
            ("HKLM", "SOFTWARE\\WOW6432NODE", "a key of one component under a root"),
            ("HKCU", "Software\\Microsoft", "a key the system or other programs share"),
            ("HKCU", RUN, "a key the system or other programs share"),
            ("HKLM", RUN + "\\", "a key the system or other programs share"),
            ("HKLM", UNINSTALL, "a key the system or other programs share"),
            ("HKLM", "Software\\Wow6432Node\\Microsoft",
             "a key the system or other programs share"),
            ("HKCU", "Software\\Classes", "a key the system or other programs share"),
            ("HKCU", "Software\\Policies", "a key the system or other programs share"),
            ("HKCU", "Environment", "a key of one component under a root"),
            ("HKCU", "Control Panel\\Desktop", "a key the system or other programs share"),
            ("HKCR", "CLSID", "one of the system's own classes or file types"),
            ("HKCR", "Wow6432Node\\CLSID", "one of the system's own classes or file types"),
            ("HKCR", ".txt", "one of the system's own classes or file types"),
            ("HKCR", "txtfile", "one of the system's own classes or file types"),
            ("HKCU", "", "the root of a registry hive"),
            ("HKLM", "\\", "the root of a registry hive"),
            ("HKCR", "", "the root of a registry hive"),
            ("HKU", ".DEFAULT", "the root of a registry hive"),
            ("HKLM", "SYSTEM\\CurrentControlSet\\Services",
             "a key the system or other programs share"),
            ("HKLM", "SYSTEM\\ControlSet001\\Services\\KetraRegSvc" + tag,
             "a key the system or other programs share"),
            ("HKCC", "Software", "a key of one component under a root"),
        ]
        values = [("HKLM", SESSION, mark), ("HKLM", WINLOGON, mark),
                  ("HKLM", "System\\ControlSet001\\Control\\Session Manager\\", mark)]
        self.append_log([tree(k, ROOTS[r]) for r, k, _ in refused] +
                        [created(k, n, ROOTS[r]) for r, k, n in values])

        for dry in (True, False):
            if os.path.exists(unix_path(self.journal)):
                os.remove(unix_path(self.journal))
            started = time.time()
            done = self.uninstall(*(["/N"] if dry else []))
            print("\n%s run: %.1f s" % ("dry" if dry else "real", time.time() - started))
            self.assertEqual(0, done.returncode, done.out + done.err)
            lines = self.journal_lines()
            outcome = "would be " + KEPT if dry else KEPT
            for root, key, reason in refused:
                line = " | key | %s | %s\\%s | %s" % (outcome, root, key, reason)
                self.assertTrue(any(l.endswith(line) for l in lines),
                                "expected a line ending %r in:\n%s" % (line, "\n".join(lines)))
            for root, key, name in values:
                line = " | value | %s | %s\\%s\\%s | a value of the system's own configuration" % (
                    outcome, root, key, name)
                self.assertTrue(any(l.endswith(line) for l in lines),
                                "expected a line ending %r in:\n%s" % (line, "\n".join(lines)))
            for (k, n), data in before.items():
                self.assertEqual(data, self.value(k, n), "expected %s %s kept" % (k, n))
            self.assertEqual(txt_default, self.value("HKCR\\.txt", ""))
            if dry:
                self.assertTrue(self.key_present("HKCU\\%s\\Cache" % self.mine),
                                "expected the dry run to change nothing")

        # The product's own keys and values went, beside the kept ones.
        self.assertFalse(self.key_present("HKCU\\" + self.mine))
        self.assertFalse(self.key_present("HKLM\\" + self.mine))
        self.assertEqual("missing", self.value("HKCU\\" + RUN, own_run))
        self.assertTrue(self.key_present("HKCU\\" + RUN))
        self.assertFalse(self.key_present("HKCR\\.kr" + tag))
        self.assertFalse(self.key_present("HKCR\\" + own_class))
        self.assertFalse(os.path.exists(unix_path(self.app + "\\A.TXT")))

    def test_a_tree_whose_keys_resist_ends_quickly(self):
        # Each resisting key holds a chain whose whole name is too long to
        # be removed; keys beside and after them still go.
        spin = self.mine + "\\Spin"
        self.install(["regtree HKCU | " + spin, "reg HKCU | %s\\Plain | V | sz | x" % spin])
        long_chain = "\\" + "L" * 200 + "\\" + "M" * 200
        entries = [("HKCU\\%s\\K%02d%s" % (spin, i, long_chain), "V", "x") for i in range(40)]
        entries += [("HKCU\\%s\\K%02d\\Inner\\Z%d" % (spin, i, j), "V", "x")
                    for i in range(40) for j in range(3)]
        self.import_values(entries)
        self.cleanups.append(lambda: reg("delete", "HKCU\\" + self.mine, "/f"))
        self.assertTrue(self.key_present("HKCU\\%s\\K39" % spin))

        started = time.time()
        done = self.uninstall()
        print("\nresisting tree: %.1f s, exit code %d" % (time.time() - started, done.returncode))
        lines = self.journal_lines()
        named = [l for l in lines if l.split(" | ")[2:3] == ["key"] and
                 l.split(" | ")[4:5] == ["HKCU\\" + spin]]
        self.assertEqual(1, len(named), "expected one line for the tree in:\n" + "\n".join(lines))
        if self.windows_95_family():
            # There the system's own key deletion takes what is left below.
            self.assertIn(" | key | removed | ", named[0])
            self.assertFalse(self.key_present("HKCU\\" + spin))
        else:
            self.assertIn(" | key | failed | ", named[0])
            self.assertTrue(self.key_present("HKCU\\%s\\K00" % spin))
        self.assertFalse(self.key_present("HKCU\\%s\\Plain" % spin))
        self.assertFalse(self.key_present("HKCU\\%s\\K39\\Inner" % spin),
                         "expected the sound keys beside a resisting one removed")
        self.assertFalse(os.path.exists(unix_path(self.app + "\\A.TXT")))


if __name__ == "__main__":
    unittest.main()
