#include "app/shortcut_launch.h"

#include <shellapi.h>
#include <cstdlib>

#include "app/command_line.h"
#include "app/message_catalogue.h"
#include "app/shortcut_check.h"
#include "engine/registry.h"
#include "log/path_helpers.h"
#include "ui/resources/resource.h"

HKEY RepairKey;

enum { LaunchValueSize = 260 };

// The registry reference names a key (and a value) that must be there.
static int32_t ReferenceDamaged(const char* name)
{
    RegistryReference reference;
    if (!ParseRegistryReference(name, &reference))
        return 0;
    // A root the key's writer never uses cannot be checked; asking the user
    // to repair what no repair can bring back would only repeat forever.
    HKEY root = (HKEY)RootKeyForIndex(reference.Root);
    if (reference.Root < 0 || reference.Root > 4 || !root)
        return 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, reference.Subkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 1;
    int32_t damaged = 0;
    if (reference.ValueName[0] && RegQueryValueExA(key, reference.ValueName, nullptr, nullptr,
                                                   nullptr, nullptr) != ERROR_SUCCESS)
        damaged = 1;
    RegCloseKey(key);
    return damaged;
}

static int32_t InstallationDamaged(HKEY key)
{
    int32_t damaged = 0;
    for (DWORD index = 0; !damaged; index++) {
        char name[CheckNameSize];
        DWORD nameSize = sizeof name;
        DWORD type = 0;
        LONG status = RegEnumValueA(key, index, name, &nameSize, nullptr, &type, nullptr, nullptr);
        // A name too long for the buffer is passed over; the entries after
        // it are still checked.
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        if (type == REG_SZ)
            damaged = ReferenceDamaged(name);
        else if (type == REG_DWORD)
            damaged = GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES;
    }
    return damaged;
}

// Each deletion moves the later values down, so the first one is taken
// again until none is left.
static void DeleteCheckValues(HKEY key)
{
    for (;;) {
        char name[CheckNameSize];
        DWORD nameSize = sizeof name;
        if (RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        // A value that will not go would be found again forever.
        if (RegDeleteValueA(key, name) != ERROR_SUCCESS)
            break;
    }
}

static void ReadLaunchValue(HKEY key, const char* name, char* value)
{
    DWORD size = LaunchValueSize;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, (BYTE*)value, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        value[0] = 0;
        return;
    }
    // Registry text need not be terminated.
    value[size < LaunchValueSize ? size : LaunchValueSize - 1] = 0;
}

void LaunchShortcutTarget(HKEY key, int32_t number)
{
    char subkey[32];
    char path[LaunchValueSize];
    char arguments[LaunchValueSize];
    char directory[LaunchValueSize];
    char show[LaunchValueSize];
    HKEY icons = nullptr;
    wsprintfA(subkey, "Icons\\%d", (int)number);
    if (!key || RegOpenKeyExA(key, subkey, 0, KEY_READ, &icons) != ERROR_SUCCESS)
        return;
    ReadLaunchValue(icons, "Path", path);
    ReadLaunchValue(icons, "Arguments", arguments);
    ReadLaunchValue(icons, "WorkingDir", directory);
    ReadLaunchValue(icons, "ShowWindow", show);
    RegCloseKey(icons);
    HINSTANCE started = ShellExecuteA(nullptr, nullptr, path, arguments[0] ? arguments : nullptr,
                                      directory[0] ? directory : nullptr, atoi(show));
    if ((INT_PTR)started > 32)
        return;
    DWORD error = GetLastError();
    char text[LaunchValueSize] = "";
    char* system = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                       FORMAT_MESSAGE_FROM_SYSTEM,
                   nullptr, error, 0x400, (LPSTR)&system, 0, nullptr);
    if (system) {
        lstrcpynA(text, system, sizeof text);
        LocalFree(system);
    }
    MessageBoxA(nullptr, text, path, MB_OK);
}

int32_t CheckShortcut(RunOptions* options)
{
    char longPath[PathBufferSize];
    char name[RepairKeyNameSize];
    CopyText(longPath, options->log.path, sizeof longPath);
    ConvertPathNames(longPath, ToLong);
    if (FormatRepairKeyName(name, sizeof name, longPath) != 0)
        return 1;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, name, 0, KEY_READ | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return 1;
    int32_t answer = IDNO;
    if (InstallationDamaged(key)) {
        // No window exists yet: the question has no owner.
        HINSTANCE module = GetModuleHandleA(nullptr);
        char text[512];
        char caption[256];
        GetMessageText(module, IDS_DAMAGE_QUESTION, text, sizeof text);
        GetMessageText(module, IDS_REPAIR_HEADING, caption, sizeof caption);
        answer = MessageBoxA(nullptr, text, caption, MB_YESNOCANCEL);
    }
    if (answer == IDYES) {
        options->automatic = 1;
        options->finalPageOnly = 1;
        RepairKey = key;
        return 0;
    }
    if (answer != IDNO)
        DeleteCheckValues(key);
    LaunchShortcutTarget(key, options->shortcutNumber);
    RegCloseKey(key);
    return 1;
}

void LaunchAndCloseRepairKey(int32_t number)
{
    LaunchShortcutTarget(RepairKey, number);
    if (RepairKey)
        RegCloseKey(RepairKey);
    RepairKey = nullptr;
}
