// The wizard dialog: mode choice, selection pages, roll-back question, final
// page, and afterwards the working view of the uninstall or repair.
#pragma once
#include <windows.h>
#include <cstdint>

// One wizard's run: what it is given and what it hands back. Its owner keeps
// it for the wizard's whole life; the dialog reaches it through its window
// data, so no other wizard sees it.
struct WizardRun {
    // Given.
    int32_t automatic;         // runs by itself: the final page has no Next or Back
    int32_t finalPageOnly;     // opens on the final page, with no way back
    int32_t shortcutNumber;    // started by a shortcut (/W<n>), 0 otherwise
    int32_t repairSourceKnown; // the log names an installer that can repair
    // Preset by the owner, then changed by the user.
    int32_t mode;     // ModeAutomatic, ModeCustom, ModeRepair; 0 before any choice
    int32_t rollback; // roll back the latest installation only
    uint8_t page;     // 0 the mode page, 1 to 10 selection, PageRollback, PageFinal
    // Handed back.
    int32_t done;      // Finish pressed
    int32_t cancelled; // Cancel confirmed
};

// Creates the modeless wizard (template 106) on run, stores it as
// WizardWindow and returns it; null when it cannot be made or run is null.
HWND CreateWizardWindow(HWND owner, WizardRun* run);
// The run a wizard window was created on (null for a null window).
WizardRun* WizardRunOf(HWND wizard);
INT_PTR CALLBACK ItemDlg(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
