#include "app/layout_math.h"
#include "app/main_window.h"
#include "app/message_catalogue.h"
#include "log/path_helpers.h"

HFONT DialogFont;
HFONT HeadingFont;

// The templates are laid out for 8-point "MS Sans Serif"; the settings font
// is usually wider, so everything is widened by one sixth.
static void MoveWidened(HWND window, RECT rect)
{
    int32_t left = WidenCoordinate(rect.left);
    int32_t right = WidenCoordinate(rect.right);
    MoveWindow(window, left, rect.top, right - left, rect.bottom - rect.top, FALSE);
}

// The description of the dialog's own font, changed to the settings.
static void MakeFonts(HWND dialog)
{
    HFONT own = (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0);
    LOGFONTA description;
    if (!own || GetObjectA(own, sizeof description, &description) == 0)
        return;
    HDC dc = GetDC(dialog);
    int32_t pixelsPerInch = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(dialog, dc);
    description.lfHeight = DialogFontHeight(FontPointSize, pixelsPerInch);
    description.lfWeight = 300;
    description.lfCharSet = FontCharSet;
    if (TextFontFace)
        CopyText(description.lfFaceName, TextFontFace, LF_FACESIZE);
    DialogFont = CreateFontIndirectA(&description);
    if (DialogFont && !HeadingFont) {
        description.lfWeight = 700;
        HeadingFont = CreateFontIndirectA(&description);
    }
}

static BOOL CALLBACK ScaleChild(HWND child, LPARAM)
{
    RECT rect;
    GetWindowRect(child, &rect);
    HWND parent = GetParent(child);
    POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
    ScreenToClient(parent, &corners[0]);
    ScreenToClient(parent, &corners[1]);
    RECT local = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    MoveWidened(child, local);
    SendMessageA(child, WM_SETFONT, (WPARAM)DialogFont, FALSE);
    return TRUE;
}

void ScaleDialog(HWND dialog)
{
    RECT rect;
    GetWindowRect(dialog, &rect);
    MoveWidened(dialog, rect);
    if (!DialogFont)
        MakeFonts(dialog);
    if (DialogFont)
        EnumChildWindows(dialog, ScaleChild, 0);
}

void CentreDialog(HWND dialog)
{
    RECT r;
    GetWindowRect(dialog, &r);
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    MoveWindow(dialog, (ScreenWidth - width) / 2, (ScreenHeight - height) / 2, width, height,
               FALSE);
}
