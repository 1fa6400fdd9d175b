// Helpers of the engine's Win32 tests: a scratch folder in the prefix, the
// probe programs, registry set-up, and a helper thread that answers the
// modal windows the code under test opens on the test's own thread.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>

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
