// The system's answers for the file rules: its folders where they really
// lie, the real location of a file's folder, the modules this process runs
// and the system's file protection.
#include "engine/ownership_files_system.h"

#include <windows.h>
#include <cstring>

#include "engine/ownership.h"
#include "engine/ownership_files.h"
#include "engine/ownership_system.h"
#include "log/path_helpers.h"
#include "log/text_step.h"
#include "platform/libraries.h"
#include "platform/procedure.h"

typedef BOOL(WINAPI* FileProtectedFunc)(HANDLE server, LPCWSTR path);

struct SystemFileFacts {
    bool read;
    SystemFolderSet spelt; // as the system names its folders, long and short
    SystemFolderSet real;  // the same folders where they really lie
    bool protectionLooked;
    FileProtectedFunc isProtected;
    // The last folder asked and its real location: the files of one folder
    // come one after another, so one look-up serves them all.
    char lastFolder[MAX_PATH];
    char lastReal[MAX_PATH];
    bool lastResolved;
};
static SystemFileFacts Facts;

static void ShortForm(char* path, int32_t size, void*)
{
    ConvertPathNamesBounded(path, size, ToShort);
}

static void ReadFacts()
{
    if (Facts.read)
        return;
    Facts.read = true;
    char windows[MAX_PATH];
    char system[MAX_PATH];
    UINT n = GetWindowsDirectoryA(windows, 256);
    if (n == 0 || n >= 256)
        windows[0] = 0;
    n = GetSystemDirectoryA(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        system[0] = 0;
    MakeSystemFolderSet(&Facts.spelt, windows, system, ShortForm, nullptr);
    SystemFolderSet* real = &Facts.real;
    real->count = 0;
    if (!RealLocation(windows, real->windows))
        real->windows[0] = 0;
    if (!RealLocation(system, real->system))
        real->system[0] = 0;
    MakeHiveFolders(real);
    for (int32_t i = 0; i < Facts.spelt.count && real->count < MaxSystemFolders; i++) {
        if (RealLocation(Facts.spelt.folder[i], real->folder[real->count]))
            real->count++;
    }
}

void ForgetSystemFileFacts()
{
    Facts.read = false;
    Facts.lastFolder[0] = 0;
}

// The real location of a canonical folder, or null when it cannot be told.
static const char* RealFolderOf(const char* folder)
{
    if (!Facts.lastFolder[0] || strcmp(Facts.lastFolder, folder) != 0) {
        CopyText(Facts.lastFolder, folder, sizeof Facts.lastFolder);
        Facts.lastResolved = RealLocation(folder, Facts.lastReal);
    }
    return Facts.lastResolved ? Facts.lastReal : nullptr;
}

// The system's file protection, where the system has one: looked up, not
// imported, and only from the System folder.
static FileProtectedFunc ProtectionProcedure()
{
    if (!Facts.protectionLooked) {
        Facts.protectionLooked = true;
        static const char* const names[] = {"SFC.DLL", "SFC_OS.DLL"};
        for (const char* name : names) {
            HMODULE library = LoadSystemLibrary(name);
            if (library)
                Facts.isProtected =
                    SystemProcedure<FileProtectedFunc>(library, "SfcIsFileProtected");
            if (Facts.isProtected)
                break;
        }
    }
    return Facts.isProtected;
}

static bool ProtectedBySystem(const char* path)
{
    FileProtectedFunc isProtected = ProtectionProcedure();
    if (!isProtected)
        return false;
    WCHAR wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) <= 0)
        return false;
    return isProtected(nullptr, wide) != FALSE;
}

// This process runs a module loaded from the very file at realPath (its
// real location): the module of that name, wherever it was loaded from, is
// compared by its own real location.
static bool RunsModuleFrom(const char* realPath)
{
    HMODULE module = GetModuleHandleA(FileNamePart(realPath));
    if (!module)
        return false;
    char file[MAX_PATH];
    DWORD n = GetModuleFileNameA(module, file, sizeof file);
    char real[MAX_PATH];
    // A module whose file cannot be named is taken for this one.
    if (n == 0 || n >= sizeof file || !RealLocation(file, real))
        return true;
    return CompareNoCase(real, realPath) == 0;
}

// folder + "\" + name into out (MAX_PATH); false when it does not fit.
static bool JoinName(char* out, const char* folder, const char* name)
{
    CopyText(out, folder, MAX_PATH);
    if (!EndsWithBackslash(out))
        AppendText(out, "\\", MAX_PATH);
    if (strlen(out) + strlen(name) >= MAX_PATH)
        return false;
    AppendText(out, name, MAX_PATH);
    return true;
}

int32_t SystemFileReason(const char* path)
{
    char canonical[MAX_PATH];
    char folder[MAX_PATH];
    if (!CanonicalFilePath(path, canonical, folder, MAX_PATH)) {
        // A relative name is taken from the current folder, as the system
        // takes it.
        char full[MAX_PATH];
        char* name = nullptr;
        DWORD n = GetFullPathNameA(path, sizeof full, full, &name);
        if (n == 0 || n >= sizeof full || !CanonicalFilePath(full, canonical, folder, MAX_PATH))
            return ReasonUnresolved;
    }
    ReadFacts();
    if (IsHiveFile(canonical, &Facts.spelt))
        return ReasonHive;
    const char* real = RealFolderOf(folder);
    char realPath[MAX_PATH] = "";
    if (real && !JoinName(realPath, real, FileNamePart(canonical)))
        real = nullptr;
    bool hive = real && (IsHiveFile(realPath, &Facts.real) || IsHiveFile(realPath, &Facts.spelt));
    FilePlace place = PlaceOfFile(folder, real, &Facts.spelt, &Facts.real);
    SystemFileAnswers answers = {false, false};
    if (place == PlaceSystem && !hive) {
        // The file's own real location: its long name, and the folder it
        // lies in for this process (a 32-bit one's System32 is SysWOW64).
        char file[MAX_PATH];
        if (!RealLocation(canonical, file))
            CopyText(file, realPath, sizeof file);
        answers.loadedModule = RunsModuleFrom(file);
        answers.protectedBySystem =
            ProtectedBySystem(file) ||
            (CompareNoCase(file, canonical) != 0 && ProtectedBySystem(canonical));
    }
    return FileRemovalReason(hive, place, &answers);
}
