#include "app/layout_math.h"
#include "app/main_window.h"
#include "app/message_catalogue.h"
#include "app/startup.h"
#include "log/path_helpers.h"
#include "ui/log_progress.h"
#include "ui/resources/resource.h"
#include "ui/startup_window.h"

static const COLORREF BarFillColour = 0x007F0000;

static void FillWithColour(HDC dc, const RECT* rect, COLORREF colour)
{
    SetBkColor(dc, colour);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE | ETO_CLIPPED, rect, "", 0, nullptr);
}

static void InitStartupWindow(HWND dialog)
{
    ScaleDialog(dialog);
    char text[256];
    GetMessageText(AppInstance, IDS_CAPTION, text, sizeof text);
    SetWindowTextA(dialog, text);
    GetMessageText(AppInstance, IDS_BUTTON_CANCEL, text, sizeof text);
    SetDlgItemTextA(dialog, IDCANCEL, text);

    char part[256];
    GetMessageText(AppInstance, IDS_STARTUP_BEFORE, text, sizeof text);
    AppendText(text, "Ketra Uninstall", sizeof text);
    GetMessageText(AppInstance, IDS_STARTUP_AFTER, part, sizeof part);
    AppendText(text, part, sizeof text);
    SetDlgItemTextA(dialog, IDC_STARTUP_TEXT, text);
    CentreDialog(dialog);
}

// Bytes of the log read against its size, in the place of the hidden frame.
static void PaintStartupBar(HWND dialog)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    HWND place = GetDlgItem(dialog, IDC_PROGRESS_BAR);
    if (place) {
        RECT bar;
        GetWindowRect(place, &bar);
        MapWindowPoints(nullptr, dialog, (POINT*)&bar, 2);
        InflateRect(&bar, -1, -1);
        int32_t fill = StartupBarFill(bar.right - bar.left, LogBytesRead, LogBytesTotal);
        RECT done = {bar.left, bar.top, bar.left + fill, bar.bottom};
        RECT rest = {bar.left + fill + 1, bar.top, bar.right, bar.bottom};
        FillWithColour(dc, &done, BarFillColour);
        FillWithColour(dc, &rest, BarBackColour);
        RECT edge = {bar.left - 1, bar.top - 1, bar.right + 1, bar.bottom + 1};
        DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT);
    }
    EndPaint(dialog, &paint);
}

INT_PTR CALLBACK ProgressDlg(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        // Where its Cancel is recorded: a value of the run that made it.
        SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)lParam);
        InitStartupWindow(dialog);
        break;
    case WM_PAINT:
        PaintStartupBar(dialog);
        break;
    case WM_COMMAND:
        // No question here: the log is only being read, nothing is changed yet.
        if (int32_t* cancelled = (int32_t*)GetWindowLongPtrA(dialog, DWLP_USER))
            *cancelled = 1;
        break;
    }
    return 0;
}
