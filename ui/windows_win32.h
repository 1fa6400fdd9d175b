// The program's windows, shared by the run sequence, the progress display
// and the dialogs.
#pragma once
#include <windows.h>
#include <cstdint>

#include "app/main_window.h"

enum { AnimationTimerId = 25 };

// The wizard dialog, or null while there is none (silent runs).
extern HWND WizardWindow;
