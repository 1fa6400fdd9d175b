"""The release package as tools/release.sh makes it from the shipped program
(BUILD_DIR, the win32 tree): what it holds, its SHA-256 list, and the
Authenticode signature made with a throwaway certificate, checked by
osslsigncode and by running the demo with the signed program under Wine
(the tree's Wine session must be running)."""
import configparser
import hashlib
import os
import shutil
import subprocess
import sys
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import pe_file  # noqa: E402

SOURCE = os.path.abspath(os.path.join(HERE, "..", ".."))
BUILD = os.environ.get("BUILD_DIR", os.path.join(SOURCE, "build", "win32"))
PROGRAM = os.path.join(BUILD, "UNKETRA32.EXE")
WORK = os.path.join(BUILD, "release-test")
# The settings the program reads, with the values it takes without them.
SETTINGS = {"start red": "0", "start green": "0", "start blue": "255", "end red": "0",
            "end green": "0", "end blue": "0", "no background": "1", "text font": "",
            "font character set": "0", "font character size": "8"}


def run(*args, env=None):
    done = subprocess.run(list(args), stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env)
    return done.returncode, done.stdout.decode("utf-8", "replace")


def version_of(path):
    with open(path, "rb") as f:
        program = pe_file.PeFile(f.read())
    data = [v for k, v in program.resources().items() if k[0] == pe_file.RT_VERSION]
    return pe_file.parse_version_info(data[0])[1]["040904B0"]["FileVersion"]


def files_below(folder):
    return sorted(os.path.relpath(os.path.join(d, f), folder).replace(os.sep, "/")
                  for d, _, names in os.walk(folder) for f in names)


def verify(path, cert):
    return run("osslsigncode", "verify", "-CAfile", cert, "-in", path)


class Release(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        os.makedirs(WORK)
        cls.cert, cls.key = os.path.join(WORK, "cert.pem"), os.path.join(WORK, "key.pem")
        code, out = run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", "/CN=Ketra throwaway signing", "-keyout", cls.key, "-out",
                        cls.cert, "-addext", "extendedKeyUsage=codeSigning", "-addext",
                        "keyUsage=digitalSignature")
        assert code == 0, out
        cls.version = version_of(PROGRAM)
        cls.name = "UNKETRA32-" + cls.version
        release = os.path.join(SOURCE, "tools", "release.sh")
        cls.made = {}
        for kind, signing in (("plain", []), ("signed", ["--cert", cls.cert, "--key", cls.key])):
            out_dir = os.path.join(WORK, kind)
            code, out = run("bash", release, "--program", PROGRAM, "--out", out_dir, *signing)
            cls.made[kind] = (code, out, os.path.join(out_dir, cls.name))

    def package(self, kind):
        code, out, folder = self.made[kind]
        self.assertEqual(0, code, out)
        return folder

    def test_package_holds_the_program_texts_and_their_sha256(self):
        for kind in ("plain", "signed"):
            with self.subTest(kind=kind):
                folder = self.package(kind)
                files = files_below(folder)
                self.assertEqual(["README.TXT", "SHA256SUMS.TXT", "UNKETRA32.EXE",
                                  "sample/UNKETRA32.INI"], files)
                with open(os.path.join(folder, "SHA256SUMS.TXT"), "rb") as f:
                    listed = f.read().decode("ascii")
                self.assertTrue(listed.endswith("\r\n"), "expected CR LF lines")
                sums = {}
                for line in listed.splitlines():
                    digest, name = line.split("  ", 1)
                    self.assertNotIn(name, sums, "listed twice: " + name)
                    sums[name] = digest
                self.assertEqual(sorted(set(files) - {"SHA256SUMS.TXT"}), sorted(sums))
                for name, digest in sums.items():
                    with open(os.path.join(folder, name), "rb") as f:
                        self.assertEqual(hashlib.sha256(f.read()).hexdigest(), digest, name)
                # The zip holds the folder, byte for byte, under the package's name.
                with zipfile.ZipFile(folder + ".zip") as z:
                    self.assertEqual([self.name + "/" + f for f in files], sorted(z.namelist()))
                    for f in files:
                        with open(os.path.join(folder, f), "rb") as h:
                            self.assertEqual(h.read(), z.read(self.name + "/" + f), f)
        with open(PROGRAM, "rb") as a, open(
                os.path.join(self.package("plain"), "UNKETRA32.EXE"), "rb") as b:
            self.assertEqual(a.read(), b.read(), "expected the unsigned package's program as built")
        # The texts do not depend on signing.
        for name in ("README.TXT", "sample/UNKETRA32.INI"):
            with open(os.path.join(self.package("plain"), name), "rb") as a, open(
                    os.path.join(self.package("signed"), name), "rb") as b:
                self.assertEqual(a.read(), b.read(), name)

    def test_readme_holds_the_user_and_administrator_sections(self):
        with open(os.path.join(self.package("plain"), "README.TXT"), "rb") as f:
            text = f.read().decode("utf-8")
        self.assertTrue(text.startswith("UNKETRA32.EXE %s\r\n" % self.version), text[:80])
        self.assertNotIn("\n", text.replace("\r\n", ""), "expected CR LF lines only")
        for heading in ("## Using it on Windows", "## For administrators", "## Where it runs"):
            self.assertIn("\r\n%s\r\n" % heading, text)
        self.assertIn("start /wait", text)
        self.assertIn("highestAvailable", text)
        # What only developers need stays out.
        for heading in ("## Two commands", "## Test tools", "## Layout", "## Making a release"):
            self.assertNotIn(heading, text)

    def test_sample_settings_file_holds_every_setting_and_the_english_texts(self):
        with open(os.path.join(self.package("plain"), "sample", "UNKETRA32.INI"), "rb") as f:
            raw = f.read()
        self.assertNotIn(b"\n", raw.replace(b"\r\n", b""), "expected CR LF lines only")
        # Strict: a key given twice is an error, as the profile functions
        # would take only the first.
        sample = configparser.RawConfigParser(strict=True, comment_prefixes=(";",))
        sample.read_string(raw.decode("ascii"))
        self.assertEqual(["Settings", "Language"], sample.sections())
        self.assertEqual(SETTINGS, dict(sample["Settings"]))
        english = configparser.RawConfigParser(comment_prefixes=(";",))
        english.read(os.path.join(SOURCE, "tools", "sample", "UNKETRA32.INI.english"))
        self.assertEqual(["msg%d" % n for n in range(1, 83)], list(sample["Language"]))
        self.assertEqual(dict(english["Language"]), dict(sample["Language"]))
        for key, text in sample["Language"].items():
            self.assertTrue(text.strip(), key + " is empty")

    def test_signature_verifies_and_breaks_with_one_changed_byte(self):
        signed = os.path.join(self.package("signed"), "UNKETRA32.EXE")
        code, out = verify(signed, self.cert)
        self.assertEqual(0, code, out)
        self.assertIn("Signature verification: ok", out)
        with open(signed, "rb") as f:
            data = bytearray(f.read())
        program = pe_file.PeFile(bytes(data))
        table = program.certificate_table()
        self.assertIsNotNone(table, "expected a certificate table in the signed program")
        self.assertEqual(len(data), table[0] + table[1], "expected the signature at the end")
        # The signed program still says what it is.
        code, out = run(sys.executable, os.path.join(HERE, "check_program.py"), self.version,
                        "x86", signed)
        self.assertEqual(0, code, out)
        text = [s for s in program.sections if s[0] == ".text"][0]
        data[text[3] + 100] ^= 0xFF
        changed = os.path.join(WORK, "changed.exe")
        with open(changed, "wb") as f:
            f.write(data)
        code, out = verify(changed, self.cert)
        self.assertNotEqual(0, code, "a changed program verified: " + out)
        code, out = verify(os.path.join(self.package("plain"), "UNKETRA32.EXE"), self.cert)
        self.assertNotEqual(0, code, "the unsigned program verified: " + out)

    def test_signed_program_runs_the_demo(self):
        signed = os.path.join(self.package("signed"), "UNKETRA32.EXE")
        # Through a file: a window the demo leaves open (Wine's shell shows
        # the Program Manager group) would hold a pipe open.
        log = os.path.join(WORK, "demo.log")
        with open(log, "wb") as f:
            code = subprocess.run([os.path.join(SOURCE, "tools", "demo.sh"), "--built"],
                                  stdout=f, stderr=subprocess.STDOUT,
                                  env=dict(os.environ, BUILD_DIR=BUILD,
                                           KETRA_PROGRAM=signed)).returncode
        with open(log, "rb") as f:
            out = f.read().decode("utf-8", "replace")
        self.assertEqual(0, code, out)
        self.assertIn("ended with exit code 0", out)
        # The journal's first line names the version the resource holds.
        header = [l for l in out.splitlines() if "| UNKETRA32 " in l]
        self.assertTrue(header, out)
        self.assertTrue(header[0].endswith("| UNKETRA32 " + self.version), header[0])

    def test_key_without_certificate_is_refused(self):
        code, out = run("bash", os.path.join(SOURCE, "tools", "release.sh"), "--program", PROGRAM,
                        "--out", os.path.join(WORK, "half"), "--key", self.key)
        self.assertEqual(2, code, out)
        self.assertFalse(os.path.exists(os.path.join(WORK, "half", self.name)))


if __name__ == "__main__":
    unittest.main()
