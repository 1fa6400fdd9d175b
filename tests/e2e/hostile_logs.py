"""Seeded generator of hostile installations for the invariant scenario.

One case is a product installed for real by the test installer in a sandbox
folder, with links and a user's own files inside it, and a list of lines that
are appended to its log: protected folders in many spellings, over-long paths
that would name a folder outside the product if they were cut, registry lines
that name no real key, and junk. Beside it stand sentinels: files and
folders that no line of the log owns. The same seed always gives the same
case, so a failing seed can be run again and kept as a test."""
import random

# Characters of code page 936 whose second byte is a backslash or a letter:
# the ones that break byte-wise searches and byte-wise case folding.
TRAIL_BACKSLASH = [bytes([lead, 0x5C]).decode("gbk") for lead in (0xB0, 0xB1, 0xB5, 0xB6, 0xB9)]
TRAIL_LETTER = [bytes([lead, trail]).decode("gbk")
                for lead in (0x81, 0x82, 0xB0, 0xB4) for trail in (0x41, 0x61, 0x5A, 0x7A)]
SINGLE = "ABCDEFGHJKLMNPQRSTUVWXYZ0123456789_"


class Case:
    """What one seed makes: the installer manifest, the payload, the links,
    the user's files, the lines appended to the log, and what must stay."""

    def __init__(self):
        self.manifest = []       # installer lines after title and appdir
        self.payload = {}        # payload name -> bytes
        self.product_files = []  # Windows paths the installer copies
        self.user_files = {}     # Windows path -> bytes, inside the product, owned by nobody
        self.tree_files = {}     # Windows path -> bytes, laid out below a logged tree
        self.links = []          # (Windows path of the link, Windows path it points to)
        self.appended = []       # groups of log lines added after the installation
        self.sentinels = {}      # Windows path -> bytes, outside everything the log owns
        self.sentinel_trees = [] # folders whose whole contents must stay
        self.registry = []       # (root, key, name, data) kept values the log does not own
        self.owned_registry = [] # (root, key, name) values and keys of the product's that go
        self.services = []       # services that exist before the run and must stay
        self.made_services = []  # (name, program) services the scenario makes, to stay
        self.system_files = []   # files of the system that must stay byte for byte


def spellings(rng, folder, app, short_names):
    """Ways of writing folder that all name it (folder is C:\\...)."""
    rest = folder[3:]
    inner = rest.split("\\")
    out = [folder, folder + "\\", folder + "\\.", folder + "\\\\", folder + ".",
           folder.replace("\\", "/"), folder.replace("\\", "/") + "/", folder.upper(),
           folder.lower(), "C:\\\\" + rest, folder + "\\" + SINGLE[rng.randrange(26)] + "\\..",
           app + "\\..\\..\\..\\" + rest, app + "\\..\\..\\..\\" + rest + "\\.",
           "C:\\" + "\\".join(inner[:-1] + ["..", inner[-1]]).lstrip("\\") if len(inner) > 1
           else "C:\\.\\" + rest]
    if folder.lower() in short_names:
        short = short_names[folder.lower()]
        out += [short, short + "\\", short + "\\."]
    return out


def padded(folder, length, tail="SUB"):
    """folder followed by "\\." steps up to about length characters and then
    one more name: cut anywhere in the steps, it names folder itself."""
    text = folder
    while len(text) < length:
        text += "\\."
    return text + "\\" + tail


def dbcs_name(rng, ext):
    parts = []
    for _ in range(rng.randrange(1, 4)):
        pool = rng.choice([TRAIL_BACKSLASH, TRAIL_LETTER, list(SINGLE)])
        parts.append(rng.choice(pool))
    return "".join(parts) + ext


# Keys the system and other programs share, each with a value of the
# scenario's own inside (or beside) it that no line may take: (root index,
# key as a hostile line names it, sentinel root, sentinel key, name).
SHARED_TREES = [
    (1, "Software", "HKCU", "Software\\KINVS{tag}", "Keep"),
    (1, "\\Software\\\\", "HKCU", "Software\\KINVS{tag}", "Keep"),
    (1, "SOFTWARE\\Wow6432Node", "HKCU", "Software\\KINVS{tag}", "Keep"),
    (1, "Software\\Microsoft", "HKCU", "Software\\Microsoft\\KINVM{tag}", "Keep"),
    (1, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "HKCU",
     "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "KINVR{tag}"),
    (1, "software\\microsoft\\windows\\currentversion\\run\\", "HKCU",
     "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "KINVR{tag}"),
    (1, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", "HKCU",
     "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KINVO{tag}", "DisplayName"),
    (1, "Software\\Classes", "HKCU", "Software\\Classes\\.kinv{tag}", "Content Type"),
    (0, "", "HKCU", "Software\\Classes\\.kinv{tag}", "Content Type"),
    (1, "Environment", "HKCU", "Environment", "KINVE{tag}"),
    (1, "Control Panel", "HKCU", "Control Panel\\KINVC{tag}", "Keep"),
    (2, "Software", "HKLM", "Software\\KINVL{tag}", "Keep"),
    (2, "", "HKLM", "Software\\KINVL{tag}", "Keep"),
    (2, "SYSTEM\\CurrentControlSet\\Control", "HKLM",
     "SYSTEM\\CurrentControlSet\\Control\\KINVX{tag}", "Keep"),
    (3, ".DEFAULT", "HKLM", "Software\\KINVL{tag}", "Keep"),
]
# The system's own classes and file types under HKCR: their trees stay.
SYSTEM_CLASSES = ["CLSID", "Interface", "TypeLib", "*", "Directory", "Folder", ".txt", "txtfile",
                  ".exe", "exefile", ".lnk", "lnkfile"]
# Services Wine itself runs; a scenario names those the prefix has.
SYSTEM_SERVICES = ["RpcSs", "PlugPlay", "Spooler", "MountMgr", "Eventlog", "Winmgmt"]
# The system's own INI files, in spellings that all name them.
SYSTEM_INI = ["C:\\windows\\WIN.INI", "C:/windows/win.ini", "C:\\windows\\.\\SYSTEM.INI",
              "C:\\WINDOWS\\system32\\..\\system.ini", "C:\\windows\\\\win.ini."]


def machine_lines(rng, case, tag, root, machine):
    """Lines and sentinels for what lies outside the file system proper and
    outside the sandbox: registry trees and values, services, the system's
    INI files, and links above protected folders and shares that reach them."""
    for index, key, s_root, s_key, name in rng.sample(SHARED_TREES, rng.randrange(4, 9)):
        case.appended.append(["RegDB Tree: " + key, "RegDB Root: %d" % index])
        entry = (s_root, s_key.format(tag=tag), name, "k" + tag)
        if entry not in case.registry:
            case.registry.append(entry)
    for name in rng.sample(SYSTEM_CLASSES, rng.randrange(2, 5)):
        case.appended.append(["RegDB Tree: " + name, "RegDB Root: 0"])
    # A value the log says it made inside the system's own configuration.
    sysval = ("HKLM", "SYSTEM\\CurrentControlSet\\Control\\KINVX" + tag, "Made", "m" + tag)
    case.registry.append(sysval)
    case.appended.append(["RegDB Key: " + sysval[1], "RegDB Val: " + sysval[3],
                          "RegDB Name: " + sysval[2], "RegDB Root: 2"])
    # The system's services and one made by hand whose program lies in the
    # System folder: none is the product's.
    for name in rng.sample(machine["services"], min(len(machine["services"]), rng.randrange(1, 4))):
        case.services.append(name)
        case.appended.append(["Create Service: " + name])
    made = "KINVSV" + tag
    case.made_services.append((made, machine["system"] + "\\KINVSV%s.EXE" % tag))
    case.appended.append(["Create Service: " + made])
    # The system's INI files, "created" by the log.
    for path in rng.sample(SYSTEM_INI, rng.randrange(1, 3)):
        case.appended.append(["INI New: x", "INI File: " + path, "INI Sect: s", "INI Item: i",
                              "INI Val: v"])
    case.system_files += ["C:\\windows\\win.ini", "C:\\windows\\system.ini"]
    # Links above kept folders, and shares that name them.
    up = root + "\\UP"
    case.links.append((up, "C:\\users"))
    profile = machine["profile"]
    user = profile.split("\\")[-1]
    case.appended.append(["File Tree: " + rng.choice([up + "\\" + user, up + "\\" + user + "\\Temp",
                                                      up, up + "\\Public"])])
    case.appended.append(["File Tree: " + rng.choice(
        ["\\\\localhost\\C$\\users\\" + user, "\\\\localhost\\ADMIN$\\System32",
         "\\\\127.0.0.1\\C$\\windows", "//localhost/C$/users"])])


def make_case(seed, root, protected, short_names, tag, machine=None):
    """root: the sandbox folder C:\\...; protected: list of (folder, is a
    Program Files folder) that no spelling may remove; tag: text that makes
    sentinel names unique; machine (may be None): what the prefix has
    ("profile", "system" folder as the program sees it, "services" of the
    system's that exist), for the lines that reach outside the files."""
    rng = random.Random(seed)
    case = Case()
    app = root + "\\App"

    # The product: plain and double-byte names, folders, trees with and
    # without a pattern, registry values.
    n = 0
    subfolders = ["P%d" % i for i in range(rng.randrange(2, 5))]
    for sub in subfolders:
        case.manifest.append("dir %APPDIR%\\" + sub)
    for i in range(rng.randrange(4, 10)):
        where = rng.choice([""] + ["\\" + s for s in subfolders])
        ext = rng.choice([".DAT", ".TXT", ".TMP", ".DLL"])
        name = dbcs_name(rng, ext) if rng.random() < 0.5 else "F%d%s" % (i, ext)
        payload = "p%d.bin" % n
        n += 1
        case.payload[payload] = ("file %d of seed %d\r\n" % (i, seed)).encode() * rng.randrange(1, 50)
        dest = app + where + "\\" + name
        if dest.lower() in [p.lower() for p in case.product_files]:
            continue
        case.product_files.append(dest)
        case.manifest.append("copy %s | %s" % (payload, dest))
    # A first plain file in the application folder shows that the run took place.
    case.payload["first.bin"] = b"first"
    case.product_files.insert(0, app + "\\FIRST.DAT")
    case.manifest.insert(0, "copy first.bin | %APPDIR%\\FIRST.DAT")
    whole = []
    for sub in rng.sample(subfolders, rng.randrange(1, len(subfolders))):
        pattern = rng.choice(["", "\\*.TMP", "\\*.*", "\\INNER"])
        case.manifest.append("tree %APPDIR%\\" + sub + pattern)
        if pattern in ("", "\\*.*"):
            whole.append(sub)
    if rng.random() < 0.5:
        case.manifest.append("tree %APPDIR%\\*.TMP")
    for i in range(rng.randrange(1, 5)):
        case.manifest.append("reg HKCU | Software\\KetraInv\\%s\\Logged\\K%d | V%d | sz | d%d"
                             % (tag, i % 2, i, i))
    if machine:
        # The product's own value in a shared key, and its own tree: both go.
        run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run"
        case.manifest.append("reg HKCU | %s | KINVP%s | sz | p" % (run, tag))
        case.owned_registry.append(("HKCU", run, "KINVP" + tag))
        case.manifest.append("regtree HKCU | Software\\KetraInv\\%s\\Tree" % tag)
        case.manifest.append("reg HKCU | Software\\KetraInv\\%s\\Tree\\Sub | T | sz | t" % tag)
        case.owned_registry.append(("HKCU", "Software\\KetraInv\\%s\\Tree\\Sub" % tag, "T"))

    # The user's own files inside the product: no whole tree covers them.
    case.user_files[app + "\\UserData\\MINE.DAT"] = b"the user's own words"
    inner_sub = rng.choice([s for s in subfolders if s not in whole])
    case.user_files[app + "\\" + inner_sub + "\\USER" + dbcs_name(rng, ".DAT")] = b"mine too"
    # A sub-tree, and then its parent made by the installer: the parent only
    # goes when it is empty.
    case.appended.append(["File Tree: " + app + "\\" + inner_sub + "\\INNER",
                          "Made Dir: " + app + "\\" + inner_sub])
    # The same outside the application folder, where no earlier entry holds
    # the parent: the tree comes first, then the folder around it.
    extra = root + "\\Extra"
    case.tree_files[extra + "\\INNER\\T%d.DAT" % rng.randrange(100)] = b"the tree's own"
    case.user_files[extra + "\\USER" + dbcs_name(rng, ".DAT")] = b"beside the tree"
    case.appended.append(["File Tree: " + extra + "\\INNER", "Made Dir: " + extra])
    # Files the log puts straight into the Windows and system folders stay in
    # an automatic run, whatever the bytes of their names.
    for folder in ("C:\\windows", "C:\\windows\\system32"):
        name = folder + "\\KINV" + tag + rng.choice(TRAIL_BACKSLASH) + rng.choice(TRAIL_LETTER) + ".DLL"
        case.sentinels[name] = b"a system file"
        case.appended.append(["File Copy: " + name])
    # A registry value beside the logged ones, under a logged key.
    case.registry.append(("HKCU", "Software\\KetraInv\\%s\\Logged\\K0\\Keep" % tag, "KeepMe", "k"))
    case.registry.append(("HKCU", "Software\\KetraInv\\%s\\Beside" % tag, "B", "b"))

    # Links from inside the product to folders outside it.
    target = root + "\\Target"
    empty_target = root + "\\EmptyTarget"
    case.sentinels[target + "\\KEEP.DAT"] = b"behind a link"
    case.sentinels[target + "\\DEEP\\KEEP" + rng.choice(TRAIL_BACKSLASH) + ".DAT"] = b"deeper"
    case.sentinel_trees += [target, empty_target]
    for sub in rng.sample(subfolders, rng.randrange(1, len(subfolders) + 1)):
        case.links.append((app + "\\" + sub + "\\LINK%d" % rng.randrange(10),
                           rng.choice([target, empty_target])))
    if rng.random() < 0.5:
        case.links.append((app + "\\TOPLINK", target))
        case.appended.append(["File Tree: " + app + "\\TOPLINK"])

    # A product beside this one.
    beside = root + "\\Beside"
    case.sentinels[beside + "\\OTHER.DAT"] = b"another product"
    case.sentinels[beside + "\\BIN\\" + dbcs_name(rng, ".DLL")] = b"another library"
    case.sentinel_trees.append(beside)

    # Sentinels in every protected folder, and hostile lines naming them.
    for folder, program_files in protected:
        case.sentinels[folder + "\\KINV" + tag + rng.choice(TRAIL_BACKSLASH + [""]) + ".DAT"] = \
            ("sentinel of " + folder).encode("gbk")
        for spelled in rng.sample(spellings(rng, folder, app, short_names), 4):
            kind = rng.randrange(6)
            if kind == 0:
                case.appended.append(["File Tree: " + spelled])
            elif kind == 1:
                case.appended.append(["Made Dir: " + spelled])
            elif kind == 2:
                case.appended.append(["File Tree: " + spelled.rstrip("\\/") + "\\*.DAT"])
            elif kind == 3 and not program_files:
                case.appended.append(["File Copy: " + spelled.rstrip("\\/") + "\\*.*"])
            elif kind == 4 and not program_files:
                case.appended.append(["File Copy: " + spelled.rstrip("\\/") + "\\*.DAT"])
            else:
                case.appended.append(["File Tree: " + padded(spelled.rstrip("\\/"),
                                                             rng.randrange(240, 300))])
    # Over-long lines that name a folder outside the product once cut.
    for folder in (beside, target, root):
        length = rng.randrange(230, 400)
        case.appended.append([rng.choice(["File Tree: ", "Made Dir: "]) + padded(folder, length)])
    case.appended.append(["File Copy: " + padded(beside, rng.randrange(240, 300), "*.*")])
    case.appended.append(["File Tree: " + app + "\\" + "Q" * rng.randrange(250, 3000)])

    # Registry lines that name no real key.
    case.appended += [["RegDB Tree: Software\\KetraInv\\%s\\Beside\\.." % tag, "RegDB Root: 1"],
                      ["RegDB Tree: " + "Software\\KetraInv\\%s\\Beside\\" % tag + "X" * 300,
                       "RegDB Root: 1"],
                      ["RegDB Key: Software\\KetraInv\\%s\\Beside\\.." % tag, "RegDB Val: b",
                       "RegDB Name: B", "RegDB Root: 1"],
                      ["RegDB Tree: Software\\KetraInv\\%s\\Beside" % tag, "RegDB Root: 9"]]
    if machine:
        machine_lines(rng, case, tag, root, machine)
    # Junk: keywords with nothing after them, a lone lead byte, stray follow-ups.
    junk = ["File Tree: ", "Made Dir: ", "File Copy: ", "Made Dir: \\", "File Tree: \\\\",
            "Backup Copy: " + beside + "\\OTHER.DAT", "RegDB Val: ", "Link Info: |||",
            "Made Dir: C:", "File Tree: C:", "File Tree: *", "File Copy: *.*",
            "File Tree: " + root + "\\Beside\\" + rng.choice(TRAIL_BACKSLASH)]
    case.appended += [[line] for line in rng.sample(junk, rng.randrange(3, len(junk)))]
    rng.shuffle(case.appended)
    case.appended = [line for group in case.appended for line in group]
    return case
