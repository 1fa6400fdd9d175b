// The start-up window shown while the install log is read (template 112).
#pragma once
#include <windows.h>

// The dialog parameter points to the run's value that its Cancel sets to 1
// (may be null).
INT_PTR CALLBACK ProgressDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
