"""The test installer KSETUP makes real installations: its log lines, the
machine it leaves, an upgrade with backups, the /X= restore of a repair, and
manifests it refuses before changing anything."""
import os
import shutil
import time
import unittest
import uuid

from kinstall import (DRIVE_C, STAMP, Product, dos_stamp, log_lines, probe, read_bytes,
                      repair_data, run_wine, unix_path, write_bytes)
from kinstall import restart_session


def new_tag(name):
    return "%s%s" % (name, uuid.uuid4().hex[:6])


def setUpModule():
    # A fresh session: an earlier test may have restarted the machine.
    restart_session()


class InstallerCase(unittest.TestCase):
    def setUp(self):
        self.tag = new_tag(self.id().split(".")[-1][5:12])
        self.root = "C:\\KTEST\\" + self.tag
        os.makedirs(unix_path(self.root), exist_ok=True)
        self.key = "Software\\KetraTest\\" + self.tag
        self.services = []

    def tearDown(self):
        for name in self.services:
            run_wine(["sc", "stop", name])
            run_wine(["sc", "delete", name])
        # Keys and files of passing runs go; a failure leaves them to look at.
        outcome = getattr(self, "_outcome", None)
        if getattr(outcome, "success", False):
            run_wine(["reg", "delete", "HKCU\\" + self.key, "/f"])
            for folder in [self.root] + [
                    "C:\\KTSRC\\" + d for d in os.listdir(unix_path("C:\\KTSRC"))
                    if d.startswith(self.tag)]:
                shutil.rmtree(unix_path(folder), ignore_errors=True)

    def assertLines(self, got, expected):
        for i, (g, e) in enumerate(zip(got, expected)):
            self.assertEqual(g, e, "log line %d: expected %r, got %r" % (i + 1, e, g))
        self.assertEqual(len(got), len(expected), "expected %d lines, got %d:\n%s" %
                         (len(expected), len(got), "\n".join(got[len(expected):])))


class FullInstall(InstallerCase):
    def test_every_keyword(self):
        app, root, key, tag = self.root + "\\App", self.root, self.key, self.tag
        p = Product(tag, root)
        exe = b"MZ probe program\x00" * 40
        help_data = b"help file " * 100
        shared = b"shared library" * 30
        readme = b"read me\r\n"
        p.add("app.exe", exe)
        p.add("help\\probe.hlp", help_data, STAMP + 3602)
        p.add("shared.dll", shared)
        p.add("readme.txt", readme)
        p.add("probe.386", b"device driver")
        p.add_tool("KTSRVDLL.DLL", "KTSRVDLL.DLL")
        p.add_tool("KTSRVEXE.EXE", "KTSRVEXE.EXE")
        p.add_tool("KTSVC.EXE", "KTSVC.EXE")
        write_bytes(root + "\\SHARED.INI", b"[Settings]\r\nMode=slow\r\n")
        config = b"FILES=40\r\n"
        write_bytes(root + "\\CONFIG.SYS", config)
        old_dat = b"old data"
        write_bytes(root + "\\OLD.DAT", old_dat)
        service = "KTSvc" + tag
        self.services.append(service)
        server_log = root + "\\servers.log"
        link = app + "\\Links\\Probe.lnk"
        manifest = [
            "# every keyword once",
            "title Probe Product Installation",
            "appdir " + app,
            "charset oem",
            "manufacturer Ketra Tests",
            "product Probe",
            "version 1.0",
            "serial KT-0001",
            "uninstall-mif KTPROBE.MIF",
            "admin",
            "delete-in-use off",
            "system-restore",
            "subsystem BDE Probe",
            "per-user-id probe-user",
            "dir %APPDIR%\\DATA\\EMPTY",
            "tree %APPDIR%\\HELP\\*.GID",
            "copy app.exe | %APPDIR%\\APP.EXE",
            "copy help\\probe.hlp | %APPDIR%\\HELP\\PROBE.HLP",
            "copy KTSRVDLL.DLL | %APPDIR%\\KTSRVDLL.DLL | shared",
            "copy shared.dll | " + root + "\\Common\\SHARED.DLL | shared | nocount | nonsystem",
            "copy KTSRVEXE.EXE | %APPDIR%\\KTSRVEXE.EXE",
            "copy KTSVC.EXE | %APPDIR%\\KTSVC.EXE",
            "copy readme.txt | %APPDIR%\\README.TXT | norepair",
            "copy probe.386 | %APPDIR%\\PROBE.386",
            "copy app.exe | %APPDIR%\\APP.EXE | backup",
            "register %APPDIR%\\KTSRVDLL.DLL",
            "register %APPDIR%\\KTSRVEXE.EXE",
            "link %s | %%APPDIR%%\\APP.EXE | %%APPDIR%% | %%APPDIR%%\\APP.EXE | 2 | 1 | 1604 | /probe x" % link,
            "reg HKCU | %s | Text | sz | hello world" % key,
            "reg HKCU | %s | Path | expand_sz | %%%%WINDIR%%%%\\probe" % key,
            "reg HKCU | %s | List | multi_sz | one | two words" % key,
            "reg HKCU | %s | Count | dword | 4000000000" % key,
            "reg HKCU | %s | Blob | binary | 00ff7f10" % key,
            "reg HKCU | %s | | sz | default data" % key,
            "regtree HKCU | %s\\Tree" % key,
            "ininew %APPDIR%\\PROBE.INI | Main | Color | blue",
            "ini " + root + "\\SHARED.INI | Settings | Mode | fast",
            "ininew %APPDIR%\\PROBE.INI | Main | Size | 10",
            "ini " + root + "\\SHARED.INI | Settings | Extra | on",
            "edit " + root + "\\CONFIG.SYS | DEVICE=PROBE.SYS",
            "delete " + root + "\\OLD.DAT",
            "group Probe %s | Probe Item | %%APPDIR%%\\APP.EXE" % tag,
            "execute %APPDIR%\\KTSRVEXE.EXE /cleanup | Probe clean-up",
            "execute-program %APPDIR%\\KTSRVEXE.EXE /final",
            "service %s | Ketra test service %s | %%APPDIR%%\\KTSVC.EXE | start" % (service, tag),
            "device %APPDIR%\\PROBE.386",
        ]
        done = p.install(manifest, env={"KETRA_SERVER_LOG": server_log})
        self.assertEqual(done.returncode, 0, done.err)
        raw, got = log_lines(app + "\\INSTALL.LOG")
        self.assertEqual(got[-1], "", "the log must end with CR LF")
        self.assertNotIn(b"\n", raw.replace(b"\r\n", b""), "bare line feed in the log")
        got = got[:-1]
        progman = any(l.startswith("Icon Group: ") for l in got)

        def file_line(word, path, data, seconds=STAMP):
            return "%s%s |%s" % (word, path, repair_data(data, seconds))

        dll = p.payload["KTSRVDLL.DLL"][0]
        expected = [
            "*** Installation log",
            "Title: Probe Product Installation",
            p.source_line(),
            "Manufacturer: Ketra Tests",
            "Product: Probe",
            "Version Number: 1.0",
            "Serial Number: KT-0001",
            "Uninstall MIF: KTPROBE.MIF",
            "User Rights: Admin",
            "Delete in-use files: Off",
            "System Restore: Enabled",
            "SubSystem: BDE Probe",
            "Per-User ID: probe-user",
            "Made Dir: " + app,
            "Made Dir: " + app + "\\DATA",
            "Made Dir: " + app + "\\DATA\\EMPTY",
            "Made Dir: " + app + "\\HELP",
            "File Tree: " + app + "\\HELP\\*.GID",
            file_line("File Copy: ", app + "\\APP.EXE", exe),
            file_line("File Copy: ", app + "\\HELP\\PROBE.HLP", help_data, STAMP + 3602),
            file_line("File Copy: ", app + "\\KTSRVDLL.DLL", dll),
            "Made Dir: " + root + "\\Common",
            "Non-System File:",
            "Shared DLL counter ignored:",
            file_line("File Copy: ", root + "\\Common\\SHARED.DLL", shared),
            file_line("File Copy: ", app + "\\KTSRVEXE.EXE", p.payload["KTSRVEXE.EXE"][0]),
            file_line("File Copy: ", app + "\\KTSVC.EXE", p.payload["KTSVC.EXE"][0]),
            "File Copy: " + app + "\\README.TXT",
            file_line("File Copy: ", app + "\\PROBE.386", b"device driver"),
            "Made Dir: " + app + "\\BACKUP",
            file_line("File Overwrite: ", app + "\\APP.EXE", exe),
            "Backup Copy: " + app + "\\BACKUP\\APP.EXE",
            "Self-Register: " + app + "\\KTSRVDLL.DLL",
            "Self-Register: " + app + "\\KTSRVEXE.EXE",
            "Made Dir: " + app + "\\Links",
            "Shell Link: " + link,
            "Link Info: %s\\APP.EXE | %s | %s\\APP.EXE | 2 | 1 | 1604 | /probe x" % (app, app, app),
        ]
        for name, type_, vals in [("Text", 0, ["hello world"]), ("Path", 1, ["%WINDIR%\\probe"]),
                                  ("List", 2, ["one", "two words"]), ("Count", 3, ["4000000000"]),
                                  ("Blob", 4, ["00ff7f10"]), ("", 0, ["default data"])]:
            expected += ["RegDB Key: " + key] + ["RegDB Val: " + v for v in vals]
            expected += ["RegDB Name: " + name] if name else []
            expected += ["RegDB Type: %d" % type_, "RegDB Root: 1"]
        expected += [
            "RegDB Tree: %s\\Tree" % key, "RegDB Root: 1",
            "INI New: " + app + "\\PROBE.INI", "INI File: " + app + "\\PROBE.INI",
            "INI Sect: Main", "INI Item: Color", "INI Val: blue",
            "INI Sect: Main", "INI Item: Size", "INI Val: 10",
            "INI File: " + root + "\\SHARED.INI", "INI Sect: Settings", "INI Item: Mode",
            "INI Val: fast", "INI Old: slow",
            "INI File: " + root + "\\SHARED.INI", "INI Sect: Settings", "INI Item: Extra",
            "INI Val: on",
            "File Edit: " + root + "\\CONFIG.SYS", "Backup Copy: " + app + "\\BACKUP\\CONFIG.SYS",
            "File Delete: " + root + "\\OLD.DAT", "Backup Copy: " + app + "\\BACKUP\\OLD.DAT",
        ]
        if progman:
            expected += ["Icon Group: Probe " + tag, "Icon Name: Probe Item",
                         "Icon Cmd: " + app + "\\APP.EXE"]
        expected += [
            "Execute Path: " + app + "\\KTSRVEXE.EXE /cleanup", "Execute Name: Probe clean-up",
            "Execute Program: " + app + "\\KTSRVEXE.EXE /final",
            "Create Service: " + service,
            "Add Device: " + app + "\\PROBE.386",
        ]
        self.assertLines(got, expected)

        # The machine matches the log.
        files = [l for l in got if l.startswith(("File Copy: ", "File Overwrite: ")) and "|" in l]
        commands = ["file|" + l.split(": ", 1)[1].split(" |")[0] for l in files]
        commands += ["link|" + link, "key|1|%s\\Tree" % key, "service|" + service,
                     "reg|HKLM|Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs|%s\\KTSRVDLL.DLL" % app,
                     "reg|HKLM|Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs|%s\\Common\\SHARED.DLL" % root,
                     "reg|HKCU|Software\\KetraTest\\SelfReg|%s\\KTSRVDLL.DLL" % app,
                     "reg|HKCU|Software\\KetraTest\\SelfReg|%s\\KTSRVEXE.EXE" % app,
                     "ini|%s\\PROBE.INI|Main|Color" % app, "ini|%s\\PROBE.INI|Main|Size" % app,
                     "ini|%s\\SHARED.INI|Settings|Mode" % root,
                     "ini|%s\\SHARED.INI|Settings|Extra" % root,
                     "file|%s\\README.TXT" % app, "folder|PROGRAMS"]
        for name in ["Text", "Path", "List", "Count", "Blob", ""]:
            commands.append("reg|HKCU|%s|%s" % (key, name))
        out = probe(*commands)
        self.assertEqual(len(out), len(commands), out)
        for line, seen in zip(files, out):
            fields = [f.strip() for f in line.split("|")[1:]]
            self.assertEqual(seen, "%s %s %s %s" % (fields[3], fields[4], fields[0], fields[1]),
                             line)
        rest = out[len(files):]
        self.assertEqual(rest[0], "%s\\APP.EXE | %s | %s\\APP.EXE | 2 | 1 | 1604 | /probe x" %
                         (app, app, app))
        self.assertEqual(rest[1], "present")
        self.assertEqual(rest[2], "present 4", "the service should be running")
        self.assertEqual(rest[3], "3|1", "shared counter of a counted copy")
        self.assertEqual(rest[4], "missing", "a 'nocount' copy must not raise the counter")
        self.assertEqual(rest[5:7], ["0|registered", "0|registered"])
        self.assertEqual(rest[7:11], ["blue", "10", "fast", "on"])
        self.assertTrue(rest[11].startswith("%d " % len(readme)), rest[11])
        programs = rest[12]
        self.assertEqual(rest[13:], ["0|hello world", "1|%WINDIR%\\probe", "2|one|two words",
                                     "3|4000000000", "4|00ff7f10", "0|default data"])

        # Backups, the edit and the deletion.
        self.assertEqual(read_bytes(app + "\\BACKUP\\APP.EXE"), exe)
        self.assertEqual(read_bytes(app + "\\BACKUP\\CONFIG.SYS"), config)
        self.assertEqual(read_bytes(root + "\\CONFIG.SYS"), config + b"DEVICE=PROBE.SYS\r\n")
        self.assertEqual(read_bytes(app + "\\BACKUP\\OLD.DAT"), old_dat)
        self.assertFalse(os.path.exists(unix_path(root + "\\OLD.DAT")))
        self.assertTrue(os.path.isdir(unix_path(app + "\\DATA\\EMPTY")))

        # The servers registered themselves from their own folder.
        calls = read_bytes(server_log).decode("gbk").split("\r\n")
        self.assertIn("DllRegisterServer|%s\\KTSRVDLL.DLL|%s|" % (app, app),
                      "\n".join(c[:len("DllRegisterServer|%s\\KTSRVDLL.DLL|%s|" % (app, app))]
                                for c in calls))
        self.assertTrue(any(c.startswith("/REGSERVER|%s\\KTSRVEXE.EXE|%s|" % (app, app))
                            for c in calls), calls)

        # SYSTEM.INI has the device line in [386Enh].
        # Wine keeps the case a file was last made with; look it up as Windows would.
        windows = os.path.join(DRIVE_C, "windows")
        name = [n for n in os.listdir(windows) if n.lower() == "system.ini"][0]
        with open(os.path.join(windows, name), "rb") as f:
            system_ini = f.read().decode("gbk").replace("\r", "").split("\n")
        section = system_ini.index("[386Enh]")
        tail = system_ini[section + 1:]
        end = next((i for i, l in enumerate(tail) if l.startswith("[")), len(tail))
        self.assertIn("device=" + app + "\\PROBE.386", tail[:end])

        # Program Manager made the item when it answered.
        if progman:
            self.addCleanup(shutil.rmtree, unix_path("%s\\Probe %s" % (programs, tag)), True)
            item = probe("link|%s\\Probe %s\\Probe Item.lnk" % (programs, tag))
            self.assertTrue(item[0].startswith(app + "\\APP.EXE |"), item)


class Upgrade(InstallerCase):
    def test_second_installation_backs_up_and_records_old_values(self):
        app, key = self.root + "\\App", self.key
        v1, v2 = Product(self.tag + "a", self.root), Product(self.tag + "b", self.root)
        v1.add("core.dll", b"core version 1")
        v1.add("data.txt", b"data version 1")
        v2.add("core.dll", b"core version two", STAMP + 86400)
        v2.add("data.txt", b"data version two", STAMP + 86400)
        common = ["title Upgrade Probe", "appdir " + app]
        values = [("Text", "sz", ["first"], ["second"]),
                  ("Exp", "expand_sz", ["%%TEMP%%\\1"], ["%%TEMP%%\\2"]),
                  ("List", "multi_sz", ["a", "b"], ["c"]),
                  ("Num", "dword", ["1"], ["2"]),
                  ("Bin", "binary", ["0102"], ["a0b0c0"])]

        def regs(which):
            return ["reg HKCU | %s | %s | %s | %s" % (key, n, t, " | ".join(d[which]))
                    for n, t, *d in values]

        first = common + ["charset oem",
                          "copy core.dll | %APPDIR%\\CORE.DLL | shared",
                          "copy data.txt | %APPDIR%\\DATA.TXT",
                          "ini %APPDIR%\\APP.INI | Main | Level | 1"] + regs(0)
        second = common + ["charset ansi",
                           "copy core.dll | %APPDIR%\\CORE.DLL | shared",
                           "copy data.txt | %APPDIR%\\DATA.TXT | backup",
                           "ini %APPDIR%\\APP.INI | Main | Level | 2"] + regs(1)
        self.assertEqual(v1.install(first).returncode, 0)
        log1, _ = log_lines(app + "\\INSTALL.LOG")
        done = v2.install(second)
        self.assertEqual(done.returncode, 0, done.err)
        log2, lines = log_lines(app + "\\INSTALL.LOG")
        self.assertTrue(log2.startswith(log1), "the first installation must stay as it was")
        lines = log2[len(log1):].decode("gbk").split("\r\n")[:-1]
        expected = ["***  Installation log", "Title: Upgrade Probe", v2.source_line(),
                    "File Overwrite: %s\\CORE.DLL |%s" % (app, repair_data(b"core version two", STAMP + 86400)),
                    "Made Dir: %s\\BACKUP" % app,
                    "File Overwrite: %s\\DATA.TXT |%s" % (app, repair_data(b"data version two", STAMP + 86400)),
                    "Backup Copy: %s\\BACKUP\\DATA.TXT" % app,
                    "INI File: %s\\APP.INI" % app, "INI Sect: Main", "INI Item: Level",
                    "INI Val: 2", "INI Old: 1"]
        olds = {"Text": ["first"], "Exp": ["%TEMP%\\1"], "List": ["a", "b"], "Num": ["1"],
                "Bin": ["0102"]}
        for (n, t, _, new), type_ in zip(values, range(5)):
            expected += ["RegDB Key: " + key] + ["RegDB Val: " + v.replace("%%", "%") for v in new]
            expected += ["RegDB Name: " + n, "RegDB Type: %d" % type_, "RegDB Root: 1"]
            expected += ["RegDB Old: " + o for o in olds[n]]
        self.assertLines(lines, expected)
        self.assertEqual(read_bytes(app + "\\BACKUP\\DATA.TXT"), b"data version 1")
        self.assertEqual(read_bytes(app + "\\DATA.TXT"), b"data version two")
        out = probe("reg|HKLM|Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs|%s\\CORE.DLL" % app,
                    "reg|HKCU|%s|List" % key, "reg|HKCU|%s|Bin" % key, "ini|%s\\APP.INI|Main|Level" % app)
        self.assertEqual(out, ["3|2", "2|c", "4|a0b0c0", "2"])


class Restore(InstallerCase):
    def test_restore_list_puts_back_only_the_listed_files(self):
        app = self.root + "\\App"
        p = Product(self.tag, self.root)
        files = {"ONE.DAT": b"first file " * 50, "TWO.DAT": b"second file " * 70,
                 "THREE.DAT": b"third file"}
        for name, data in files.items():
            p.add(name.lower(), data, STAMP + 64)
        manifest = ["title Restore Probe", "appdir " + app] + [
            "copy %s | %%APPDIR%%\\SUB\\%s" % (n.lower(), n) for n in files]
        self.assertEqual(p.install(manifest).returncode, 0)
        log, lines = log_lines(app + "\\INSTALL.LOG")
        recorded = {}
        for l in lines:
            if l.startswith("File Copy: "):
                path, data = l[len("File Copy: "):].split(" |", 1)
                recorded[path] = data
        source = next(l for l in lines if l.startswith("Source: "))[8:].split(" |")[0]

        one, two, three = (app + "\\SUB\\" + n for n in ("ONE.DAT", "TWO.DAT", "THREE.DAT"))
        os.remove(unix_path(one))
        write_bytes(two, b"damaged", time.time())
        write_bytes(three, b"changed but not listed", STAMP + 600)

        def list_line(path):
            f = [x.strip() for x in recorded[path].split("|")]
            mon, day, year = (int(x) for x in f[0].split("-"))
            hour, minute, sec = (int(x) for x in f[1].split(":"))
            d0 = day | mon << 5 | (year - 1980) << 9
            t0 = hour << 11 | minute << 5 | sec // 2
            return "%s|%d|%d|%s" % (path, d0, t0, recorded[path].split("|", 3)[3])

        write_bytes(self.root + "\\KTC1.TMP",
                    ("%s\r\n%s\r\n" % (list_line(one), list_line(two))).encode())
        done = run_wine([source, "/X=%s\\KTC1.TMP" % self.root])
        self.assertEqual(done.returncode, 0, done.err)
        self.assertEqual(read_bytes(one), files["ONE.DAT"])
        self.assertEqual(read_bytes(two), files["TWO.DAT"])
        self.assertEqual(read_bytes(three), b"changed but not listed")
        date, clock = dos_stamp(STAMP + 64)
        out = probe("file|" + one, "file|" + two, "file|" + three)
        self.assertTrue(out[0].endswith(" %s %s" % (date, clock)), out[0])
        self.assertTrue(out[1].endswith(" %s %s" % (date, clock)), out[1])
        self.assertNotIn(date + " " + clock, out[2])
        self.assertEqual(read_bytes(app + "\\INSTALL.LOG"), log, "a restore must not log")

        # A path the product never installed is refused; the others still come back.
        os.remove(unix_path(one))
        write_bytes(self.root + "\\KTC2.TMP", ("%s|1|1| 5 | 0\r\n%s\r\n" % (
            app + "\\SUB\\OTHER.DAT", list_line(one))).encode())
        done = run_wine([source, "/X=%s\\KTC2.TMP" % self.root])
        self.assertEqual(done.returncode, 1)
        self.assertIn("OTHER.DAT", done.err)
        self.assertEqual(read_bytes(one), files["ONE.DAT"])
        self.assertFalse(os.path.exists(unix_path(app + "\\SUB\\OTHER.DAT")))


class BadManifest(InstallerCase):
    def test_errors_name_the_line_and_change_nothing(self):
        app, key = self.root + "\\App", self.key
        p = Product(self.tag, self.root)
        p.add("good.txt", b"good")
        head = ["title Bad Probe", "appdir " + app,
                "reg HKCU | %s | Value | sz | x" % key,
                "copy good.txt | %APPDIR%\\GOOD.TXT",
                "ininew %APPDIR%\\NEW.INI | S | K | V"]
        cases = [
            (["frobnicate now"], "unknown keyword"),
            (["copy missing.txt | %APPDIR%\\MISSING.TXT"], "payload file not found"),
            (["reg HKCU | %s | N | dword | twelve" % key], "decimal number"),
            (["reg HKXX | %s | N | sz | v" % key], "unknown registry root"),
            (["edit %s\\NOPE.TXT | line" % self.root], "no such file"),
            (["link relative.lnk | x"], "not a full link path"),
            (["subsystem Engine"], "must begin with a capital B"),
            (["copy good.txt | %APPDIR%\\G2.TXT | sharde"], "unknown copy flag"),
            (["title"], "takes 1 fields, not 0"),
            (["dir %NOSUCH%\\x"], "unknown variable"),
        ]
        for extra, message in cases:
            with self.subTest(message=message):
                done = p.install(head + ["# the faulty line follows"] + extra)
                self.assertEqual(done.returncode, 2, done.out + done.err)
                self.assertIn("SETUP.TXT(%d): " % (len(head) + 2), done.err)
                self.assertIn(message, done.err)
                self.assertFalse(os.path.exists(unix_path(app)), "nothing may be made")
        self.assertEqual(probe("key|1|" + key), ["missing"])


if __name__ == "__main__":
    unittest.main()
