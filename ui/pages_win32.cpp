// The selection pages: one row per logged change, pre-selected from the
// item's flag; leaving the page writes the selection back.
#include <windows.h>

#include "app/main_window.h"
#include "app/message_catalogue.h"
#include "ui/page_rows.h"
#include "ui/resources/resource.h"
#include "ui/windows_win32.h"
#include "ui/wizard_parts.h"

void ShowControl(int32_t id, int32_t on)
{
    HWND control = WizardWindow ? GetDlgItem(WizardWindow, id) : nullptr;
    if (!control)
        return;
    EnableWindow(control, on ? TRUE : FALSE);
    ShowWindow(control, on ? SW_SHOWNORMAL : SW_HIDE);
}

// Width of the widest row, measured in the list's own font so that the
// horizontal extent matches what is drawn.
struct RowMeasure {
    HWND list;
    HDC dc;
    HGDIOBJ oldFont;
};

static void BeginMeasure(RowMeasure* m, HWND list)
{
    m->list = list;
    m->dc = list ? GetDC(list) : nullptr;
    m->oldFont = nullptr;
    if (!m->dc)
        return;
    HFONT font = (HFONT)SendMessageA(list, WM_GETFONT, 0, 0);
    if (font)
        m->oldFont = SelectObject(m->dc, font);
}

static int32_t MeasureRow(RowMeasure* m, const char* text, int32_t length)
{
    SIZE size = {0, 0};
    if (m->dc)
        GetTextExtentPoint32A(m->dc, text, length, &size);
    return size.cx;
}

static void EndMeasure(RowMeasure* m)
{
    if (!m->dc)
        return;
    if (m->oldFont)
        SelectObject(m->dc, m->oldFont);
    ReleaseDC(m->list, m->dc);
}

void SetupSelectionPage(int32_t page)
{
    HWND window = WizardWindow;
    ShowControl(IDC_MODE_REPAIR, 0);
    ShowControl(IDC_ITEM_LIST, 1);
    ShowControl(IDC_SELECT_ALL, 1);
    ShowControl(IDC_SELECT_NONE, 1);
    ShowControl(IDC_MODE_AUTOMATIC, 0);
    ShowControl(IDC_MODE_CUSTOM, 0);
    ShowControl(IDC_PAGE_TEXT2, 0);
    EnableWindow(GetDlgItem(window, IDC_BACK), TRUE);

    char heading[256];
    GetMessageText(AppInstance, PageHeadingMessage(page), heading, sizeof(heading));
    char pageText[256];
    GetMessageText(AppInstance, PageTextMessage(page), pageText, sizeof(pageText));
    int32_t rows = PageRowCount(page);

    HWND list = GetDlgItem(window, IDC_ITEM_LIST);
    SetDlgItemTextA(window, IDC_PAGE_TEXT, pageText);
    SetDlgItemTextA(window, IDC_HEADING, heading);
    if (!list)
        return;
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    RowMeasure measure;
    BeginMeasure(&measure, list);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    int32_t widest = 0;
    char row[RowTextSize];
    for (int32_t i = 0; i < rows; i++) {
        int32_t length = FormatPageRow(page, i, row, sizeof(row));
        if (length < 0)
            length = 0;
        int32_t width = MeasureRow(&measure, row, length);
        if (width > widest)
            widest = width;
        SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)row);
        int32_t* flag = PageRowFlag(page, i);
        if (flag && *flag)
            SendMessageA(list, LB_SETSEL, TRUE, (LPARAM)i);
    }
    EndMeasure(&measure);
    // A few pixels more than the widest text, so its last letter is not
    // cut by the list's inner margin when scrolled to the right.
    SendMessageA(list, LB_SETHORIZONTALEXTENT, (WPARAM)(widest ? widest + 4 : 0), 0);
    SendMessageA(list, LB_SETTOPINDEX, 0, 0);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, FALSE);
}

void SaveSelectionPage(HWND window, int32_t page)
{
    HWND list = GetDlgItem(window, IDC_ITEM_LIST);
    if (!list)
        return;
    int32_t rows = PageRowCount(page);
    for (int32_t i = 0; i < rows; i++) {
        LRESULT state = SendMessageA(list, LB_GETSEL, (WPARAM)i, 0);
        int32_t* flag = PageRowFlag(page, i);
        // A row the list does not hold (it ran out of room) was never shown:
        // its item keeps the flag the log gave it.
        if (flag && state != LB_ERR)
            *flag = (int32_t)state;
    }
}
