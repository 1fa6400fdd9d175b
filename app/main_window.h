// The background window (MainWindow), the start-up window and the timer
// that serves timed waits.
#pragma once
#include <windows.h>
#include <cstdint>

enum { WaitTimerId = 8298 };

extern HWND MainWindow;
extern HWND StartupWindow;
extern HINSTANCE AppInstance;
// Cleared by the MainWindow's WM_TIMER; a timed wait polls until then.
extern volatile int32_t TimerWaiting;

// Gradient of the background: start values and deltas (end minus start).
extern int32_t GradientStart[3];
extern int32_t GradientDelta[3];

struct RunOptions;

BOOL RegisterMainWindowClass(HINSTANCE instance);
// Creates the start-up window (when options want one) and the MainWindow,
// with the command line's title; false when the MainWindow cannot be made.
// The start-up window's Cancel sets *startupCancelled to 1.
BOOL CreateMainWindows(HINSTANCE instance, const RunOptions& options, int32_t* startupCancelled);
void DestroyStartupWindow();
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Widens a dialog and its controls and gives them the common dialog font.
void ScaleDialog(HWND dialog);
// Moves a dialog to the middle of the screen without repainting it (it is
// not shown yet when its procedure does this).
void CentreDialog(HWND dialog);
extern HFONT DialogFont;
extern HFONT HeadingFont;
