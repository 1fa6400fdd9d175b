// How the engine reports to the windows: its steps, the ticks of the bar and
// the questions it asks in the middle of its work. The windows implement it
// (ui/engine_reporter_win32.cpp); the engine includes nothing of theirs.
#pragma once
#include <cstdint>

enum { ReportTextSize = 1024 };

struct EngineReporter {
    // Turns the wizard into its working view with catalogue message number.
    void (*beginWork)(int32_t messageNumber);
    // The working view is up (set by this run or an earlier stage).
    bool (*working)();
    // The bar stands for total ticks (at least 1) and starts empty.
    void (*startTicks)(int32_t total);
    // One entry visited.
    void (*tick)();
    // Shows a step's text (null: the bar only) and serves the windows.
    void (*step)(const char* text);
    // Shortens the path part of text (ReportTextSize bytes) in place so that
    // it fits the step line.
    void (*fitPath)(char* text);
    // Serves every pending message; with waitMs not 0 also waits one tick of
    // that period.
    void (*wait)(uint32_t waitMs);
    // The shared-file question for path: 1 to remove the file, 0 to keep it.
    int32_t (*askSharedFile)(const char* path);
    // The database server still runs: the Abort, Retry or Ignore answer
    // (IDABORT, IDRETRY, IDIGNORE).
    int32_t (*askServerRunning)();
    // The user has asked to stop: the work ends at the next entry.
    bool (*cancelled)();
};

// The windows' reporter; a test may put its own in place.
extern const EngineReporter* Reporter;
