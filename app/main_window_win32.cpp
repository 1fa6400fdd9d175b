#include "app/main_window.h"
#include "app/command_line.h"
#include "app/system_facts.h"
#include "ui/resources/resource.h"
#include "ui/startup_window.h"

HWND MainWindow;
HWND StartupWindow;
HINSTANCE AppInstance;

static const char MainClassName[] = "KTRSUninstall";

BOOL RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.style = 0;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PROGRAM));
    windowClass.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    windowClass.lpszClassName = MainClassName;
    return RegisterClassA(&windowClass) != 0;
}

BOOL CreateMainWindows(HINSTANCE instance, const RunOptions& options, int32_t* startupCancelled)
{
    AppInstance = instance;
    // Silent, clean-up and shortcut runs never show a window.
    int32_t quiet = options.silent || options.cleanupStage || options.shortcutNumber;
    if (!quiet) {
        StartupWindow = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_STARTUP), nullptr,
                                           ProgressDlg, (LPARAM)startupCancelled);
        if (StartupWindow)
            ShowWindow(StartupWindow, SW_SHOW);
    }
    HWND window = CreateWindowExA(0, MainClassName, " ", 0x00CD0000, 0, 0, 640, 480, nullptr,
                                  nullptr, instance, nullptr);
    if (!window)
        return FALSE;
    MainWindow = window;
    if (options.log.hasTitle)
        SetWindowTextA(MainWindow, options.log.title);
    if (!quiet && !NoBackground) {
        ShowWindow(MainWindow, SW_SHOWMAXIMIZED);
        // Shown last, the backdrop would cover the start-up window.
        if (StartupWindow)
            SetWindowPos(StartupWindow, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    UpdateWindow(MainWindow);
    return TRUE;
}

void DestroyStartupWindow()
{
    if (StartupWindow)
        DestroyWindow(StartupWindow);
    StartupWindow = nullptr;
}
