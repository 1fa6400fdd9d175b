// Helpers of the Windows tests: scratch folders, files and keys in the
// prefix, the probe programs, a run reset to its start, the program's
// windows closed again, and a helper thread that answers the modal windows
// the code under test opens on the test's own thread.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>

#include "engine/uninstall.h"

#include <functional>
#include <string>
#include <thread>

// A fresh folder under the prefix's temporary folder, named after the test.
std::string ScratchFolder();
// Full Windows path of a probe built in tools/engine_probes.
std::string ProbePath(const char* file);
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// Reads HKCU\Software\KetraProbes\<probeFile> value name ("" when absent).
std::string ProbeRecord(const std::string& probeFile, const char* name);

// Runs on a second thread: waits (up to 10 s) for a top-level window of
// the given class on thread owner, then hands it to act. found() says
// whether it came.
class WindowAnswerer
{
  public:
    WindowAnswerer(const char* windowClass, std::function<void(HWND)> act);
    ~WindowAnswerer();
    bool found() const { return window_ != nullptr; }
    std::string title() const { return title_; }

  private:
    std::thread thread_;
    HWND window_ = nullptr;
    std::string title_;
};

// Presses a dialog button as a click does.
void ClickButton(HWND dialog, int id);
// Sends a key to the dialog's focused control, as typing it does.
void PressKey(HWND dialog, WPARAM key);

// A fresh, empty folder C:\ktrtest\<name> (removed first if it exists).
std::string ScratchFolder(const char* name);
// Writes text to path (creating it); returns false on failure.
bool WriteFileText(const std::string& path, const std::string& text);
// The whole file, or "<missing>" when it cannot be read.
std::string ReadFileText(const std::string& path);
bool PathExists(const std::string& path);
// Removes a folder with everything in it (test clean-up only).
void RemoveTree(const std::string& path);
// The values of PendingFileRenameOperations, in order (empty when none).
std::string PendingRenames();
// Clears PendingFileRenameOperations so a test sees only its own entries.
void ClearPendingRenames();
// The flags the file operations read and set, as a run on the NT family
// that may leave files in use to the restart starts them; no pending renames.
void ResetFileFlags();
// What the driver is asked in a silent automatic uninstall.
UninstallRequest SilentAutomaticRequest();
// Short (8.3) form of an existing path.
std::string ShortPath(const std::string& path);

// Full Windows path of a file that the build put in <build>\tools\<folder>.
std::string BuildToolPath(const char* folder, const char* file);
// Puts the run back to its start: pool, run state, log values, item lists
// and line buffer, as before any log was read.
void ResetRun();
// ResetRun, then a silent automatic run on the NT platform, with this test
// program as the module.
void StartSilentAutomaticRun();
// Destroys the start-up window and the MainWindow and serves the queue
// until the quit message.
void CloseRunWindows();
