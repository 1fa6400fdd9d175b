// The wizard's dialog procedure. This first version serves the automatic
// runs: the final page, the working view with its bar, and Cancel.
#include "ui/wizard.h"

#include <initializer_list>

#include "app/main_window.h"
#include "app/message_catalogue.h"
#include "app/run_state.h"
#include "app/startup.h"
#include "log/reader.h"
#include "ui/progress.h"
#include "ui/resources/resource.h"
#include "ui/text_format.h"
#include "ui/windows_win32.h"

static RECT ProgressBarInner;

static void ShowControl(HWND window, int id, BOOL show)
{
    HWND control = GetDlgItem(window, id);
    if (!control)
        return;
    EnableWindow(control, show);
    ShowWindow(control, show ? SW_SHOWNORMAL : SW_HIDE);
}

static void SetMessageText(HWND window, int id, int number)
{
    char text[1024];
    GetMessageText(AppInstance, number, text, sizeof(text));
    SetDlgItemTextA(window, id, text);
}

static void SetFormattedText(HWND window, int id, int number)
{
    char format[1024];
    char text[1024];
    GetMessageText(AppInstance, number, format, sizeof(format));
    FormatWithText(text, sizeof(text), format, ProductTitle);
    SetDlgItemTextA(window, id, text);
}

static void SetupFinalPage(HWND window)
{
    bool repair = UninstallMode == ModeRepair;
    SetMessageText(window, IDOK, IDS_BUTTON_FINISH);
    for (int id : {IDC_ITEM_LIST, IDC_SELECT_ALL, IDC_SELECT_NONE, IDC_MODE_AUTOMATIC,
                   IDC_MODE_CUSTOM, IDC_MODE_REPAIR})
        ShowControl(window, id, FALSE);
    ShowControl(window, IDC_PAGE_TEXT2, TRUE);
    SetFormattedText(window, IDC_PAGE_TEXT, repair ? IDS_READY_REPAIR_TEXT : IDS_READY_UNINSTALL_TEXT);
    SetMessageText(window, IDC_PAGE_TEXT2, repair ? IDS_REPAIR_INSTRUCTIONS : IDS_UNINSTALL_INSTRUCTIONS);
    SetMessageText(window, IDC_HEADING, repair ? IDS_REPAIR_HEADING : IDS_UNINSTALL_HEADING);
    EnableWindow(GetDlgItem(window, IDC_BACK), !FinalPageOnly);
}

static void InitDialog(HWND window)
{
    char text[256];
    ScaleDialog(window);
    if (HeadingFont && GetDlgItem(window, IDC_HEADING))
        SendDlgItemMessageA(window, IDC_HEADING, WM_SETFONT, (WPARAM)HeadingFont, 0);
    SetMessageText(window, IDC_BACK, IDS_BUTTON_BACK);
    SetMessageText(window, IDCANCEL, IDS_BUTTON_CANCEL);
    SetMessageText(window, IDC_SELECT_ALL, IDS_BUTTON_SELECT_ALL);
    SetMessageText(window, IDC_SELECT_NONE, IDS_BUTTON_SELECT_NONE);
    GetWindowTextA(MainWindow, text, sizeof(text));
    SetWindowTextA(window, text);
    RECT r;
    GetWindowRect(window, &r);
    MoveWindow(window, (ScreenWidth - (r.right - r.left)) / 2,
               (ScreenHeight - (r.bottom - r.top)) / 2, r.right - r.left, r.bottom - r.top, FALSE);
    WizardWindow = window;
    if (WizardPage == PageFinal && AutoMode) {
        ShowWindow(GetDlgItem(window, IDOK), SW_HIDE);
        ShowWindow(GetDlgItem(window, IDC_BACK), SW_HIDE);
    }
    WizardPage = PageFinal;
    SetupFinalPage(window);
    HWND bar = GetDlgItem(window, IDC_PROGRESS_BAR);
    if (bar) {
        ShowWindow(bar, SW_HIDE);
        GetWindowRect(bar, &r);
        MapWindowPoints(nullptr, window, (POINT*)&r, 2);
        SetRect(&ProgressBarInner, r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
    }
    ShowWindow(GetDlgItem(window, IDC_BUTTON_LINE), SW_HIDE);
    ShowWindow(GetDlgItem(window, IDC_BANNER_LINE), SW_HIDE);
}

static void FillBlock(HDC dc, int left, int top, int right, int bottom)
{
    RECT r = {left, top, right, bottom};
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE | ETO_CLIPPED, &r, "", 0, nullptr);
}

static void PaintBar(HDC dc)
{
    int x1 = ProgressBarInner.left, y1 = ProgressBarInner.top;
    int x2 = ProgressBarInner.right, y2 = ProgressBarInner.bottom;
    int g = (int)(((unsigned)(uint16_t)(y2 - y1) * 2) / 3);
    int total = ProgressTotal > 0 ? ProgressTotal : 1;
    int done = ProgressDone < total ? ProgressDone : total;
    int f = (uint16_t)(((int64_t)(uint16_t)(x2 - x1) * done) / total);
    SetBkColor(dc, RGB(0, 0, 127));
    for (int x = x1, drawn = 0; drawn < f && g > 0; x += g, drawn += g)
        FillBlock(dc, x, y1 + 1, x + g - 3, y2 - 1);
    HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOW));
    HGDIOBJ old = SelectObject(dc, shadow);
    RECT f2 = {x1 - 1, y1 - 1, x2 + 1, y2 + 1};
    MoveToEx(dc, f2.left, f2.bottom - 1, nullptr);
    LineTo(dc, f2.left, f2.top);
    LineTo(dc, f2.right - 1, f2.top);
    SelectObject(dc, light);
    LineTo(dc, f2.right - 1, f2.bottom - 1);
    LineTo(dc, f2.left - 1, f2.bottom - 1);
    SelectObject(dc, old);
    DeleteObject(shadow);
    DeleteObject(light);
}

static void AskCancel(HWND window)
{
    if (MessageBoxA(window, CancelQuestionText, TitleText, MB_YESNO) == IDYES) {
        Cancelled = 1;
        EndDialog(window, IDCANCEL);
    }
}

INT_PTR CALLBACK ItemDlg(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitDialog(window);
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        if (WorkStarted)
            PaintBar(dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_COMMAND:
        if (wParam == IDOK && WizardPage == PageFinal)
            WizardDone = 1;
        if (wParam == IDCANCEL) {
            AskCancel(window);
            return 1;
        }
        return 0;
    }
    return 0;
}

HWND CreateWizardWindow(HWND owner)
{
    return CreateDialogParamA(AppInstance, MAKEINTRESOURCEA(IDD_WIZARD), owner, ItemDlg, 0);
}

void BeginWorkView(int32_t messageNumber)
{
    if (WizardWindow) {
        ShowControl(WizardWindow, IDC_PAGE_TEXT, FALSE);
        ShowControl(WizardWindow, IDC_PAGE_TEXT2, FALSE);
        ShowControl(WizardWindow, IDC_STATUS_TEXT, TRUE);
        ShowControl(WizardWindow, IDC_PROGRESS_TEXT, TRUE);
        char format[256];
        char text[512];
        GetMessageText(AppInstance, messageNumber, format, sizeof(format));
        FormatWithText(text, sizeof(text), format, ProductTitle);
        SetDlgItemTextA(WizardWindow, IDC_STATUS_TEXT, text);
        EnableWindow(GetDlgItem(WizardWindow, IDOK), FALSE);
        EnableWindow(GetDlgItem(WizardWindow, IDC_BACK), FALSE);
    }
    ShowProgress(nullptr);
    WorkStarted = 1;
}
