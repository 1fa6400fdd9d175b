"""Checks what a built UNKETRA32.EXE tells Windows about itself: the
manifest (resource type 24, id 1: parsed as XML by xmllint, then its
execution level, supported systems, processor and version), the version
resource (numbers, and the English and Chinese texts), and that neither the
program nor the restart program inside it carries a link time stamp.

    check_program.py VERSION ARCHITECTURE PROGRAM

VERSION is the number the build sets (CMakeLists.txt, project()),
ARCHITECTURE x86 or amd64. Exit code 0 when every check passed."""
import os
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_file  # noqa: E402

ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
COMPATIBILITY = "urn:schemas-microsoft-com:compatibility.v1"
WINDOWS_SETTINGS = "http://schemas.microsoft.com/SMI/2005/WindowsSettings"
# The systems the manifest declares, by the identifiers Windows gives them.
SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Windows Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
}
RT_EMBEDDED_PROGRAM, IDR_RESTART_NT = 300, 30202
MACHINES = {"x86": 0x14C, "amd64": 0x8664}
# Fields each language's table of the version resource holds.
STRING_FIELDS = ("CompanyName", "FileDescription", "FileVersion", "InternalName",
                 "OriginalFilename", "ProductName", "ProductVersion")
ENGLISH, CHINESE = "040904B0", "080404B0"


def numbers_of(version):
    parts = [int(p) for p in version.split(".")]
    if not 1 <= len(parts) <= 4 or any(p < 0 or p > 0xFFFF for p in parts):
        raise ValueError("version %r is not one to four numbers of 16 bits" % version)
    return tuple(parts + [0] * (4 - len(parts)))


def xmllint(text):
    """Problems xmllint finds in a manifest (it must parse as XML)."""
    try:
        done = subprocess.run(["xmllint", "--noout", "-"], input=text, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT)
    except OSError as e:
        return ["xmllint cannot run (Debian package libxml2-utils): %s" % e]
    if done.returncode != 0:
        return ["the manifest is no well-formed XML: %s" %
                done.stdout.decode("utf-8", "replace").strip()]
    return []


def check_manifest(text, version, architecture):
    problems = xmllint(text)
    if problems:
        return problems
    root = ElementTree.fromstring(text)
    if root.tag != "{%s}assembly" % ASM_V1 or root.get("manifestVersion") != "1.0":
        problems.append("expected an asm.v1 assembly of manifestVersion 1.0, got %s %r" %
                        (root.tag, root.get("manifestVersion")))
    identity = root.findall("{%s}assemblyIdentity" % ASM_V1)
    if len(identity) != 1:
        problems.append("expected one assemblyIdentity, got %d" % len(identity))
    else:
        want = {"type": "win32", "name": "Ketra.UNKETRA32",
                "version": ".".join(str(n) for n in numbers_of(version)),
                "processorArchitecture": architecture}
        for attribute, value in want.items():
            if identity[0].get(attribute) != value:
                problems.append("expected assemblyIdentity %s=%r, got %r" %
                                (attribute, value, identity[0].get(attribute)))
    # An element in another namespace than these is ignored by Windows: the
    # paths name each step's namespace.
    levels = root.findall("{%s}trustInfo/{%s}security/{%s}requestedPrivileges/"
                          "{%s}requestedExecutionLevel" % (ASM_V3, ASM_V3, ASM_V3, ASM_V3))
    if len(levels) != 1:
        problems.append("expected one asm.v3 requestedExecutionLevel, got %d" % len(levels))
    else:
        if levels[0].get("level") != "highestAvailable":
            problems.append("expected the execution level highestAvailable, got %r" %
                            levels[0].get("level"))
        if levels[0].get("uiAccess") != "false":
            problems.append("expected uiAccess false, got %r" % levels[0].get("uiAccess"))
    # The dialogs scale themselves: aware of the system's DPI (not of each
    # monitor's, which would need WM_DPICHANGED).
    aware = root.findall("{%s}application/{%s}windowsSettings/{%s}dpiAware" %
                         (ASM_V3, ASM_V3, WINDOWS_SETTINGS))
    if [(e.text or "").strip() for e in aware] != ["true"]:
        problems.append("expected one dpiAware true, got %s" % [e.text for e in aware])
    systems = [e.get("Id", "").lower() for e in root.findall(
        "{%s}compatibility/{%s}application/{%s}supportedOS" %
        (COMPATIBILITY, COMPATIBILITY, COMPATIBILITY))]
    if sorted(systems) != sorted(SUPPORTED_OS):
        problems.append("expected the supported systems %s, got %s" % (
            ", ".join(SUPPORTED_OS.values()),
            ", ".join(SUPPORTED_OS.get(s, s) for s in systems) or "none"))
    return problems


def check_version(data, version):
    fixed, tables, translations = pe_file.parse_version_info(data)
    problems = []
    numbers = numbers_of(version)
    for which in ("file", "product"):
        got = pe_file.version_numbers(fixed, which)
        if got != numbers:
            problems.append("expected the %s version %s, got %s" % (which, numbers, got))
    if fixed["type"] != 1:  # VFT_APP
        problems.append("expected the file type of a program (1), got %d" % fixed["type"])
    if fixed["os"] != 4:  # VOS__WINDOWS32: both families
        problems.append("expected the system 32-bit Windows (4), got %#x" % fixed["os"])
    if fixed["flags"] & fixed["flags_mask"]:
        problems.append("expected no debug, pre-release or patched flag, got %#x" % fixed["flags"])
    for table in (ENGLISH, CHINESE):
        strings = tables.get(table)
        if strings is None:
            problems.append("no string table %s in the version resource (has %s)" %
                            (table, ", ".join(tables) or "none"))
            continue
        for field in STRING_FIELDS:
            if not strings.get(field):
                problems.append("%s: no %s" % (table, field))
        for field in ("FileVersion", "ProductVersion"):
            if strings.get(field) != version:
                problems.append("%s: expected %s %r, got %r" % (table, field, version,
                                                                strings.get(field)))
        if strings.get("OriginalFilename") != "UNKETRA32.EXE":
            problems.append("%s: expected OriginalFilename 'UNKETRA32.EXE', got %r" %
                            (table, strings.get("OriginalFilename")))
    chinese = tables.get(CHINESE, {})
    for field in ("FileDescription", "ProductName"):
        if "卸载" not in chinese.get(field, ""):
            problems.append("%s: expected the string table's \u201c卸载\u201d in %s, got %r" %
                            (CHINESE, field, chinese.get(field)))
    for language in (0x0409, 0x0804):
        if (language, 1200) not in translations:
            problems.append("expected the translation %04x/1200, got %s" % (
                language, ", ".join("%04x/%d" % t for t in translations) or "none"))
    return problems


def check(version, architecture, path):
    with open(path, "rb") as f:
        program = pe_file.PeFile(f.read())
    problems = []
    if program.machine != MACHINES[architecture]:
        problems.append("expected a %s program, got machine %#x" % (architecture, program.machine))
    if program.timestamp != 0:
        problems.append("expected no link time stamp, got %#x" % program.timestamp)
    resources = program.resources()
    manifests = [k for k in resources if k[0] == pe_file.RT_MANIFEST]
    if [k[1] for k in manifests] != [1]:
        problems.append("expected one manifest, id 1, got %s" % manifests)
    else:
        text = resources[manifests[0]]
        problems += check_manifest(text, version, architecture)
    versions = [k for k in resources if k[0] == pe_file.RT_VERSION]
    if [k[1] for k in versions] != [1]:
        problems.append("expected one version resource, id 1, got %s" % versions)
    else:
        problems += check_version(resources[versions[0]], version)
    restart = [v for k, v in resources.items() if k[:2] == (RT_EMBEDDED_PROGRAM, IDR_RESTART_NT)]
    if len(restart) != 1:
        problems.append("expected the restart program inside, got %d copies" % len(restart))
    else:
        inside = pe_file.PeFile(restart[0])
        if inside.timestamp != 0:
            problems.append("expected no link time stamp on the restart program, got %#x" %
                            inside.timestamp)
    return problems


def main(argv):
    if len(argv) != 4 or argv[2] not in MACHINES:
        sys.stderr.write(__doc__)
        return 2
    version, architecture, path = argv[1:]
    try:
        problems = check(version, architecture, path)
    except (OSError, ValueError) as e:
        problems = ["cannot read it: %s" % e]
    for p in problems:
        print("%s: %s" % (path, p))
    if not problems:
        print("%s: manifest (highestAvailable, DPI-aware, %d systems, %s) and version %s as "
              "expected" % (
            path, len(SUPPORTED_OS), architecture, version))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
