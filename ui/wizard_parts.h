// The pieces the wizard's units share: page set-up, selection pages, and the
// working view's painting.
#pragma once
#include <windows.h>
#include <cstdint>

// Shows and enables (on) or hides and disables (off) control id of the wizard.
void ShowControl(int32_t id, int32_t on);
// Selection pages 1 to 10: fill the list from the item flags, and write the
// rows' selection back into the flags.
void SetupSelectionPage(int32_t page);
void SaveSelectionPage(HWND window, int32_t page);

// Working view.
extern RECT ProgressBarInner;
extern int32_t AnimationFrame;
extern RECT AnimationRect;
void PaintAnimation(HWND window, HDC dc);
void PaintWorkBar(HDC dc);
void AdvanceAnimation(HWND window);
