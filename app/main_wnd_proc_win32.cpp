#include "app/layout_math.h"
#include "app/main_window.h"

volatile int32_t TimerWaiting;
int32_t GradientStart[3] = {0, 0, 255};
int32_t GradientDelta[3] = {0, 0, -255};

// Ninety-six bands from the start colour to the end colour. The first band
// starts one row above the client area, as the band arithmetic gives it.
static void PaintGradient(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    int32_t width = client.right - client.left;
    int32_t height = client.bottom - client.top;
    int32_t previous = -1;
    for (int32_t band = 0; band < GradientBands; band++) {
        int32_t bottom = GradientBandBottom(band, height);
        COLORREF colour = RGB(GradientComponent(GradientStart[0], GradientDelta[0], band),
                              GradientComponent(GradientStart[1], GradientDelta[1], band),
                              GradientComponent(GradientStart[2], GradientDelta[2], band));
        HBRUSH brush = CreateSolidBrush(colour);
        HGDIOBJ old = SelectObject(dc, brush);
        PatBlt(dc, 0, previous, width, bottom - previous, PATCOPY);
        SelectObject(dc, old);
        DeleteObject(brush);
        previous = bottom;
    }
    EndPaint(window, &paint);
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Until CreateWindowExA has returned, the handle is not ours yet.
    if (!MainWindow)
        return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_PAINT:
        PaintGradient(window);
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint covers the whole client area
    case WM_TIMER:
        TimerWaiting = 0;
        return 0;
    case WM_QUERYNEWPALETTE:
    case WM_PALETTECHANGED:
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
