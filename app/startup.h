// Start-up: the steps from the process entry to the reading of the log, the
// shared objects they make, and the closing steps every run ends with.
#pragma once
#include <windows.h>
#include <cstdint>

enum { ScratchBufferSize = 16384, LogPathSize = 256 };

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

struct RunOptions;
struct RunOutcome;

// The files start-up settles for the run: the temporary copy that removes
// the program file at the end, the log the run reads, and the user's stops
// on the way there.
struct RunFiles {
    int32_t tempCopyMade;
    char tempCopyPath[256];
    char logPath[LogPathSize];
    int32_t logChoiceCancelled; // no log was given and the user closed the open dialog
    int32_t startupCancelled;   // Cancel pressed in the start-up window while it was up
};

// The start-up steps, in the order WinMain calls them.
void DetectPlatform();
void ReadProgramPaths();
// Copies the process's command line into line (CommandLineSize bytes);
// returns 1 when it was longer than the copy keeps.
int32_t CopyCommandLine(const char* commandLine, char* line);
void UseDefaultLogIfPresent(char* line);
// Makes the temporary copy unless line starts with /Z; fills files' copy fields.
void MakeTempCopy(const char* line, RunFiles* files);
void LoadBanner(HINSTANCE instance);
// The options, the rest and the log argument of line (which the result
// points into); lineCut as CopyCommandLine returned it.
RunOptions ReadCommandLine(const char* line, int32_t lineCut);
void ReadColourSettings();
void ReadStartupTexts(HINSTANCE instance);
void ReadProgramFilesDir();
// The log the command line names, or the one the user chooses; a bare name
// is taken from the current directory. logPath holds LogPathSize bytes.
// Returns 1 when the user cancelled the choice, else 0.
int32_t FindLogPath(const RunOptions& options, char* logPath);
void ReadRunTexts(HINSTANCE instance);
// Asks for the log with the open-file dialog; logPath (LogPathSize bytes) is left
// empty when the user chooses none. Returns 1 when the user cancelled, 0
// when a log was chosen or the dialog could not be shown.
int32_t ChooseLogFile(char* logPath);

// Arranges that path is deleted at the next restart.
void ScheduleDeleteAtRestart(const char* path);
// The temporary copy's job: remove the program file that ran the uninstall
// (the two paths in options.rest).
int RunCleanupStage(const RunOptions& options);
// Destroys the start-up window and the MainWindow and serves the queue
// until the quit message that the MainWindow's end posts.
void DestroyWindowsAndDrain();
// The end of every run that got past window creation; returns the exit code.
int CloseRun(const RunOptions& options, const RunFiles& files, RunOutcome outcome);
// Writes the embedded restart program to the Windows directory; its path is left in path (260
// bytes).
void WriteRestartHelper(char* path);
// Starts the restart program written there.
void StartRestartHelper(const char* path);

// Hooks for the system tests: in the test build only, and there off unless
// the environment names them; the shipped program does nothing here.
// 1 when the run was held for a screenshot and ends here.
int32_t HoldForTest();
void TraceStartupForTest(const RunOptions& options, const RunFiles& files,
                         const RunOutcome& outcome);
