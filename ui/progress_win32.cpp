#include "ui/progress.h"

#include <windows.h>
#include <cstdio>

#include "ui/fit_path.h"
#include "ui/resources/resource.h"
#include "ui/windows_win32.h"

int32_t ProgressTotal;
int32_t ProgressDone;
int32_t WorkStarted;
char ProgressText[1024];
HWND WizardWindow;

// Without a background window (a test, or a run whose window failed) a
// thread timer stands in for it.
static void CALLBACK WaitTimerTick(HWND, UINT, UINT_PTR, DWORD)
{
    TimerWaiting = 0;
}

// Time spent waiting for timer ticks, for the benchmarks.
static LONGLONG WaitCounts;

double ProgressWaitSeconds()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart ? (double)WaitCounts / (double)frequency.QuadPart : 0.0;
}

void PumpMessages(uint32_t waitMs)
{
    UINT_PTR threadTimer = 0;
    LARGE_INTEGER started;
    QueryPerformanceCounter(&started);
    if (waitMs) {
        TimerWaiting = 1;
        if (MainWindow)
            SetTimer(MainWindow, WaitTimerId, waitMs, nullptr);
        else
            threadTimer = SetTimer(nullptr, 0, waitMs, WaitTimerTick);
    } else {
        TimerWaiting = 0;
    }
    for (;;) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        if (!TimerWaiting)
            break;
        // Nothing pending: sleep until the next message (the timer's tick is
        // one) instead of spinning on the processor for the whole wait.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, waitMs + 50, QS_ALLINPUT);
    }
    if (waitMs) {
        if (MainWindow)
            KillTimer(MainWindow, WaitTimerId);
        if (threadTimer)
            KillTimer(nullptr, threadTimer);
        LARGE_INTEGER ended;
        QueryPerformanceCounter(&ended);
        WaitCounts += ended.QuadPart - started.QuadPart;
    }
}

static void InvalidateControl(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    RECT r;
    if (!control || !GetWindowRect(control, &r))
        return;
    MapWindowPoints(nullptr, dialog, (POINT*)&r, 2);
    InvalidateRect(dialog, &r, FALSE);
}

void ShowProgress(const char* text, int32_t paced)
{
    if (WizardWindow && text) {
        char shown[1024];
        char current[1024];
        wsprintfA(shown, "\r\n\r\n%s", text);
        GetDlgItemTextA(WizardWindow, IDC_PROGRESS_TEXT, current, sizeof(current));
        if (lstrcmpA(shown, current) != 0)
            SetDlgItemTextA(WizardWindow, IDC_PROGRESS_TEXT, shown);
    }
    if (WizardWindow)
        InvalidateControl(WizardWindow, IDC_PROGRESS_BAR);
    PumpMessages(paced ? 1 : 0);
}

struct MeasureContext {
    HDC dc;
};

static int32_t MeasureWithDc(const char* text, int32_t len, void* context)
{
    SIZE size = {0, 0};
    GetTextExtentPoint32A(((MeasureContext*)context)->dc, text, len, &size);
    return size.cx;
}

static const char* NextAnsiChar(const char* p)
{
    return CharNextA(p);
}

void FitPathToControl(int32_t controlId, char* text)
{
    HWND control = WizardWindow ? GetDlgItem(WizardWindow, controlId) : nullptr;
    RECT r;
    if (!control || !GetWindowRect(control, &r))
        return;
    MeasureContext context;
    context.dc = GetDC(control);
    if (!context.dc)
        return;
    HFONT font = (HFONT)SendMessageA(control, WM_GETFONT, 0, 0);
    HGDIOBJ old = font ? SelectObject(context.dc, font) : nullptr;
    FitPathText(text, sizeof(ProgressText), r.right - r.left, MeasureWithDc, &context,
                NextAnsiChar);
    if (old)
        SelectObject(context.dc, old);
    ReleaseDC(control, context.dc);
}
