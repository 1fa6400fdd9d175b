#include "app/startup.h"
#include "app/command_line.h"
#include "app/crc_table.h"
#include "app/main_window.h"
#include "app/message_catalogue.h"
#include "app/system_facts.h"
#include "engine/deferred.h"
#include "log/path_helpers.h"
#include "log/pool.h"
#include "platform/libraries.h"
#include "platform/procedure.h"
#include "ui/resources/resource.h"

#include <commdlg.h>

HBRUSH HollowBrush;
HBITMAP BannerBitmap;
char* ScratchBuffer;
COLORREF BarBackColour;
char TitleText[256];
char CancelQuestionText[256];
char CaptionText[256];
char RestartText[512];
HMODULE Shell32Module;
ShChangeNotifyFunc ShChangeNotifyProc;

void DetectPlatform()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    PlatformKind = version.dwPlatformId == VER_PLATFORM_WIN32_NT ? PlatformNT : Platform95;
    NewShell = version.dwMajorVersion >= 4;
    Shell32Module = LoadSystemLibrary("SHELL32.DLL");
    if (Shell32Module)
        ShChangeNotifyProc = SystemProcedure<ShChangeNotifyFunc>(Shell32Module, "SHChangeNotify");
}

void ReadProgramPaths()
{
    GetModuleFileNameA(nullptr, ModulePath, sizeof ModulePath);
    ModulePath[sizeof ModulePath - 1] = 0;
    // The log names the program file in its long form; deletions compare against it.
    ConvertPathNamesBounded(ModulePath, sizeof ModulePath, ToLong);
    LOGBRUSH hollow = {BS_NULL, 0, 0};
    HollowBrush = CreateBrushIndirect(&hollow);
    GetModuleFileNameA(nullptr, SettingsIniPath, sizeof SettingsIniPath);
    SettingsIniPath[sizeof SettingsIniPath - 1] = 0;
    ReplaceLastThree(SettingsIniPath, "INI");
    ScratchBuffer = (char*)PoolAlloc(ScratchBufferSize);
}

int32_t CopyCommandLine(const char* commandLine, char* line)
{
    const char* text = commandLine ? commandLine : "";
    CopyText(line, text, CommandLineSize);
    return lstrlenA(text) >= CommandLineSize;
}

void UseDefaultLogIfPresent(char* line)
{
    ApplyDefaultLog(line, SettingsIniPath);
}

void ScheduleDeleteAtRestart(const char* path)
{
    DeleteAtRestart(path);
}

// The copy in the temporary directory is what removes the program file at
// the end of the run: a running program cannot delete its own file.
void MakeTempCopy(const char* line, RunFiles* files)
{
    files->tempCopyMade = 0;
    files->tempCopyPath[0] = 0;
    if (SuppressesTempCopy(line))
        return;
    // A dry run leaves nothing behind, and a refused command line does no work.
    RunOptions early = ParseOptions(line);
    if (early.dryRun || early.journalRefused)
        return;
    char directory[256];
    char name[MAX_PATH];
    GetTempPathA(sizeof directory, directory);
    directory[sizeof directory - 1] = 0;
    // A nonzero number only forms the name, the same one for every run.
    name[0] = 0;
    GetTempFileNameA(directory, "KTR", 0x1A2B, name);
    char* copyPath = files->tempCopyPath;
    CopyText(copyPath, name, sizeof files->tempCopyPath);
    ReplaceLastThree(copyPath, "EXE");
    char self[256];
    GetModuleFileNameA(nullptr, self, sizeof self);
    self[sizeof self - 1] = 0;
    if (copyPath[0] && CopyFileA(self, copyPath, FALSE))
        ScheduleDeleteAtRestart(copyPath);
    files->tempCopyMade = 1;
}

void LoadBanner(HINSTANCE instance)
{
    BannerBitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_BANNER));
}

RunOptions ReadCommandLine(const char* line, int32_t lineCut)
{
    RunOptions options = ParseOptions(line);
    options.lineCut = lineCut;
    // A journal path that ran to the end of a cut line was cut with it.
    if (lineCut && options.journalPath[0] && !options.rest[0]) {
        options.journalPath[0] = 0;
        options.journalRefused = 1;
    }
    SplitLogArgument(options.rest, options.cleanupStage, &options.log);
    return options;
}

static int32_t ClampToInt32(int64_t value)
{
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return (int32_t)value;
}

void ReadColourSettings()
{
    static const char* const startKeys[3] = {"Start Red", "Start Green", "Start Blue"};
    static const char* const endKeys[3] = {"End Red", "End Green", "End Blue"};
    static const int32_t startDefaults[3] = {0, 0, 255};
    for (int i = 0; i < 3; i++) {
        int32_t start = (int32_t)GetPrivateProfileIntA("Settings", startKeys[i], startDefaults[i],
                                                       SettingsIniPath);
        int32_t end = (int32_t)GetPrivateProfileIntA("Settings", endKeys[i], 0, SettingsIniPath);
        GradientStart[i] = start;
        GradientDelta[i] = ClampToInt32((int64_t)end - start);
    }
    NoBackground = (int32_t)GetPrivateProfileIntA("Settings", "No Background", 1, SettingsIniPath);
}

void ReadStartupTexts(HINSTANCE instance)
{
    GetMessageText(instance, IDS_CAPTION, TitleText, sizeof TitleText);
    GetMessageText(instance, IDS_CONFIRM_CANCEL, CancelQuestionText, sizeof CancelQuestionText);
}

void ReadProgramFilesDir()
{
    ProgramFilesDir[0] = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return;
    DWORD size = sizeof ProgramFilesDir;
    DWORD type = 0;
    if (RegQueryValueExA(key, "ProgramFilesDir", nullptr, &type, (BYTE*)ProgramFilesDir, &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        ProgramFilesDir[0] = 0;
    } else {
        // Registry text need not be terminated.
        ProgramFilesDir[size < sizeof ProgramFilesDir ? size : sizeof ProgramFilesDir - 1] = 0;
        if (EndsWithBackslash(ProgramFilesDir))
            ProgramFilesDir[lstrlenA(ProgramFilesDir) - 1] = 0;
    }
    RegCloseKey(key);
}

int32_t ChooseLogFile(char* logPath)
{
    DestroyStartupWindow();
    char filter[128];
    GetMessageText(AppInstance, IDS_LOG_FILE_TYPE, filter, 100);
    // description, terminator, pattern, two terminators
    int32_t at = lstrlenA(filter) + 1;
    lstrcpyA(filter + at, "install.log");
    at += lstrlenA("install.log") + 1;
    filter[at] = 0;
    char chosen[256] = "INSTALL.LOG";
    OPENFILENAMEA dialog = {};
    // The layout without the Windows 2000 additions, as the 95 family knows it.
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    dialog.hwndOwner = MainWindow;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = chosen;
    dialog.nMaxFile = sizeof chosen;
    dialog.Flags = OFN_FILEMUSTEXIST;
    logPath[0] = 0;
    if (GetOpenFileNameA(&dialog)) {
        CopyText(logPath, chosen, LogPathSize);
        return 0;
    }
    // No extended error: the user closed the dialog; else it failed.
    return CommDlgExtendedError() == 0 ? 1 : 0;
}

int32_t FindLogPath(const RunOptions& options, char* logPath)
{
    int32_t cancelled = 0;
    if (options.log.path[0])
        CopyText(logPath, options.log.path, LogPathSize);
    else
        cancelled = ChooseLogFile(logPath);
    AnchorBareLogPath(logPath, LogPathSize);
    return cancelled;
}

void ReadRunTexts(HINSTANCE instance)
{
    GetMessageText(instance, IDS_CAPTION, CaptionText, sizeof CaptionText);
    GetMessageText(instance, IDS_RESTART_QUESTION, RestartText, sizeof RestartText);
}
