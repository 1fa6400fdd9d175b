"""Checks what the shipped 32-bit programs import against the reviewed list
of functions that Windows 95 and NT 4.0 export (win95_nt4.txt beside this
file): a function the list does not hold fails the check until someone has
confirmed it exists there and added it. Also checks that each program is a
32-bit one and carries no debug sections.

    check_imports.py OBJDUMP LIST PROGRAM...

OBJDUMP is mingw's i686 objdump. Exit code 0 when every program passed.
"""
import os
import re
import subprocess
import sys


def read_list(path):
    """The reviewed imports as a set of (DLL in upper case, function)."""
    allowed = set()
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            words = line.split("#", 1)[0].split()
            if not words:
                continue
            if len(words) != 2:
                raise ValueError("%s:%d: expected \"DLL FUNCTION\", got %r" % (path, number, line))
            allowed.add((words[0].upper(), words[1]))
    return allowed


def read_program(objdump, path):
    """(file format, section names, imports) of a program, the imports as a
    list of (DLL in upper case, function or "ordinal N")."""
    text = subprocess.run([objdump, "-p", "-h", path], check=True, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT).stdout.decode("ascii", "replace")
    found = re.search(r"file format (\S+)", text)
    sections = re.findall(r"^\s*\d+\s+(\S+)\s+[0-9a-f]{8}\s", text, re.M)
    imports, dll = [], None
    for line in text.splitlines():
        m = re.match(r"\tDLL Name: (\S+)", line)
        if m:
            dll = m.group(1).upper()
            continue
        if not line.strip():
            continue
        if not line.startswith("\t"):
            dll = None
            continue
        if dll is None or "Hint/Ord" in line:
            continue
        # "\t<vma>\t <hint>  <name>", or "<ordinal>  <none> <none>" by ordinal.
        m = re.match(r"\t[0-9a-f]+\t\s*(\d+)\s+(\S+)", line)
        if not m:
            raise ValueError("%s: cannot read the import line %r" % (path, line))
        name = m.group(2)
        imports.append((dll, "ordinal " + m.group(1) if name == "<none>" else name))
    return found.group(1) if found else "", sections, imports


def check(objdump, allowed, path):
    """The problems of one program, as lines of text."""
    if not os.path.isfile(path):
        return ["%s: missing (build the win32 tree first: tools/build.sh)" % path]
    try:
        form, sections, imports = read_program(objdump, path)
    except (OSError, subprocess.CalledProcessError, ValueError) as e:
        return ["%s: cannot read it: %s" % (path, e)]
    problems = []
    if form != "pei-i386":
        problems.append("%s: expected a 32-bit program (pei-i386), got %r" % (path, form))
    debug = [s for s in sections if s.startswith(".debug")]
    if debug:
        problems.append("%s: carries debug sections: %s" % (path, " ".join(debug)))
    if not imports:
        problems.append("%s: no imports found" % path)
    for dll, name in sorted(set(imports)):
        if (dll, name) not in allowed:
            problems.append("%s: imports %s %s, which is not in the reviewed list" % (
                os.path.basename(path), dll, name))
    return problems


def main(argv):
    if len(argv) < 4:
        sys.stderr.write(__doc__)
        return 2
    objdump, listed, programs = argv[1], argv[2], argv[3:]
    allowed = read_list(listed)
    problems = []
    for path in programs:
        found = check(objdump, allowed, path)
        problems += found
        if not found:
            print("%s: every import is in the reviewed list" % path)
    for p in problems:
        print(p)
    if any("reviewed list" in p for p in problems):
        print("Confirm that Windows 95 and NT 4.0 both export a new import before adding it "
              "to %s." % listed)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
