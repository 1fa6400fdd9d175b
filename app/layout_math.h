// Arithmetic of the background gradient, the dialog widening and the
// start-up bar, kept apart from the drawing so it can be checked anywhere.
#pragma once
#include <cstdint>

enum { GradientBands = 96, GradientDivisor = 95 };

// One colour component of band (0 to 95): start + delta * band / 95,
// truncated toward zero, limited to 0..255.
int32_t GradientComponent(int32_t start, int32_t delta, int32_t band);
// The lower edge of band in a client area of height rows: (band + 1) * height / 96.
int32_t GradientBandBottom(int32_t band, int32_t height);

// The widening rule for a left or right edge: v + v / 6, truncated toward zero.
int32_t WidenCoordinate(int32_t v);
// MulDiv: a * b / c rounded half away from zero; -1 when c is 0.
int32_t MulDivRound(int32_t a, int32_t b, int32_t c);
// The dialog font's height in pixels (negative: without internal leading).
int32_t DialogFontHeight(int32_t pointSize, int32_t pixelsPerInch);

// The filled width of the start-up bar of inner width width: width * read /
// total, 0 when total is not positive, never more than width.
int32_t StartupBarFill(int32_t width, int32_t read, int32_t total);
