// The dialog procedures of the two questions (templates 104 and 107).
#pragma once
#include <windows.h>

INT_PTR CALLBACK SharedDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PromptDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
