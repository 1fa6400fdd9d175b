// The message catalogue and the font and screen settings.
#pragma once
#include <windows.h>
#include <cstdint>

// Dialog font settings and the screen size, read once by ReadFontSettings.
extern char* TextFontFace; // null when the settings name no face
extern uint8_t FontCharSet;
extern uint8_t FontPointSize;
extern int32_t ScreenWidth;
extern int32_t ScreenHeight;

// Message number into buffer (size bytes): the settings file's "Language"
// key "Msg<number>" when present (with its escapes expanded), else the
// string table; empty when neither knows the number.
void GetMessageText(HINSTANCE instance, int32_t number, char* buffer, int32_t size);

// Reads "Text Font", "Font Character Set" and "Font Character Size" and
// measures the screen. Needs SettingsIniPath.
void ReadFontSettings();
