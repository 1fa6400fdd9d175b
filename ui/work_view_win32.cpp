// The wizard's working view: status text, icon animation and the segmented
// bar of items done against items to do.
#include <windows.h>

#include "app/main_window.h"
#include "app/message_catalogue.h"
#include "log/reader.h"
#include "ui/bar_layout.h"
#include "ui/progress.h"
#include "ui/resources/resource.h"
#include "ui/text_format.h"
#include "ui/windows_win32.h"
#include "ui/wizard_parts.h"

RECT ProgressBarInner;
int32_t AnimationFrame = 1;
RECT AnimationRect;
static HICON AnimationIcons[ANIMATION_ICON_COUNT];

static const COLORREF BarFillColour = RGB(0, 0, 127);

void BeginWorkView(int32_t messageNumber, int32_t paced)
{
    if (WizardWindow) {
        ShowControl(IDC_PAGE_TEXT, 0);
        ShowControl(IDC_PAGE_TEXT2, 0);
        ShowControl(IDC_STATUS_TEXT, 1);
        ShowControl(IDC_PROGRESS_TEXT, 1);
        char format[256];
        char text[1024];
        GetMessageText(AppInstance, messageNumber, format, sizeof(format));
        FormatWithText(text, sizeof(text), format, ProductTitle);
        SetDlgItemTextA(WizardWindow, IDC_STATUS_TEXT, text);
        EnableWindow(GetDlgItem(WizardWindow, IDC_NEXT), FALSE);
        EnableWindow(GetDlgItem(WizardWindow, IDC_BACK), FALSE);
    }
    for (int i = 0; i < ANIMATION_ICON_COUNT; i++)
        AnimationIcons[i] = LoadIconA(AppInstance, MAKEINTRESOURCEA(IDI_ANIMATION_FIRST + i));
    ShowProgress(nullptr, paced);
    WorkStarted = 1;
}

// Composed in a memory bitmap and copied in one step, so it does not flicker.
void PaintAnimation(HWND window, HDC dc)
{
    HWND place = GetDlgItem(window, IDC_ANIMATION);
    if (!place)
        return;
    GetWindowRect(place, &AnimationRect);
    MapWindowPoints(nullptr, window, (POINT*)&AnimationRect, 2);
    int width = AnimationRect.right - AnimationRect.left + 1;
    int height = AnimationRect.bottom - AnimationRect.top + 1;
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    HDC memory = bitmap ? CreateCompatibleDC(dc) : nullptr;
    if (!bitmap || !memory) {
        if (bitmap)
            DeleteObject(bitmap);
        return;
    }
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    RECT all = {0, 0, width, height};
    FillRect(memory, &all, face);
    LONG units = GetDialogBaseUnits();
    int ux = LOWORD(units), uy = HIWORD(units);
    if (AnimationIcons[0])
        DrawIcon(memory, 0, uy * 10 / 8, AnimationIcons[0]);
    int32_t x = 0, y = 0;
    if (AnimationOffset(AnimationFrame, &x, &y) && AnimationIcons[AnimationFrame])
        DrawIcon(memory, x * ux / 4, y * uy / 8, AnimationIcons[AnimationFrame]);
    BitBlt(dc, AnimationRect.left, AnimationRect.top, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteObject(face);
    DeleteDC(memory);
}

static void FillBlock(HDC dc, const BarRect* r)
{
    RECT rect = {r->Left, r->Top, r->Right, r->Bottom};
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE | ETO_CLIPPED, &rect, "", 0, nullptr);
}

void PaintWorkBar(HDC dc)
{
    BarRect inner = {ProgressBarInner.left, ProgressBarInner.top, ProgressBarInner.right,
                     ProgressBarInner.bottom};
    int32_t f = BarFillWidth(inner.Right - inner.Left, ProgressDone, ProgressTotal);
    BarRect blocks[1024];
    int32_t count = BarBlocks(&inner, f, blocks, 1024);
    COLORREF oldBack = SetBkColor(dc, BarFillColour);
    for (int32_t i = 0; i < count; i++)
        FillBlock(dc, &blocks[i]);
    SetBkColor(dc, oldBack);

    int32_t x[MaxFramePoints], y[MaxFramePoints];
    BarFrame(&inner, x, y);
    HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOW));
    HGDIOBJ oldPen = SelectObject(dc, shadow);
    MoveToEx(dc, x[0], y[0], nullptr);
    LineTo(dc, x[1], y[1]);
    LineTo(dc, x[2], y[2]);
    SelectObject(dc, light);
    MoveToEx(dc, x[3], y[3], nullptr);
    LineTo(dc, x[4], y[4]);
    LineTo(dc, x[5], y[5]);
    SelectObject(dc, oldPen);
    DeleteObject(shadow);
    DeleteObject(light);
}

void AdvanceAnimation(HWND window)
{
    AnimationFrame = NextAnimationFrame(AnimationFrame);
    InvalidateRect(window, &AnimationRect, FALSE);
    UpdateWindow(window);
}
