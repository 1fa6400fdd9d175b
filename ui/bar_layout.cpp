#include "ui/bar_layout.h"

int32_t BarSegmentLength(int32_t innerHeight)
{
    return (int32_t)(((uint32_t)(uint16_t)innerHeight * 2) / 3);
}

int32_t BarFillWidth(int32_t innerWidth, int32_t done, int32_t total)
{
    if (total < 1)
        total = 1;
    if (done > total)
        done = total;
    if (done < 0)
        done = 0;
    int64_t f = ((int64_t)(uint16_t)innerWidth * done) / total;
    return (int32_t)(uint16_t)f;
}

int32_t BarBlocks(const BarRect* inner, int32_t f, BarRect* out, int32_t max)
{
    int32_t g = BarSegmentLength(inner->Bottom - inner->Top);
    int32_t count = 0;
    // A bar too flat for a segment draws nothing (and must not loop forever).
    if (g <= 0)
        return 0;
    for (int32_t x = inner->Left, drawn = 0; drawn < f && count < max; x += g, drawn += g) {
        out[count].Left = x;
        out[count].Top = inner->Top + 1;
        out[count].Right = x + g - 3;
        out[count].Bottom = inner->Bottom - 1;
        count++;
    }
    return count;
}

void BarFrame(const BarRect* inner, int32_t outX[MaxFramePoints], int32_t outY[MaxFramePoints])
{
    int32_t left = inner->Left - 1, top = inner->Top - 1;
    int32_t right = inner->Right + 1, bottom = inner->Bottom + 1;
    // Shadow: up the left side and along the top.
    outX[0] = left, outY[0] = bottom - 1;
    outX[1] = left, outY[1] = top;
    outX[2] = right - 1, outY[2] = top;
    // Light: down the right side and back along the bottom.
    outX[3] = right - 1, outY[3] = top;
    outX[4] = right - 1, outY[4] = bottom - 1;
    outX[5] = left - 1, outY[5] = bottom - 1;
}

int32_t NextAnimationFrame(int32_t frame)
{
    return frame >= AnimationFrames || frame < 1 ? 1 : frame + 1;
}

static const int8_t FrameX[MovingFrames] = {0,  5,  8,  14, 19, 26, 30,  38,  42,  50,
                                            57, 62, 72, 78, 87, 94, 102, 110, 114, 118};
static const int8_t FrameY[MovingFrames] = {10, 8, 6, 5, 2, 2, 2, 2,  2,  0,
                                            0,  0, 0, 2, 3, 4, 8, 10, 11, 13};

int32_t AnimationOffset(int32_t frame, int32_t* x, int32_t* y)
{
    if (frame < 1 || frame > MovingFrames) {
        *x = 0;
        *y = 0;
        return 0;
    }
    *x = FrameX[frame - 1];
    *y = FrameY[frame - 1];
    return 1;
}
