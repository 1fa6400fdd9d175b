"""Builds the shipped program twice from the same sources, each time from
its own copy of the sources in its own folder, at two different times (and
time zones), and compares the two programs and the two restart programs
byte for byte. Only what the program needs is built: no tests, no tools.

    reproducible_build.py SOURCE WORK [TREE]

SOURCE is the source tree, WORK a scratch folder (emptied first). With
TREE, a build folder of the shipped program made earlier from the same
sources (build/win32), that tree is the first build and only the second is
made here. Prints the SHA-256 of the programs; exit code 0 when both builds
are the same."""
import hashlib
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_file  # noqa: E402

# Folders of different depths and lengths: a path that reaches the file
# shows up as a difference.
FOLDERS = ("a", os.path.join("second", "build-from-another-folder"))
OUTPUTS = ("UNKETRA32.EXE", os.path.join("restart", "REBOOTNT.EXE"))


def copy_sources(source, target):
    def skip(folder, names):
        if os.path.samefile(folder, source):
            return [n for n in names if n.startswith("build") or n == ".git"]
        return [n for n in names if n == "__pycache__"]
    shutil.copytree(source, target, ignore=skip, symlinks=True)


def build(source, at, zone):
    src, out = os.path.join(at, "src"), os.path.join(at, "out")
    copy_sources(source, src)
    env = dict(os.environ, TZ=zone)
    env.pop("SOURCE_DATE_EPOCH", None)
    log = open(os.path.join(at, "build.log"), "wb")
    steps = [
        ["cmake", "-S", src, "-B", out, "-DCMAKE_BUILD_TYPE=Release", "-DKETRA_TESTS=OFF",
         "-DKETRA_SHIPPED_TESTS=OFF", "-DCMAKE_TOOLCHAIN_FILE=" +
         os.path.join(src, "cmake", "mingw-i686.cmake")],
        ["nice", "cmake", "--build", out, "--target", "UNKETRA32", "-j", "2"],
    ]
    for step in steps:
        if subprocess.run(step, env=env, stdout=log, stderr=subprocess.STDOUT).returncode != 0:
            log.close()
            with open(os.path.join(at, "build.log"), "rb") as f:
                sys.stdout.write(f.read().decode("utf-8", "replace")[-4000:])
            raise RuntimeError("the build in %s failed" % at)
    log.close()
    return out


def differences(first, second):
    """Lines describing where two files differ, by section."""
    if len(first) != len(second):
        return ["sizes differ: %d and %d bytes" % (len(first), len(second))]
    where = {}
    try:
        layout = pe_file.PeFile(first)
    except pe_file.PeError:
        layout = None
    for i, (a, b) in enumerate(zip(first, second)):
        if a != b:
            if layout is None:
                name = "?"
            elif layout.timestamp_offset <= i < layout.timestamp_offset + 4:
                name = "link time stamp"
            elif layout.checksum_offset <= i < layout.checksum_offset + 4:
                name = "checksum"
            else:
                name = layout.section_of(i)
            where.setdefault(name, []).append(i)
    return ["%d bytes in %s (first at %#x)" % (len(v), k, v[0]) for k, v in sorted(where.items())]


def main(argv):
    if len(argv) not in (3, 4):
        sys.stderr.write(__doc__)
        return 2
    source, work = os.path.abspath(argv[1]), os.path.abspath(argv[2])
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    built = []
    if len(argv) == 4:
        built.append(os.path.abspath(argv[3]))
        missing = [n for n in OUTPUTS if not os.path.isfile(os.path.join(built[0], n))]
        if missing:
            print("%s: no %s (build the win32 tree first: tools/build.sh)" %
                  (built[0], " ".join(missing)))
            return 1
        print("build 1: %s" % built[0])
    for n, (folder, zone) in enumerate(zip(FOLDERS, ("UTC", "Asia/Shanghai"))):
        if len(built) == 2:
            break
        if built:
            # The link time stamp counts seconds: the second build ends at
            # least two seconds after the first.
            time.sleep(2)
        started = time.time()
        built.append(build(source, os.path.join(work, folder), zone))
        print("build %d in %s: %.0f s" % (len(built), built[-1], time.time() - started))
    failed = 0
    for name in OUTPUTS:
        with open(os.path.join(built[0], name), "rb") as f:
            first = f.read()
        with open(os.path.join(built[1], name), "rb") as f:
            second = f.read()
        found = differences(first, second)
        if found:
            failed = 1
            print("%s: the two builds differ: %s" % (name, "; ".join(found)))
            if len(argv) == 4:
                print("(is %s built from these very sources? tools/build.sh)" % built[0])
        else:
            print("%s: the two builds are identical, SHA-256 %s" %
                  (name, hashlib.sha256(first).hexdigest()))
    if not failed:
        shutil.rmtree(work, ignore_errors=True)
    return failed


if __name__ == "__main__":
    sys.exit(main(sys.argv))
