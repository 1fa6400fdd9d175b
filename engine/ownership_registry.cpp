#include "engine/ownership_registry.h"

#include <cstring>

#include "engine/ownership.h"
#include "log/text_step.h"

namespace
{

enum KeyRule {
    KeptWhole,       // the key, everything below it and every key that holds it
    Container,       // the key and every key that holds it; its children may be a product's
    ServiceContainer // as Container, but a child is the product's only when the log made the
                     // service
};

struct KeyEntry {
    const char* path;
    int32_t rule;
};

// Keys below a hive's root (the machine's or a user's, whichever holds
// them: a name of one hive is harmless to refuse in the other).
const KeyEntry SharedKeys[] = {
    {"Software", Container},
    {"Software\\Classes", Container},
    {"Software\\Microsoft", KeptWhole},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", Container},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths", Container},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects", Container},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers",
     Container},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\NameSpace", Container},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MyComputer\\NameSpace", Container},
    {"Software\\Microsoft\\Internet Explorer\\Extensions", Container},
    {"Software\\Policies", KeptWhole},
    {"Software\\Clients", KeptWhole},
    {"Software\\Clients\\Mail", Container},
    {"Software\\Clients\\News", Container},
    {"Software\\Clients\\Media", Container},
    {"Software\\Clients\\Contacts", Container},
    {"Software\\Clients\\Calendar", Container},
    {"Software\\Clients\\StartMenuInternet", Container},
    {"Software\\RegisteredApplications", KeptWhole},
    {"Software\\ODBC", KeptWhole},
    {"Software\\ODBC\\ODBC.INI", Container},
    {"Software\\ODBC\\ODBC.INI\\ODBC Data Sources", KeptWhole},
    {"Software\\ODBC\\ODBC.INI\\ODBC File DSN", KeptWhole},
    {"Software\\ODBC\\ODBCINST.INI", Container},
    {"Software\\ODBC\\ODBCINST.INI\\ODBC Drivers", KeptWhole},
    {"Software\\ODBC\\ODBCINST.INI\\ODBC Translators", KeptWhole},
    {"Software\\ODBC\\ODBCINST.INI\\ODBC Core", KeptWhole},
    {"Software\\Wine", KeptWhole},
    // Every product of this installer keeps its repair data here.
    {"Software\\Ketra Solutions", KeptWhole},
    {"Software\\Ketra Solutions\\Ketra Installation System\\Repair", Container},
    {"SYSTEM", KeptWhole},
    {"SYSTEM\\CurrentControlSet\\Services", ServiceContainer},
    {"SAM", KeptWhole},
    {"SECURITY", KeptWhole},
    {"HARDWARE", KeptWhole},
    {"BCD00000000", KeptWhole},
    {"Environment", KeptWhole},
    {"Volatile Environment", KeptWhole},
    {"Control Panel", KeptWhole},
    {"Keyboard Layout", KeptWhole},
    {"Console", KeptWhole},
    {"Printers", KeptWhole},
    {"Network", KeptWhole},
    {"Identities", KeptWhole},
    {"AppEvents", KeptWhole},
    {"AppEvents\\Schemes\\Apps", Container},
    {"AppEvents\\Schemes\\Apps\\.Default", KeptWhole},
    {"AppEvents\\Schemes\\Apps\\Explorer", KeptWhole},
    {"AppEvents\\EventLabels", Container},
};

// The system's own classes, below Software\Classes. The places where
// products hang their shell extensions and verbs are containers; the
// system's verbs in them stay.
const KeyEntry SystemClasses[] = {
    {"CLSID", Container},
    {"Interface", Container},
    {"TypeLib", Container},
    {"AppID", Container},
    {"Applications", Container},
    {"SystemFileAssociations", Container},
    {"MIME", KeptWhole},
    {"MIME\\Database\\Content Type", Container},
    {"Unknown", KeptWhole},
    {"*", KeptWhole},
    {"*\\shell", Container},
    {"*\\shellex\\ContextMenuHandlers", Container},
    {"*\\shellex\\PropertySheetHandlers", Container},
    {"AllFilesystemObjects", KeptWhole},
    {"AllFilesystemObjects\\shell", Container},
    {"AllFilesystemObjects\\shellex\\ContextMenuHandlers", Container},
    {"AllFilesystemObjects\\shellex\\PropertySheetHandlers", Container},
    {"Directory", KeptWhole},
    {"Directory\\shell", Container},
    {"Directory\\shell\\find", KeptWhole},
    {"Directory\\shell\\cmd", KeptWhole},
    {"Directory\\Background\\shell", Container},
    {"Directory\\Background\\shell\\cmd", KeptWhole},
    {"Directory\\Background\\shellex\\ContextMenuHandlers", Container},
    {"Directory\\shellex\\ContextMenuHandlers", Container},
    {"Directory\\shellex\\CopyHookHandlers", Container},
    {"Directory\\shellex\\DragDropHandlers", Container},
    {"Directory\\shellex\\PropertySheetHandlers", Container},
    {"Folder", KeptWhole},
    {"Folder\\shell", Container},
    {"Folder\\shell\\open", KeptWhole},
    {"Folder\\shell\\explore", KeptWhole},
    {"Folder\\shell\\opennewwindow", KeptWhole},
    {"Folder\\shellex\\ContextMenuHandlers", Container},
    {"Folder\\shellex\\PropertySheetHandlers", Container},
    {"Drive", KeptWhole},
    {"Drive\\shell", Container},
    {"Drive\\shell\\find", KeptWhole},
    {"Drive\\shell\\cmd", KeptWhole},
    {"Drive\\shellex\\ContextMenuHandlers", Container},
    {"Drive\\shellex\\PropertySheetHandlers", Container},
    {".exe", KeptWhole},
    {"exefile", KeptWhole},
    {".lnk", KeptWhole},
    {"lnkfile", KeptWhole},
    {".txt", KeptWhole},
    {"txtfile", KeptWhole},
    {".dll", KeptWhole},
    {"dllfile", KeptWhole},
    {".bat", KeptWhole},
    {"batfile", KeptWhole},
    {".cmd", KeptWhole},
    {"cmdfile", KeptWhole},
    {".com", KeptWhole},
    {"comfile", KeptWhole},
    {".ini", KeptWhole},
    {"inifile", KeptWhole},
    {".inf", KeptWhole},
    {"inffile", KeptWhole},
    {".reg", KeptWhole},
    {"regfile", KeptWhole},
    {".sys", KeptWhole},
    {"sysfile", KeptWhole},
    {".msi", KeptWhole},
    {"Msi.Package", KeptWhole},
    {".htm", KeptWhole},
    {".html", KeptWhole},
    {"htmlfile", KeptWhole},
    {".url", KeptWhole},
    {"InternetShortcut", KeptWhole},
    {"http", KeptWhole},
    {"https", KeptWhole},
    {"ftp", KeptWhole},
    {"file", KeptWhole},
    {"mailto", KeptWhole},
};

// Where no installation creates values: the system's own configuration.
const KeyEntry SystemConfiguration[] = {
    {"SYSTEM", KeptWhole},
    {"SYSTEM\\CurrentControlSet\\Services", ServiceContainer},
    {"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", KeptWhole},
};

const char ClassesKey[] = "Software\\Classes";
const char CurrentConfigKey[] = "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current";

bool SameName(const char* name, int32_t length, const char* text)
{
    return (int32_t)strlen(text) == length && CompareNoCaseN(name, text, length) == 0;
}

// ControlSet001 and its like: each is a copy of the current control set.
bool IsNumberedControlSet(const char* name, int32_t length)
{
    if (length != 13 || CompareNoCaseN(name, "ControlSet", 10) != 0)
        return false;
    for (int32_t i = 10; i < 13; i++) {
        if (name[i] < '0' || name[i] > '9')
            return false;
    }
    return true;
}

// The length of the name at text (up to a backslash that starts a character).
int32_t NameLength(const char* text)
{
    const char* at = text;
    while (*at && *at != '\\')
        at = NextChar(at);
    return (int32_t)(at - text);
}

struct KeyBuilder {
    char* out;
    int32_t length;
    int32_t names;
    int32_t firstLength;
    bool full;
};

// Appends the names of text, one backslash between them, passing over empty
// names and Wow6432Node. Returns how many names were appended.
int32_t AppendNames(KeyBuilder* b, const char* text)
{
    int32_t added = 0;
    const char* at = text;
    while (*at && !b->full) {
        const char* name = at;
        int32_t n = NameLength(at);
        at += n;
        if (*at)
            at++;
        if (n == 0 || SameName(name, n, "Wow6432Node"))
            continue;
        if (b->names == 1 && SameName(b->out, b->firstLength, "SYSTEM") &&
            IsNumberedControlSet(name, n)) {
            name = "CurrentControlSet";
            n = (int32_t)strlen(name);
        }
        int32_t gap = b->length ? 1 : 0;
        if (b->length + gap + n >= RegistryKeyTextSize) {
            b->full = true;
            break;
        }
        if (gap)
            b->out[b->length++] = '\\';
        memcpy(b->out + b->length, name, (size_t)n);
        b->length += n;
        b->out[b->length] = 0;
        if (b->names == 0)
            b->firstLength = n;
        b->names++;
        added++;
    }
    return added;
}

// A hive under HKU: "<sid>" is a user's own keys, "<sid>_Classes" that
// user's classes.
bool IsClassesHive(const char* name, int32_t length)
{
    const char suffix[] = "_Classes";
    int32_t n = (int32_t)strlen(suffix);
    for (const char* at = name; at < name + length; at = NextChar(at)) {
        if (name + length - at == n)
            return CompareNoCaseN(at, suffix, n) == 0;
    }
    return false;
}

int32_t CountNames(const char* path)
{
    if (!path[0])
        return 0;
    int32_t names = 1;
    for (const char* at = path; *at; at = NextChar(at)) {
        if (*at == '\\')
            names++;
    }
    return names;
}

// The name that follows prefix in path (path lies below prefix).
void NameAfter(const char* path, const char* prefix, const char** name, int32_t* length)
{
    *name = path + strlen(prefix) + 1;
    *length = NameLength(*name);
}

bool IsOwnService(const char* name, int32_t length, const RegistryEvidence* evidence)
{
    if (!evidence || !evidence->services)
        return false;
    for (int32_t i = 0; i < evidence->services->Count; i++) {
        const ServiceItem* item = (const ServiceItem*)evidence->services->Items[i];
        if (item && SameName(name, length, item->Name))
            return !evidence->serviceOwned || evidence->serviceOwned(item->Name);
    }
    return false;
}

// Judges path (canonical, below the table's base) against a table. Sets
// *decided when the table has the answer; otherwise path lies in no kept
// key of the table (perhaps in a container) and the caller goes on.
// keptReason answers for a kept key; holdsMatters: a key that holds one of
// the table's (a tree would take it along) is refused.
int32_t JudgeKey(const KeyEntry* table, int32_t count, const char* path, int32_t keptReason,
                 bool holdsMatters, const RegistryEvidence* evidence, bool* decided)
{
    const KeyEntry* deepest = nullptr;
    bool holds = false;
    *decided = true;
    for (int32_t i = 0; i < count; i++) {
        const KeyEntry* entry = &table[i];
        if (CompareNoCase(path, entry->path) == 0)
            return keptReason;
        if (PathWithin(entry->path, path))
            holds = true;
        else if (PathWithin(path, entry->path) &&
                 (!deepest || strlen(entry->path) > strlen(deepest->path)))
            deepest = entry;
    }
    if (deepest && deepest->rule == KeptWhole)
        return keptReason;
    if (deepest && deepest->rule == ServiceContainer) {
        const char* name;
        int32_t length;
        NameAfter(path, deepest->path, &name, &length);
        return IsOwnService(name, length, evidence) ? OwnedByLog : keptReason;
    }
    if (holds && holdsMatters)
        return ReasonHoldsSharedKey;
    *decided = false;
    return OwnedByLog;
}

} // namespace

int32_t CanonicalRegistryKey(int32_t root, const char* key, CanonicalKey* out)
{
    out->hive = HiveMachine;
    out->depth = 0;
    out->path[0] = 0;
    if (root < 0 || root > 4)
        return 0;
    KeyBuilder b = {out->path, 0, 0, 0, false};
    const char* rest = key;
    switch (root) {
    case 0:
        out->hive = HiveClasses;
        AppendNames(&b, ClassesKey);
        break;
    case 1:
        out->hive = HiveUser;
        break;
    case 3: {
        out->hive = HiveUser;
        while (*rest == '\\')
            rest++;
        int32_t n = NameLength(rest);
        if (n > 0 && IsClassesHive(rest, n))
            AppendNames(&b, ClassesKey);
        rest += n;
        break;
    }
    case 4:
        AppendNames(&b, CurrentConfigKey);
        break;
    }
    out->depth = AppendNames(&b, rest);
    return b.full ? 0 : 1;
}

int32_t RegistryTreeReason(int32_t root, const char* key, const RegistryEvidence* evidence)
{
    CanonicalKey canonical;
    if (!CanonicalRegistryKey(root, key, &canonical))
        return ReasonUnresolved;
    // The log's text must name something below the root (under HKU, below
    // the user's hive): the root itself holds everything.
    if (canonical.depth == 0)
        return ReasonRegistryRoot;
    // HKCC holds the keys of one name of the current hardware profile.
    if (CountNames(canonical.path) == 1 || (root == 4 && canonical.depth == 1))
        return ReasonTopLevelKey;
    bool decided = false;
    int32_t reason = JudgeKey(SharedKeys, sizeof SharedKeys / sizeof SharedKeys[0], canonical.path,
                              ReasonSharedKey, true, evidence, &decided);
    if (decided)
        return reason;
    if (!PathWithin(canonical.path, ClassesKey))
        return OwnedByLog;
    reason = JudgeKey(SystemClasses, sizeof SystemClasses / sizeof SystemClasses[0],
                      canonical.path + strlen(ClassesKey) + 1, ReasonSystemClass, true, evidence,
                      &decided);
    return decided ? reason : OwnedByLog;
}

int32_t CreatedValueReason(int32_t root, const char* key, const RegistryEvidence* evidence)
{
    CanonicalKey canonical;
    if (!CanonicalRegistryKey(root, key, &canonical))
        return ReasonUnresolved;
    bool decided = false;
    int32_t reason =
        JudgeKey(SystemConfiguration, sizeof SystemConfiguration / sizeof SystemConfiguration[0],
                 canonical.path, ReasonSystemValue, false, evidence, &decided);
    return decided ? reason : OwnedByLog;
}
