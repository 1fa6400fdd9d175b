"""The uninstall removes only what its log owns, whatever the log says.

For each seed, hostile_logs makes a product installed for real, with links
and the user's own files inside it, and appends hostile lines to its log;
sentinels stand beside it, in the Windows and system folders, in every
Program Files folder and in the user's shell folders. The real program runs
silently on the log; afterwards every sentinel must be there byte for byte,
every registry value the log does not own unchanged.

KETRA_INVARIANT_CASES sets how many seeds run after the kept ones (default
30), KETRA_INVARIANT_FIRST the first of them (default 1). A seed that ever
fails goes into KEPT_SEEDS."""
import os
import shutil
import unittest
import uuid

import hostile_logs
from kinstall import (BUILD, Product, probe, restart_session, run_wine, system_folder,
                      tree_snapshot, unix_path, write_bytes)

PROGRAM = os.path.join(BUILD, "UNKETRA32.EXE")
KEPT_SEEDS = []
CASES = int(os.environ.get("KETRA_INVARIANT_CASES", "30"))
FIRST = int(os.environ.get("KETRA_INVARIANT_FIRST", "1"))


def setUpModule():
    restart_session()


def read_or_none(win):
    path = unix_path(win)
    if not os.path.isfile(path):
        return None
    with open(path, "rb") as f:
        return f.read()


def service_present(name):
    return probe("service|" + name)[0].startswith("present")


ROOT_NAMES = {"HKCU": "HKEY_CURRENT_USER", "HKLM": "HKEY_LOCAL_MACHINE"}


def import_registry(lines, view):
    """One reg.exe run for many keys and values: a REGEDIT4 file of lines."""
    path = "C:\\KINV\\values-%s.reg" % uuid.uuid4().hex[:8]
    write_bytes(path, ("REGEDIT4\r\n\r\n" + "\r\n".join(lines) + "\r\n").encode("gbk"))
    try:
        return run_wine(["reg", "import", path, view])
    finally:
        os.remove(unix_path(path))


def reg_text(text):
    return text.replace("\\", "\\\\").replace('"', '\\"')


class Invariant(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        desktop = probe("folder|DESKTOP")[0].strip()
        programs = probe("folder|PROGRAMS")[0].strip()
        profile = desktop.rsplit("\\", 1)[0]
        cls.protected = [("C:\\windows", False), ("C:\\windows\\system32", False),
                         ("C:\\windows\\syswow64", False), ("C:\\Program Files", True),
                         ("C:\\Program Files (x86)", True),
                         ("C:\\Program Files\\Common Files", True),
                         (desktop, False), (programs, False), (profile, False),
                         ("C:\\users", False), ("C:\\users\\Public", False),
                         (profile + "\\Temp", False), ("C:\\ProgramData", False),
                         ("C:\\windows\\inf", False)]
        # The 32-bit program sees the 32-bit registry view: sentinels under
        # HKLM\Software go where it looks.
        cls.view = "/reg:32" if system_folder(PROGRAM).endswith("syswow64") else "/reg:64"
        cls.machine = {"profile": profile, "system": system_folder(PROGRAM),
                       "services": [n for n in hostile_logs.SYSTEM_SERVICES if service_present(n)]}
        cls.short_names = {}
        for folder, _ in cls.protected:
            short = probe("short|" + folder)[0].strip()
            if short.lower() != folder.lower() and short != "missing":
                cls.short_names[folder.lower()] = short

    def run_seed(self, seed):
        tag = "I%d" % seed
        root = "C:\\KINV\\" + tag
        app = root + "\\App"
        shutil.rmtree(unix_path(root), ignore_errors=True)
        os.makedirs(unix_path(root))
        case = hostile_logs.make_case(seed, root, self.protected, self.short_names, tag,
                                      self.machine)
        product = Product(tag, root)
        kept = []
        try:
            for name, data in case.payload.items():
                product.add(name, data)
            done = product.install(["title Invariant %d" % seed, "appdir " + app] + case.manifest)
            self.assertEqual(0, done.returncode, done.out + done.err)
            for path, data in (list(case.user_files.items()) + list(case.sentinels.items()) +
                               list(case.tree_files.items())):
                write_bytes(path, data)
                kept.append(path)
            for folder in case.sentinel_trees:
                os.makedirs(unix_path(folder), exist_ok=True)
            for link, target in case.links:
                os.makedirs(os.path.dirname(unix_path(link)), exist_ok=True)
                os.symlink(unix_path(target), unix_path(link))
            lines = []
            for root_name, key, name, data in case.registry:
                lines += ["[%s\\%s]" % (ROOT_NAMES[root_name], key),
                          '"%s"="%s"' % (reg_text(name), reg_text(data)), ""]
            done = import_registry(lines, self.view)
            self.assertEqual(0, done.returncode, done.out + done.err)
            for name, program in case.made_services:
                done = run_wine(["sc", "create", name, "binPath=", program])
                self.assertEqual(0, done.returncode, done.out)
            files_before = {path: read_or_none(path) for path in case.system_files}
            with open(unix_path(app + "\\INSTALL.LOG"), "ab") as f:
                for line in case.appended:
                    f.write(line.encode("gbk") + b"\r\n")
            trees = {folder: tree_snapshot(folder) for folder in case.sentinel_trees}

            done = run_wine([PROGRAM, "/S", app + "\\INSTALL.LOG"], timeout=300)

            where = "seed %d (KETRA_INVARIANT_FIRST=%d KETRA_INVARIANT_CASES=1)" % (seed, seed)
            self.assertEqual(0, done.returncode, "%s: %s" % (where, done.out + done.err))
            self.assertIsNone(read_or_none(app + "\\FIRST.DAT"),
                              "%s: expected the product's own file removed" % where)
            for path, data in list(case.sentinels.items()) + list(case.user_files.items()):
                self.assertEqual(data, read_or_none(path), "%s: expected %s kept" % (where, path))
            for folder, before in trees.items():
                self.assertEqual(before, tree_snapshot(folder), "%s: expected %s as it was" % (where, folder))
            # One probe for every key, value and service.
            services = case.services + [n for n, _ in case.made_services]
            asked = (["reg|%s|%s|%s" % (r, k, n) for r, k, n, _ in case.registry] +
                     ["reg|%s|%s|%s" % owned for owned in case.owned_registry] +
                     ["service|" + name for name in services])
            answers = probe(*asked) if asked else []
            self.assertEqual(len(asked), len(answers), "%s: %s" % (where, answers))
            at = 0
            for root_name, key, name, data in case.registry:
                self.assertEqual("0|" + data, answers[at],
                                 "%s: expected %s\\%s %s kept" % (where, root_name, key, name))
                at += 1
            for root_name, key, name in case.owned_registry:
                self.assertEqual("missing", answers[at],
                                 "%s: expected the product's %s\\%s %s gone" % (where, root_name,
                                                                               key, name))
                at += 1
            for name in services:
                self.assertTrue(answers[at].startswith("present"),
                                "%s: expected the service %s kept" % (where, name))
                at += 1
            for path, data in files_before.items():
                self.assertEqual(data, read_or_none(path), "%s: expected %s as it was" % (where, path))
        finally:
            for name, _ in case.made_services:
                run_wine(["sc", "delete", name])
            lines = []
            for root_name, key, name, _ in case.registry:
                if tag in key:
                    lines += ["[-%s\\%s]" % (ROOT_NAMES[root_name], key), ""]
                else:
                    lines += ["[%s\\%s]" % (ROOT_NAMES[root_name], key),
                              '"%s"=-' % reg_text(name), ""]
            if lines:
                import_registry(lines, self.view)
            for path in kept:
                if os.path.exists(unix_path(path)):
                    os.remove(unix_path(path))
            shutil.rmtree(unix_path(root), ignore_errors=True)
            shutil.rmtree(unix_path(product.src), ignore_errors=True)
            run_wine(["reg", "delete", "HKCU\\Software\\KetraInv\\" + tag, "/f"])

    def test_kept_seeds(self):
        for seed in KEPT_SEEDS:
            with self.subTest(seed=seed):
                self.run_seed(seed)

    def test_random_seeds(self):
        for seed in range(FIRST, FIRST + CASES):
            with self.subTest(seed=seed):
                self.run_seed(seed)


if __name__ == "__main__":
    unittest.main()
