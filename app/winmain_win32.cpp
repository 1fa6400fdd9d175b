// Entry point. Start-up is filled in step by step; for now the program only
// ends cleanly.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    return 0;
}
