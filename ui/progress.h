// Progress display: the one protocol by which the drivers report each step,
// keep the windows served and see a Cancel between items.
#pragma once
#include <cstdint>

extern int32_t ProgressTotal;
extern int32_t ProgressDone;
extern int32_t WorkStarted;
extern char ProgressText[1024];

// Reports a step (text may be null): sets the wizard's progress text when it
// changed, repaints the bar, then serves the windows. paced: waits one tick
// too, so that each step can be seen; a silent run shows nothing and only
// serves what is pending, so that a message sent to it is still answered.
void ShowProgress(const char* text, int32_t paced);
// Serves every pending message; with waitMs not 0 also waits for one tick of
// the background window's timer of that period.
void PumpMessages(uint32_t waitMs);
// Seconds spent so far waiting in PumpMessages for timer ticks.
double ProgressWaitSeconds();
// Shortens the path part of text in place so that it fits the width of the
// wizard control with the given id (no wizard: text unchanged).
void FitPathToControl(int32_t controlId, char* text);
// Turns the wizard into its working view with message messageNumber; paced
// as ShowProgress.
void BeginWorkView(int32_t messageNumber, int32_t paced);

struct EngineReporter;
// The windows' reporter for a run: a silent run's steps are not paced.
const EngineReporter* WindowsReporterFor(int32_t silent);
