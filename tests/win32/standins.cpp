// Stand-ins for start-up pieces that this test program links against before
// they exist on this branch: the windows, the message catalogue, the dialog
// scaling and the path conversion. Remove each one as the real one lands.
#include <windows.h>
#include <cstdint>
#include <cstdio>

#include "engine/engine_env.h"

HWND MainWindow;
HWND StartupWindow;
HWND WizardWindow;
volatile int32_t TimerWaiting;
HINSTANCE AppInstance = GetModuleHandleA(nullptr);
int32_t ScreenWidth = GetSystemMetrics(SM_CXSCREEN);
int32_t ScreenHeight = GetSystemMetrics(SM_CYSCREEN);

// The string table when it is linked in, else a text that names the
// message, so a test can still tell two messages apart.
void GetMessageText(HINSTANCE instance, int32_t number, char* buffer, int32_t size)
{
    if (LoadStringA(instance, (UINT)number, buffer, size) > 0)
        return;
    snprintf(buffer, (size_t)size, "Msg%d", (int)number);
}

void ScaleDialog(HWND) {}

void ConvertPathNames(char* path, int mode)
{
    char converted[MAX_PATH];
    DWORD n = mode == ToShort ? GetShortPathNameA(path, converted, sizeof(converted))
                              : GetLongPathNameA(path, converted, sizeof(converted));
    if (n > 0 && n < sizeof(converted))
        lstrcpyA(path, converted);
}

void NotifyShellPath(long, const char*) {}
