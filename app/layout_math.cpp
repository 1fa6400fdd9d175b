#include "app/layout_math.h"

int32_t GradientComponent(int32_t start, int32_t delta, int32_t band)
{
    // 64 bits: the settings file may hold any 32-bit value.
    int64_t value = (int64_t)start + ((int64_t)delta * band) / GradientDivisor;
    if (value < 0)
        return 0;
    if (value > 255)
        return 255;
    return (int32_t)value;
}

int32_t GradientBandBottom(int32_t band, int32_t height)
{
    return (int32_t)(((int64_t)band + 1) * height / GradientBands);
}

int32_t WidenCoordinate(int32_t v)
{
    return v + v / 6;
}

int32_t MulDivRound(int32_t a, int32_t b, int32_t c)
{
    if (c == 0)
        return -1;
    int64_t product = (int64_t)a * b;
    int64_t divisor = c;
    int negative = (product < 0) != (divisor < 0);
    if (product < 0)
        product = -product;
    if (divisor < 0)
        divisor = -divisor;
    int64_t result = (product + divisor / 2) / divisor;
    return (int32_t)(negative ? -result : result);
}

int32_t DialogFontHeight(int32_t pointSize, int32_t pixelsPerInch)
{
    return -MulDivRound(pointSize, pixelsPerInch, 72);
}

int32_t StartupBarFill(int32_t width, int32_t read, int32_t total)
{
    if (total <= 0 || width <= 0 || read <= 0)
        return 0;
    // 64 bits: a long log times the bar width overflows 32.
    int64_t fill = (int64_t)(uint16_t)width * read / total;
    return fill > width ? width : (int32_t)fill;
}
