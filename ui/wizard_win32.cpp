// The wizard's dialog procedure: mode choice, selection pages, roll-back
// question and final page; afterwards the working view of the run.
#include "ui/wizard.h"

#include <initializer_list>

#include "app/main_window.h"
#include "app/message_catalogue.h"
#include "app/startup.h"
#include "engine/uninstall.h"
#include "log/reader.h"
#include "ui/page_rows.h"
#include "ui/progress.h"
#include "ui/resources/resource.h"
#include "ui/text_format.h"
#include "ui/windows_win32.h"
#include "ui/wizard_pages.h"
#include "ui/wizard_parts.h"

enum { AnimationPeriodMs = 150 };

static int32_t AnimationTimerStarted;

static void SetMessageText(HWND window, int id, int32_t number)
{
    char text[1024];
    GetMessageText(AppInstance, number, text, sizeof(text));
    SetDlgItemTextA(window, id, text);
}

static void SetTitledText(HWND window, int id, int32_t number)
{
    char format[1024];
    char text[1024];
    GetMessageText(AppInstance, number, format, sizeof(format));
    FormatWithText(text, sizeof(text), format, ProductTitle);
    SetDlgItemTextA(window, id, text);
}

static void SetCheck(HWND window, int id, int32_t on)
{
    SendDlgItemMessageA(window, id, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

static void SetupModePage(HWND window, const WizardRun* run)
{
    ShowControl(IDC_ITEM_LIST, 0);
    ShowControl(IDC_SELECT_ALL, 0);
    ShowControl(IDC_SELECT_NONE, 0);
    ShowControl(IDC_MODE_AUTOMATIC, 1);
    ShowControl(IDC_MODE_CUSTOM, 1);
    ShowControl(IDC_PAGE_TEXT2, 1);
    SetMessageText(window, IDC_MODE_AUTOMATIC, IDS_BUTTON_AUTOMATIC);
    SetMessageText(window, IDC_MODE_CUSTOM, IDS_BUTTON_CUSTOM);
    // Automatic is the choice until the user makes another.
    SetCheck(window, IDC_MODE_AUTOMATIC, run->mode == ModeAutomatic || run->mode == 0);
    SetCheck(window, IDC_MODE_CUSTOM, run->mode == ModeCustom);
    SetCheck(window, IDC_MODE_REPAIR, run->mode == ModeRepair);
    SetTitledText(window, IDC_PAGE_TEXT, IDS_WELCOME_TEXT);
    SetMessageText(window, IDC_PAGE_TEXT2, IDS_MODE_TEXT);
    SetMessageText(window, IDC_HEADING, IDS_MODE_HEADING);
    EnableWindow(GetDlgItem(window, IDC_BACK), FALSE);
    if (run->repairSourceKnown) {
        SetMessageText(window, IDC_MODE_REPAIR, IDS_BUTTON_REPAIR);
        ShowControl(IDC_MODE_REPAIR, 1);
    } else {
        ShowControl(IDC_MODE_REPAIR, 0);
    }
}

static void SetupRollbackPage(HWND window, const WizardRun* run)
{
    ShowControl(IDC_ITEM_LIST, 0);
    ShowControl(IDC_SELECT_ALL, 0);
    ShowControl(IDC_SELECT_NONE, 0);
    ShowControl(IDC_MODE_AUTOMATIC, 1);
    ShowControl(IDC_MODE_CUSTOM, 1);
    ShowControl(IDC_PAGE_TEXT2, 1);
    ShowControl(IDC_MODE_REPAIR, 0);
    SetMessageText(window, IDC_MODE_AUTOMATIC, IDS_BUTTON_YES);
    SetMessageText(window, IDC_MODE_CUSTOM, IDS_BUTTON_NO);
    SetCheck(window, IDC_MODE_AUTOMATIC, run->rollback && !run->shortcutNumber);
    SetCheck(window, IDC_MODE_CUSTOM, !run->rollback && !run->shortcutNumber);
    SetCheck(window, IDC_MODE_REPAIR, run->shortcutNumber != 0);
    SetMessageText(window, IDC_PAGE_TEXT, IDS_ROLLBACK_TEXT);
    SetMessageText(window, IDC_PAGE_TEXT2, IDS_ROLLBACK_QUESTION);
    SetMessageText(window, IDC_HEADING, IDS_ROLLBACK_HEADING);
    EnableWindow(GetDlgItem(window, IDC_BACK), TRUE);
}

static void SetupFinalPage(HWND window, const WizardRun* run)
{
    for (int id : {IDC_ITEM_LIST, IDC_SELECT_ALL, IDC_SELECT_NONE, IDC_MODE_AUTOMATIC,
                   IDC_MODE_CUSTOM, IDC_MODE_REPAIR})
        ShowControl(id, 0);
    ShowControl(IDC_PAGE_TEXT2, 1);
    bool repair = run->mode == ModeRepair;
    SetTitledText(window, IDC_PAGE_TEXT, repair ? IDS_READY_REPAIR_TEXT : IDS_READY_UNINSTALL_TEXT);
    SetMessageText(window, IDC_PAGE_TEXT2,
                   repair ? IDS_REPAIR_INSTRUCTIONS : IDS_UNINSTALL_INSTRUCTIONS);
    SetMessageText(window, IDC_HEADING, repair ? IDS_REPAIR_HEADING : IDS_UNINSTALL_HEADING);
    EnableWindow(GetDlgItem(window, IDC_BACK), !run->finalPageOnly);
}

// Shows the controls and texts of the run's page.
static void SetupPage(HWND window, const WizardRun* run)
{
    uint8_t page = run->page;
    SetMessageText(window, IDC_NEXT, page == PageFinal ? IDS_BUTTON_FINISH : IDS_BUTTON_NEXT);
    if (page == 0)
        SetupModePage(window, run);
    else if (page == PageFinal)
        SetupFinalPage(window, run);
    else if (page == PageRollback)
        SetupRollbackPage(window, run);
    else
        SetupSelectionPage(page);
    SetFocus(GetDlgItem(window, IDC_NEXT));
    // The heading is drawn transparently: the banner behind it must be
    // painted again before the new text goes over it.
    HWND heading = GetDlgItem(window, IDC_HEADING);
    RECT r;
    if (heading && GetWindowRect(heading, &r)) {
        MapWindowPoints(nullptr, window, (POINT*)&r, 2);
        InvalidateRect(window, &r, FALSE);
    }
}

static int32_t IsChecked(HWND window, int id)
{
    return SendDlgItemMessageA(window, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Stores what the user chose on the page being left.
static void SaveSelections(HWND window, WizardRun* run)
{
    uint8_t page = run->page;
    if (page == 0) {
        if (IsChecked(window, IDC_MODE_AUTOMATIC))
            run->mode = ModeAutomatic;
        else if (IsChecked(window, IDC_MODE_REPAIR))
            run->mode = ModeRepair;
        else
            run->mode = ModeCustom;
    } else if (page == PageRollback) {
        run->rollback = IsChecked(window, IDC_MODE_AUTOMATIC) ? 1 : 0;
    } else if (page >= FirstSelectionPage && page <= LastSelectionPage) {
        SaveSelectionPage(window, page);
    }
}

static void InitDialog(HWND window, const WizardRun* run)
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
    CentreDialog(window);
    WizardWindow = window;
    if (run->page == PageFinal && run->automatic) {
        ShowWindow(GetDlgItem(window, IDC_NEXT), SW_HIDE);
        ShowWindow(GetDlgItem(window, IDC_BACK), SW_HIDE);
    }
    SetupPage(window, run);
    HWND bar = GetDlgItem(window, IDC_PROGRESS_BAR);
    if (bar) {
        ShowWindow(bar, SW_HIDE);
        RECT r;
        GetWindowRect(bar, &r);
        MapWindowPoints(nullptr, window, (POINT*)&r, 2);
        SetRect(&ProgressBarInner, r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
    }
    ShowWindow(GetDlgItem(window, IDC_BUTTON_LINE), SW_HIDE);
    ShowWindow(GetDlgItem(window, IDC_BANNER_LINE), SW_HIDE);
}

// An etched line along the top edge of a hidden separator control.
static void DrawEtchedLine(HWND window, HDC dc, HWND control)
{
    RECT r;
    if (!control || !GetWindowRect(control, &r))
        return;
    POINT ends[2] = {{r.left + 1, r.top + 1}, {r.right + 1, r.top + 1}};
    MapWindowPoints(nullptr, window, ends, 2);
    HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    HGDIOBJ old = SelectObject(dc, shadow);
    MoveToEx(dc, ends[0].x, ends[0].y, nullptr);
    LineTo(dc, ends[1].x, ends[1].y);
    HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOW));
    SelectObject(dc, light);
    MoveToEx(dc, ends[0].x, ends[0].y + 1, nullptr);
    LineTo(dc, ends[1].x, ends[1].y + 1);
    SelectObject(dc, old);
    DeleteObject(shadow);
    DeleteObject(light);
}

// The banner fills the client area from the top-left corner to the right
// edge and down to the separator under it.
static void PaintBanner(HWND window, HDC dc)
{
    HWND line = GetDlgItem(window, IDC_BANNER_LINE);
    RECT frame, lineRect;
    if (!line || !BannerBitmap || !GetWindowRect(window, &frame) || !GetWindowRect(line, &lineRect))
        return;
    POINT corner = {frame.right, lineRect.top};
    MapWindowPoints(nullptr, window, &corner, 1);
    HDC memory = CreateCompatibleDC(dc);
    if (!memory)
        return;
    HGDIOBJ old = SelectObject(memory, BannerBitmap);
    int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, 0, 0, corner.x, corner.y, memory, 0, 0, BANNER_WIDTH, BANNER_HEIGHT, SRCCOPY);
    SetStretchBltMode(dc, oldMode);
    SelectObject(memory, old);
    DeleteDC(memory);
}

static void Paint(HWND window)
{
    if (!AnimationTimerStarted) {
        AnimationTimerStarted = 1;
        SetTimer(window, AnimationTimerId, AnimationPeriodMs, nullptr);
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    PaintBanner(window, dc);
    DrawEtchedLine(window, dc, GetDlgItem(window, IDC_BUTTON_LINE));
    DrawEtchedLine(window, dc, GetDlgItem(window, IDC_BANNER_LINE));
    if (WorkStarted) {
        PaintAnimation(window, dc);
        PaintWorkBar(dc);
    }
    EndPaint(window, &paint);
}

static void AskCancel(HWND window, WizardRun* run)
{
    if (WorkStarted)
        KillTimer(window, AnimationTimerId);
    if (MessageBoxA(window, CancelQuestionText, TitleText, MB_YESNO) == IDYES) {
        run->cancelled = 1;
        EndDialog(window, IDCANCEL);
    }
    if (WorkStarted)
        SetTimer(window, AnimationTimerId, AnimationPeriodMs, nullptr);
}

static INT_PTR Command(HWND window, WizardRun* run, WPARAM wParam)
{
    // The whole wParam is compared: only a click (notification 0) counts.
    switch (wParam) {
    case IDC_NEXT:
        if (run->page == PageFinal) {
            run->done = 1;
            return 0;
        }
        SaveSelections(window, run);
        run->page = NextPage(run->page, run->mode, 1);
        SetupPage(window, run);
        return 0;
    case IDC_BACK:
        SaveSelections(window, run);
        run->page = NextPage(run->page, run->mode, 0);
        SetupPage(window, run);
        return 0;
    case IDCANCEL:
        AskCancel(window, run);
        return 1;
    case IDC_SELECT_ALL:
        SendDlgItemMessageA(window, IDC_ITEM_LIST, LB_SETSEL, TRUE, -1);
        return 0;
    case IDC_SELECT_NONE:
        SendDlgItemMessageA(window, IDC_ITEM_LIST, LB_SETSEL, FALSE, -1);
        return 0;
    }
    return 0;
}

INT_PTR CALLBACK ItemDlg(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        // The run stays with the window: every later message reads it there.
        SetWindowLongPtrA(window, DWLP_USER, (LONG_PTR)lParam);
        InitDialog(window, (const WizardRun*)lParam);
        return 1;
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_COMMAND: {
        WizardRun* run = WizardRunOf(window);
        return run ? Command(window, run, wParam) : 0;
    }
    case WM_TIMER:
        if (wParam == AnimationTimerId)
            AdvanceAnimation(window);
        return 0;
    case WM_CTLCOLORSTATIC:
        if (GetDlgCtrlID((HWND)lParam) == IDC_HEADING) {
            SetBkMode((HDC)wParam, TRANSPARENT);
            return (INT_PTR)HollowBrush;
        }
        return 0;
    }
    return 0;
}

HWND CreateWizardWindow(HWND owner, WizardRun* run)
{
    if (!run)
        return nullptr;
    return CreateDialogParamA(AppInstance, MAKEINTRESOURCEA(IDD_WIZARD), owner, ItemDlg,
                              (LPARAM)run);
}

WizardRun* WizardRunOf(HWND wizard)
{
    return wizard ? (WizardRun*)GetWindowLongPtrA(wizard, DWLP_USER) : nullptr;
}
