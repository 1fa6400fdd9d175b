// Helpers of the Program Manager tests: a DDE client of their own, and the
// KPROGMAN stand-in started as a child process.
#pragma once
#include <windows.h>

#include <string>

// Wine's shell answers "PROGMAN" on every desktop of the interactive window
// station. Moves the process to a window station of its own and this thread
// to a desktop on it, where only the servers the tests start answer.
bool IsolateFromShell();
// The desktop the stand-in must be started on to be seen (after
// IsolateFromShell).
extern const char* const IsolatedDesktop;

// Whether a "PROGMAN" DDE server answers on this thread's desktop now.
bool ProgmanAnswers();
// Sends command over a conversation of the helpers' own; true when it was
// acknowledged.
bool SendOwnCommand(const char* command);
// Requests item over a conversation of the helpers' own; the text, or
// "(none)" when no data came back.
std::string RequestOwn(const char* item);

// A folder of its own under the temporary folder, ending with a backslash.
std::string NewWorkFolder(const char* stem);
std::string ReadTextFile(const std::string& path);
bool WriteTextFile(const std::string& path, const std::string& text);
// Runs command line as a child process; false when it cannot be started.
bool StartChild(const std::string& commandLine, PROCESS_INFORMATION* process,
                const char* desktop = nullptr);

class StandIn
{
  public:
    ~StandIn() { Stop(); }
    // Writes the groups file (G/I lines), starts KPROGMAN.EXE and waits until
    // its DDE service answers.
    bool Start(const std::string& groups);
    // Tells the stand-in to write its groups and end, and waits for it.
    // The process handle ends it only when it does not end on its own.
    bool Stop();
    // Its final groups, LF line ends.
    std::string Final() const;
    // The commands it received, one "text ok|fail" a line.
    std::string Executed() const;
    // The items it was asked for, separated by single spaces.
    std::string Requested() const;

  private:
    std::string Records(const char* kind, const char* join, bool withResult) const;
    std::string folder;
    PROCESS_INFORMATION process = {};
};
