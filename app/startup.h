// Start-up: the steps from the process entry to the reading of the log, the
// shared objects they make, and the closing steps every run ends with.
#pragma once
#include <windows.h>
#include <cstdint>

enum { ScratchBufferSize = 16384 };

// Shared objects made at start-up and kept for the whole run.
extern HBRUSH HollowBrush;
extern HBITMAP BannerBitmap;
extern char* ScratchBuffer;
extern COLORREF BarBackColour;
extern char TitleText[256];
extern char CancelQuestionText[256];
extern char CaptionText[256];
extern char RestartText[512];
extern HMODULE Shell32Module;
typedef void(WINAPI* ShChangeNotifyFunc)(LONG event, UINT flags, LPCVOID item1, LPCVOID item2);
extern ShChangeNotifyFunc ShChangeNotifyProc;

// The start-up steps, in the order WinMain calls them.
void DetectPlatform();
void ReadProgramPaths();
void CopyCommandLine(const char* commandLine);
void UseDefaultLogIfPresent();
int32_t MakeTempCopy();
void LoadBanner(HINSTANCE instance);
void ReadCommandLine();
void ReadColourSettings();
void ReadStartupTexts(HINSTANCE instance);
void ReadProgramFilesDir();
// The rest of the command line after the options (the log path and title,
// or in the clean-up stage the two paths to remove).
const char* CommandLineRest();
// 1 when the command line was longer than the copy start-up keeps of it.
int32_t CommandLineWasCut();
// The log path the command line names (empty when none).
const char* CommandLineLogPath();
void FindLogPath();
void ReadRunTexts(HINSTANCE instance);
void ChooseLogFile();

// Arranges that path is deleted at the next restart.
void ScheduleDeleteAtRestart(const char* path);
// The temporary copy's job: remove the program file that ran the uninstall.
int RunCleanupStage();
// Destroys the start-up window and the MainWindow and serves the queue
// until the quit message that the MainWindow's end posts.
void DestroyWindowsAndDrain();
// The end of every run that got past window creation; returns the exit code.
int CloseRun(int32_t tempCopyMade);
// Writes the embedded restart program to the Windows directory; its path is left in path (260 bytes).
void WriteRestartHelper(char* path);
// Starts the restart program written there.
void StartRestartHelper(const char* path);

// Hooks for the system tests: in the test build only, and there off unless
// the environment names them; the shipped program does nothing here.
// 1 when the run was held for a screenshot and ends here.
int32_t HoldForTest();
void TraceStartupForTest();
