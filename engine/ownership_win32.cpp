// The Win32 side of the ownership rules: the real location of a path, the
// folders the system and its users keep, and the folders the log shows to
// be the product's.
#include "engine/ownership_system.h"

#include <windows.h>
#include <cstring>

#include "app/system_facts.h"
#include "log/items.h"
#include "log/path_helpers.h"
#include "log/reader.h"
#include "platform/procedure.h"

typedef DWORD(WINAPI* FinalPathFunc)(HANDLE file, LPSTR path, DWORD size, DWORD flags);

// Looked up, not imported: the 95 family and NT 4.0 do not have it.
static FinalPathFunc FinalPathProcedure()
{
    static bool looked;
    static FinalPathFunc found;
    if (!looked) {
        looked = true;
        HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
        found =
            kernel ? SystemProcedure<FinalPathFunc>(kernel, "GetFinalPathNameByHandleA") : nullptr;
    }
    return found;
}

// The system's own name for an existing file or folder, every link on the
// way resolved: "\\?\C:\..." or "\\?\UNC\server\share\..." made plain.
static bool FinalName(FinalPathFunc finalPath, const char* path, char* out, int32_t size)
{
    HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    char name[MAX_PATH * 2];
    DWORD n = finalPath(handle, name, sizeof name, 0);
    CloseHandle(handle);
    if (n == 0 || n >= sizeof name)
        return false;
    const char* plain = name;
    char unc[MAX_PATH * 2];
    if (strncmp(name, "\\\\?\\UNC\\", 8) == 0) {
        unc[0] = '\\';
        CopyText(unc + 1, name + 7, (int32_t)sizeof unc - 1);
        plain = unc;
    } else if (strncmp(name, "\\\\?\\", 4) == 0) {
        plain = name + 4;
    }
    return NormalizePathText(plain, out, size) != 0;
}

// Without the system's own name: every existing component is looked at on
// the way down; one that is a link (or any reparse point) cannot be followed
// here, so the location cannot be told.
static bool WalkedName(char* path, int32_t size)
{
    ConvertPathNamesBounded(path, size, ToLong);
    char prefix[MAX_PATH];
    CopyText(prefix, path, sizeof prefix);
    for (char* at = prefix + 3; *at; at = CharNextA(at)) {
        if (*at != '\\')
            continue;
        *at = 0;
        DWORD attributes = GetFileAttributesA(prefix);
        *at = '\\';
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return false;
    }
    DWORD attributes = GetFileAttributesA(prefix);
    return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool RealLocation(const char* path, char* out)
{
    // A relative name ("C:", "APP\\DATA") would be taken from whatever the
    // current folder happens to be: nothing a removal can rest on.
    char normal[MAX_PATH];
    if (!NormalizePathText(path, normal, sizeof normal))
        return false;
    // A share is compared as it is spelt: the rules refuse every share but
    // the log's own.
    if (normal[0] == '\\') {
        CopyText(out, normal, MAX_PATH);
        return true;
    }
    // The longest part of the path that exists is what the system can name;
    // the rest is added back to its name.
    char head[MAX_PATH];
    CopyText(head, normal, sizeof head);
    while (GetFileAttributesA(head) == INVALID_FILE_ATTRIBUTES) {
        char* last = LastBackslash(head);
        if (!last)
            break;
        if (last - head <= 2) {
            head[3] = 0; // the drive's root: "C:" alone would name its current folder
            break;
        }
        *last = 0;
    }
    const char* rest = normal + strlen(head);
    char named[MAX_PATH];
    FinalPathFunc finalPath = FinalPathProcedure();
    if (!finalPath || !FinalName(finalPath, head, named, sizeof named)) {
        // Without the system's own name (an old system, or a drive that is
        // not there): as spelt, once no component on the way is a link.
        CopyText(named, head, sizeof named);
        if (!WalkedName(named, sizeof named))
            return false;
    }
    char joined[MAX_PATH * 2];
    CopyText(joined, named, sizeof joined);
    AppendText(joined, "\\", sizeof joined);
    AppendText(joined, rest, sizeof joined);
    return NormalizePathText(joined, out, MAX_PATH) != 0;
}

// ---- The folders the system and its users keep -------------------------

enum { MaxKeptFolders = 512 };
struct KeptFolders {
    bool read;
    int32_t count;
    char path[MaxKeptFolders][MAX_PATH];
    const char* list[MaxKeptFolders];
};
static KeptFolders Kept;

static void KeepFolder(const char* path)
{
    if (Kept.count >= MaxKeptFolders || !path || !path[0] || path[0] == '*')
        return;
    char* slot = Kept.path[Kept.count];
    if (!RealLocation(path, slot))
        return;
    for (int32_t i = 0; i < Kept.count; i++) {
        if (lstrcmpiA(Kept.path[i], slot) == 0)
            return;
    }
    Kept.list[Kept.count] = slot;
    Kept.count++;
}

static void KeepJoined(const char* folder, const char* name)
{
    char joined[MAX_PATH];
    CopyText(joined, folder, sizeof joined);
    if (!EndsWithBackslash(joined))
        AppendText(joined, "\\", sizeof joined);
    AppendText(joined, name, sizeof joined);
    KeepFolder(joined);
}

// A text value of an open key into value (MAX_PATH), environment strings
// expanded; empty when absent.
static void ReadFolderValue(HKEY key, const char* name, char* value)
{
    char raw[MAX_PATH];
    DWORD size = sizeof raw - 1;
    DWORD type = 0;
    value[0] = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, (BYTE*)raw, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return;
    raw[size < sizeof raw ? size : sizeof raw - 1] = 0;
    DWORD n = ExpandEnvironmentStringsA(raw, value, MAX_PATH);
    if (n == 0 || n > MAX_PATH)
        CopyText(value, raw, MAX_PATH);
}

// A Program Files folder, its Common Files folder, and, for the 32-bit
// programs' "... (x86)" folder, the 64-bit programs' folder beside it.
static void KeepProgramFolder(const char* folder)
{
    if (!folder[0])
        return;
    KeepFolder(folder);
    KeepJoined(folder, "Common Files");
    const char x86[] = " (x86)";
    size_t n = strlen(folder);
    size_t tail = sizeof x86 - 1;
    if (n > tail + 3 && lstrcmpiA(folder + n - tail, x86) == 0) {
        char plain[MAX_PATH];
        CopyText(plain, folder, (int32_t)(n - tail + 1));
        KeepFolder(plain);
        KeepJoined(plain, "Common Files");
    }
}

// The folder an environment variable names, into folder (MAX_PATH); false
// when the variable is not set. Expanded as a value with it would be: the
// program reads no variable of its own choosing.
static bool EnvironmentFolder(const char* name, char* folder)
{
    char reference[64];
    CopyText(reference, "%", sizeof reference);
    AppendText(reference, name, sizeof reference);
    AppendText(reference, "%", sizeof reference);
    DWORD n = ExpandEnvironmentStringsA(reference, folder, MAX_PATH);
    return n > 0 && n <= MAX_PATH && folder[0] != '%';
}

// The Program Files and Common Files folders in one registry view. A 32-bit
// program on a 64-bit system reads the (x86) folder as "ProgramFilesDir";
// the other view holds the 64-bit programs' folder. A system that presents
// itself as one of the 95 family has no views (the view flags are not
// heeded there), so the names are also taken from the environment and from
// the (x86) folder's name.
static void KeepProgramFolders(REGSAM view)
{
    static const char* const names[] = {"ProgramFilesDir",       "ProgramW6432Dir",
                                        "ProgramFilesDir (x86)", "CommonFilesDir",
                                        "CommonW6432Dir",        "CommonFilesDir (x86)"};
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_READ | view, &key) != ERROR_SUCCESS)
        return;
    for (const char* name : names) {
        char value[MAX_PATH];
        ReadFolderValue(key, name, value);
        KeepProgramFolder(value);
    }
    RegCloseKey(key);
}

static void KeepProgramFoldersOfEnvironment()
{
    static const char* const names[] = {
        "ProgramFiles",       "ProgramFiles(x86)",       "ProgramW6432",
        "CommonProgramFiles", "CommonProgramFiles(x86)", "CommonProgramW6432"};
    for (const char* name : names) {
        char folder[MAX_PATH];
        if (EnvironmentFolder(name, folder))
            KeepProgramFolder(folder);
    }
}

// Every value of a key that names a folder: the shell folders of one user
// (Desktop, Documents, Start Menu, Programs, Startup and the like).
static void KeepFolderValues(HKEY root, const char* keyName)
{
    HKEY key;
    if (RegOpenKeyExA(root, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0; i < 256; i++) {
        char name[256];
        DWORD nameSize = sizeof(name);
        DWORD type = 0;
        LONG status = RegEnumValueA(key, i, name, &nameSize, nullptr, &type, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA)
            continue;
        char value[MAX_PATH];
        ReadFolderValue(key, name, value);
        KeepFolder(value);
    }
    RegCloseKey(key);
}

static const char ShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
static const char UserShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// The shell folders of every user whose settings are loaded.
static void KeepEveryUsersShellFolders()
{
    KeepFolderValues(HKEY_CURRENT_USER, ShellFoldersKey);
    KeepFolderValues(HKEY_CURRENT_USER, UserShellFoldersKey);
    KeepFolderValues(HKEY_LOCAL_MACHINE, ShellFoldersKey);
    KeepFolderValues(HKEY_LOCAL_MACHINE, UserShellFoldersKey);
    for (DWORD i = 0; i < 64; i++) {
        char sid[256];
        DWORD size = sizeof sid;
        if (RegEnumKeyExA(HKEY_USERS, i, sid, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        char key[400];
        CopyText(key, sid, sizeof key);
        AppendText(key, "\\", sizeof key);
        AppendText(key, ShellFoldersKey, sizeof key);
        KeepFolderValues(HKEY_USERS, key);
    }
}

// A profile and the folders every profile holds (Desktop, Documents,
// AppData ...), with the application data and temporary folders below: the
// shell folders of a user whose settings are not loaded. By name, not by
// what lies there: a product may have its own folder in a profile.
static void KeepProfile(const char* profile)
{
    KeepFolder(profile);
    static const char* const inner[] = {"Desktop",
                                        "Documents",
                                        "My Documents",
                                        "Downloads",
                                        "Music",
                                        "Pictures",
                                        "Videos",
                                        "Favorites",
                                        "Links",
                                        "Contacts",
                                        "Searches",
                                        "Saved Games",
                                        "Templates",
                                        "Start Menu",
                                        "Start Menu\\Programs",
                                        "Recent",
                                        "SendTo",
                                        "NetHood",
                                        "PrintHood",
                                        "Cookies",
                                        "OneDrive",
                                        "AppData",
                                        "AppData\\Local",
                                        "AppData\\Roaming",
                                        "AppData\\LocalLow",
                                        "AppData\\Local\\Temp",
                                        "Application Data",
                                        "Local Settings",
                                        "Local Settings\\Temp",
                                        "Local Settings\\Application Data",
                                        "Temp"};
    for (const char* name : inner)
        KeepJoined(profile, name);
}

// The profiles' root, every profile the system lists, and the shared ones.
static void KeepProfiles()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                      "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return;
    static const char* const shared[] = {
        "ProfilesDirectory", "AllUsersProfile", "DefaultUserProfile",
        "Default",           "Public",          "ProgramData"};
    char value[MAX_PATH];
    char root[MAX_PATH] = "";
    ReadFolderValue(key, "ProfilesDirectory", root);
    for (const char* name : shared) {
        ReadFolderValue(key, name, value);
        // Older systems give the shared profiles by their names in the root.
        if (value[0] && !FindCharMb(value, '\\') && root[0])
            KeepJoined(root, value);
        else if (value[0])
            KeepProfile(value);
    }
    for (DWORD i = 0; i < 256; i++) {
        char sid[256];
        DWORD size = sizeof sid;
        if (RegEnumKeyExA(key, i, sid, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY profile;
        if (RegOpenKeyExA(key, sid, 0, KEY_READ, &profile) != ERROR_SUCCESS)
            continue;
        ReadFolderValue(profile, "ProfileImagePath", value);
        RegCloseKey(profile);
        if (value[0])
            KeepProfile(value);
    }
    RegCloseKey(key);
}

typedef UINT(WINAPI* SystemWow64DirectoryFunc)(LPSTR buffer, UINT size);

// The Windows folder, the folders the system keeps in it, and every name
// the system folder goes by: the 32-bit system folder of a 64-bit system
// (SysWOW64), and the 64-bit one as a 32-bit program must spell it
// (Sysnative), its own System32 being redirected.
static void KeepSystemFolders()
{
    char windows[MAX_PATH];
    char folder[MAX_PATH];
    UINT n = GetWindowsDirectoryA(windows, 256);
    if (n == 0 || n >= 256)
        windows[0] = 0;
    KeepFolder(windows);
    n = GetSystemDirectoryA(folder, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        KeepFolder(folder);
        KeepJoined(folder, "drivers");
    }
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    SystemWow64DirectoryFunc wow64 =
        kernel ? SystemProcedure<SystemWow64DirectoryFunc>(kernel, "GetSystemWow64DirectoryA")
               : nullptr;
    if (wow64) {
        n = wow64(folder, MAX_PATH);
        if (n > 0 && n < MAX_PATH)
            KeepFolder(folder);
    }
    if (!windows[0])
        return;
    static const char* const inside[] = {"System32",
                                         "SysWOW64",
                                         "Sysnative",
                                         "System",
                                         "System32\\drivers",
                                         "SysWOW64\\drivers",
                                         "System32\\config",
                                         "System32\\spool",
                                         "Fonts",
                                         "inf",
                                         "Temp",
                                         "Help",
                                         "Media",
                                         "Cursors",
                                         "Resources",
                                         "Tasks",
                                         "Web",
                                         "Installer",
                                         "assembly",
                                         "Microsoft.NET",
                                         "winsxs",
                                         "Profiles",
                                         "Start Menu",
                                         "Desktop",
                                         "Application Data",
                                         "Favorites",
                                         "Recent",
                                         "SendTo",
                                         "ShellNew",
                                         "Command",
                                         "Offline Web Pages"};
    for (const char* name : inside)
        KeepJoined(windows, name);
}

// The temporary folders: removing one wholesale takes every program's files.
static void KeepTemporaryFolders()
{
    char folder[MAX_PATH];
    DWORD n = GetTempPathA(sizeof folder, folder);
    if (n > 0 && n < sizeof folder)
        KeepFolder(folder);
    static const char* const names[] = {"TEMP",   "TMP",         "USERPROFILE", "ALLUSERSPROFILE",
                                        "PUBLIC", "ProgramData", "APPDATA",     "LOCALAPPDATA"};
    for (const char* name : names) {
        if (EnvironmentFolder(name, folder))
            KeepFolder(folder);
    }
}

static void ReadKeptFolders()
{
    if (Kept.read)
        return;
    Kept.read = true;
    KeepSystemFolders();
    KeepProgramFolders(0);
    KeepProgramFolders(KEY_WOW64_64KEY);
    KeepProgramFolders(KEY_WOW64_32KEY);
    KeepProgramFoldersOfEnvironment();
    KeepProgramFolder(ProgramFilesDir);
    KeepEveryUsersShellFolders();
    KeepProfiles();
    KeepTemporaryFolders();
    // The profile folders the log reader found (the 95 family keeps its
    // profiles below the Windows folder).
    KeepFolder(ProfilesFolder);
    KeepFolder(CommonProfileFolder);
    KeepFolder(SystemFolder);
}

void ForgetKeptFolders()
{
    Kept.read = false;
    Kept.count = 0;
}

// ---- The product's folders ------------------------------------------------

enum { MaxProductFolders = 1024 };
struct ProductFolders {
    int32_t count;
    char path[MaxProductFolders][MAX_PATH];
    const char* list[MaxProductFolders];
    char logShare[MAX_PATH];
};
static ProductFolders Product;

static FolderEvidence Evidence()
{
    ReadKeptFolders();
    FolderEvidence evidence = {Kept.list, Kept.count, Product.list, Product.count,
                               Product.logShare};
    return evidence;
}

// A folder the log shows to be the product's, unless it is or holds one
// the system or a user keeps: a made "C:\Users" is evidence of nothing.
static void AddProductFolder(const char* folder)
{
    if (Product.count >= MaxProductFolders)
        return;
    char* slot = Product.path[Product.count];
    if (!RealLocation(folder, slot))
        return;
    FolderEvidence evidence = Evidence();
    if (IsOrHoldsKeptFolder(slot, &evidence))
        return;
    for (int32_t i = 0; i < Product.count; i++) {
        if (lstrcmpiA(Product.path[i], slot) == 0)
            return;
    }
    Product.list[Product.count] = slot;
    Product.count++;
}

void LearnProductFolders(const char* logPath)
{
    Product.count = 0;
    Product.logShare[0] = 0;
    char folder[MAX_PATH];
    if (logPath && logPath[0]) {
        CopyText(folder, logPath, sizeof folder);
        char* name = FileNamePart(folder);
        if (name > folder)
            name[-1] = 0;
        char real[MAX_PATH];
        if (RealLocation(folder, real))
            ShareOfPath(real, Product.logShare, sizeof Product.logShare);
        AddProductFolder(folder);
    }
    for (int32_t i = 0; i < MadeFolderList.Count; i++)
        AddProductFolder((const char*)MadeFolderList.Items[i]);
}

int32_t FolderOwnership(const char* path, bool whole)
{
    char canonical[MAX_PATH];
    if (!RealLocation(path, canonical))
        return ReasonUnresolved;
    FolderEvidence evidence = Evidence();
    return FolderRemovalReason(canonical, whole, &evidence);
}

bool InProductFolders(const char* path)
{
    char canonical[MAX_PATH];
    if (!RealLocation(path, canonical))
        return false;
    for (int32_t i = 0; i < Product.count; i++) {
        if (PathWithin(canonical, Product.list[i]))
            return true;
    }
    return false;
}

int32_t KeptFolderWithin(const char* folder)
{
    char canonical[MAX_PATH];
    if (!RealLocation(folder, canonical))
        return 1;
    FolderEvidence evidence = Evidence();
    return IsOrHoldsKeptFolder(canonical, &evidence) ? 1 : 0;
}
