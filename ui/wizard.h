// The wizard dialog: mode choice, selection pages, roll-back question, final
// page, and afterwards the working view of the uninstall or repair.
#pragma once
#include <windows.h>

// Creates the modeless wizard (template 106) and stores it as WizardWindow.
HWND CreateWizardWindow(HWND owner);
INT_PTR CALLBACK ItemDlg(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
