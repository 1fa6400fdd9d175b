// The program's windows, shared by the run sequence, the progress display
// and the dialogs.
#pragma once
#include <windows.h>
#include <cstdint>

enum { WaitTimerId = 8298, AnimationTimerId = 25 };

extern HWND MainWindow;
extern HWND StartupWindow;
extern HWND WizardWindow;
// Set while PumpMessages waits for its timer tick; the background window's
// timer clears it.
extern volatile int32_t TimerWaiting;
