#include "app/message_catalogue.h"
#include "app/message_text.h"
#include "app/system_facts.h"
#include "log/path_helpers.h"
#include "log/pool.h"

char* TextFontFace;
uint8_t FontCharSet;
uint8_t FontPointSize = 8;
int32_t ScreenWidth;
int32_t ScreenHeight;

void GetMessageText(HINSTANCE instance, int32_t number, char* buffer, int32_t size)
{
    if (!buffer || size <= 0)
        return;
    char key[16];
    wsprintfA(key, "Msg%d", (int)number);
    DWORD length = GetPrivateProfileStringA("Language", key, MissingMarker, buffer, (DWORD)size,
                                            SettingsIniPath);
    if (IsMissingSettingsText(buffer, (int32_t)length)) {
        buffer[0] = 0;
        // LoadStringA needs room for at least one character and the terminator.
        if (size > 1)
            LoadStringA(instance, (UINT)number, buffer, size);
        return;
    }
    ExpandSettingsText(buffer, size);
}

void ReadFontSettings()
{
    char face[256];
    GetPrivateProfileStringA("Settings", "Text Font", "", face, sizeof face, SettingsIniPath);
    if (face[0]) {
        TextFontFace = (char*)PoolAlloc(256);
        CopyText(TextFontFace, face, 256);
    }
    FontCharSet =
        (uint8_t)GetPrivateProfileIntA("Settings", "Font Character Set", 0, SettingsIniPath);
    FontPointSize =
        (uint8_t)GetPrivateProfileIntA("Settings", "Font Character Size", 8, SettingsIniPath);
    HDC screen = GetDC(nullptr);
    ScreenWidth = GetDeviceCaps(screen, HORZRES);
    ScreenHeight = GetDeviceCaps(screen, VERTRES);
    ReleaseDC(nullptr, screen);
}
