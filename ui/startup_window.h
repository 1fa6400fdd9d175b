// The start-up window shown while the install log is read (template 112).
#pragma once
#include <windows.h>

INT_PTR CALLBACK ProgressDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
