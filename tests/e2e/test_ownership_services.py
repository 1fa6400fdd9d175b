"""Services and INI files a log names that are not the product's: a damaged
or hand-edited log asks to delete Wine's own services, a hand-made service
whose program lies in the System folder, and WIN.INI and SYSTEM.INI in
several spellings. The real program, silent, keeps every one of them as it
was and says why in its journal; the dry run foresees the same; the
product's own service and INI files go."""
import os
import shutil
import unittest
import uuid

from kinstall import (BUILD, Product, ProductCase, probe, restart_session, run_wine,
                      system_folder, unix_path)

PROGRAM = os.path.join(BUILD, "UNKETRA32.EXE")
WINDOWS = "C:\\windows"
# Wine's own services: programs, a driver and a shared host's library.
WINE_SERVICES = ["RpcSs", "PlugPlay", "Spooler", "MountMgr", "Eventlog"]
SERVICES_KEY = "SYSTEM\\CurrentControlSet\\Services\\"
KEPT = "kept (not the product's)"
FOREIGN = "its program is none of the log's files and lies in no folder the log made"
SYSTEM_INI = "an INI file the system keeps"
APPDEFAULTS = "HKCU\\Software\\Wine\\AppDefaults\\UNKETRA32.EXE"


def setUpModule():
    restart_session()


def read_file(win):
    """The file's bytes, or None when it is gone."""
    if not os.path.exists(unix_path(win)):
        return None
    with open(unix_path(win), "rb") as f:
        return f.read()


def journal_text(win):
    with open(unix_path(win), "rb") as f:
        return f.read().decode("utf-8", "replace")


class ServicesAndIniFiles(ProductCase):
    # The version of Windows the program is told it runs on (Wine's
    # per-program setting); None: the prefix's own.
    version = None

    def setUp(self):
        self.make_product("V" + uuid.uuid4().hex[:6])
        self.app = self.root + "\\App Folder"
        self.own_service = "KTOwn" + self.tag
        self.hand_service = "KTHand" + self.tag
        self.system = system_folder(PROGRAM)
        self.hand_program = self.system + "\\KTH" + self.tag[1:] + ".EXE"
        self.saved = {n: read_file(WINDOWS + "\\" + n) for n in ("win.ini", "system.ini")}
        if self.version:
            run_wine(["reg", "add", APPDEFAULTS, "/v", "Version", "/d", self.version, "/f"])
            self.cleanups.append(lambda: run_wine(["reg", "delete", APPDEFAULTS, "/f"]))

    def tearDown(self):
        self.run_cleanups()
        for name in (self.own_service, self.hand_service):
            run_wine(["sc", "stop", name])
            run_wine(["sc", "delete", name])
        # A failing run must not leave the prefix without its INI files.
        for name, data in self.saved.items():
            if read_file(WINDOWS + "\\" + name) != data:
                with open(unix_path(WINDOWS + "\\" + name), "wb") as f:
                    f.write(data)
        for path in (self.hand_program, WINDOWS + "\\KT" + self.tag + ".INI"):
            if os.path.exists(unix_path(path)):
                os.remove(unix_path(path))
        self.remove_product_folders()

    def install(self, product, manifest):
        done = product.install(manifest)
        self.assertEqual(0, done.returncode, done.out + done.err)

    def append_log(self, lines):
        with open(unix_path(self.app + "\\INSTALL.LOG"), "ab") as f:
            for line in lines:
                f.write(line.encode("gbk") + b"\r\n")

    def service_state(self):
        """Name -> (state, configuration) of each service kept, as the probe
        reads them."""
        names = WINE_SERVICES + [self.hand_service]
        state = {}
        for name in names:
            lines = probe("service|" + name, "regtree|HKLM|" + SERVICES_KEY + name)
            state[name] = (lines[0].strip(), "\n".join(lines[1:]))
        return state

    def test_only_the_products_service_and_ini_files_go(self):
        app, tag = self.app, self.tag
        self.product.add_tool("KTSVC.EXE", "KTSVC.EXE")
        product_ini = WINDOWS + "\\KT" + tag + ".INI"
        self.install(self.product, [
            "title Services " + tag, "appdir " + app,
            "copy KTSVC.EXE | %APPDIR%\\KTSVC.EXE",
            "service %s | Ketra own %s | %%APPDIR%%\\KTSVC.EXE | start" % (self.own_service, tag),
            "ininew %APPDIR%\\PRODUCT.INI | Main | Color | blue",
            "ininew %s | Main | Color | blue" % product_ini])
        # Somebody's service whose program lies in the System folder, made
        # by another installation whose log this run never reads.
        other = Product("H" + tag, self.root + "\\Other")
        self.cleanups.append(lambda: shutil.rmtree(unix_path(other.src), ignore_errors=True))
        other.add_tool("KTSVC.EXE", "KTSVC.EXE")
        self.install(other, ["title Hand-made", "appdir " + self.root + "\\Other",
                             "copy KTSVC.EXE | " + self.hand_program,
                             "service %s | Hand-made | %s" % (self.hand_service,
                                                             self.hand_program)])
        self.assertEqual(["present 4"], probe("service|" + self.own_service))

        short_app = probe("short|" + app)[0].strip()
        ini_spellings = [
            "C:\\WINDOWS\\WIN.INI",
            "c:/windows//system.ini",
            self.system + "\\..\\WIN.INI",
            short_app + "\\..\\..\\..\\windows\\.\\SYSTEM.INI",
            "C:\\windows\\win.ini.",
        ]
        hostile = ["Create Service: " + name for name in WINE_SERVICES + [self.hand_service]]
        for path in ini_spellings:
            hostile += ["INI New: " + path, "INI File: " + path, "INI Sect: windows",
                        "INI Item: load", "INI Val: x"]
        self.append_log(hostile)
        before = self.service_state()

        dry_journal = self.root + "\\dry.txt"
        done = run_wine([PROGRAM, "/S", "/N", "/L" + dry_journal, app + "\\INSTALL.LOG"],
                        timeout=300)
        self.assertEqual(0, done.returncode, done.out + done.err)
        journal = self.root + "\\journal.txt"
        done = run_wine([PROGRAM, "/S", "/L" + journal, app + "\\INSTALL.LOG"], timeout=300)
        self.assertEqual(0, done.returncode, done.out + done.err)

        for name, data in self.saved.items():
            self.assertEqual(data, read_file(WINDOWS + "\\" + name),
                             "expected %s byte for byte" % name)
        after = self.service_state()
        for name, (state, config) in before.items():
            self.assertEqual(config, after[name][1], "expected %s configured as before" % name)
            # A service the system starts on demand may have started meanwhile;
            # none that ran was stopped.
            self.assertTrue(after[name][0].startswith("present"), name)
            if state == "present 4":
                self.assertEqual(state, after[name][0], "expected %s still running" % name)
        self.assertEqual(["missing"], probe("service|" + self.own_service))
        self.assertFalse(os.path.exists(unix_path(app + "\\PRODUCT.INI")))
        self.assertFalse(os.path.exists(unix_path(product_ini)))
        self.assertTrue(os.path.exists(unix_path(self.hand_program)))

        for path, would in ((journal, ""), (dry_journal, "would be ")):
            text = journal_text(path)
            for name in WINE_SERVICES + [self.hand_service]:
                self.assertIn("| services | service | %s%s | %s (" % (would, KEPT, name), text)
            self.assertIn(FOREIGN, text)
            for spelling in ini_spellings:
                self.assertIn("| %s%s | %s | %s" % (would, KEPT, spelling, SYSTEM_INI), text)
            self.assertIn("| %sremoved | %s\r\n" % (would, self.own_service), text)
            self.assertIn("| %sremoved | %s\r\n" % (would, product_ini), text)
            self.assertIn("| exit code 0", text)


# The guards hold whatever version the system reports.
class ServicesAndIniFilesOnWindows98(ServicesAndIniFiles):
    version = "win98"


class ServicesAndIniFilesOnNT4(ServicesAndIniFiles):
    version = "nt40"


if __name__ == "__main__":
    unittest.main()
