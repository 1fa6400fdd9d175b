// What the question dialogs take from start-up: the message catalogue, the
// dialog scaling and the screen size (declared here until start-up lands).
#pragma once
#include <windows.h>
#include <cstdint>

extern HINSTANCE AppInstance;
extern int32_t ScreenWidth;
extern int32_t ScreenHeight;
void GetMessageText(HINSTANCE instance, int32_t number, char* buffer, int32_t size);
void ScaleDialog(HWND dialog);
