// The arithmetic of the working view's pictures: the segmented bar with its
// sunken frame, and where each frame of the icon animation goes.
#pragma once
#include <cstdint>

struct BarRect {
    int32_t Left, Top, Right, Bottom;
};

enum { MaxFramePoints = 6, AnimationFrames = 25, MovingFrames = 20 };

// Segment length g for an inner bar of the given height: two thirds of it.
int32_t BarSegmentLength(int32_t innerHeight);
// Filled width f of an inner bar of width innerWidth with done of total
// items. A total below 1 counts as 1; done past total (a repair counts one
// list its total leaves out) fills the bar and no more.
int32_t BarFillWidth(int32_t innerWidth, int32_t done, int32_t total);
// The blocks that show f on the inner rectangle: whole segments of g pixels
// less a 3-pixel gap, starting at the left edge, while less than f is drawn.
// Writes at most max rectangles into out and returns their number.
int32_t BarBlocks(const BarRect* inner, int32_t f, BarRect* out, int32_t max);
// The sunken frame around the inner rectangle as two polylines of three
// points each: out[0..2] drawn in the shadow colour, out[3..5] in the light
// colour (line ends exclusive).
void BarFrame(const BarRect* inner, int32_t outX[MaxFramePoints], int32_t outY[MaxFramePoints]);

// The frame after frame: 1 to 25, then 1 again.
int32_t NextAnimationFrame(int32_t frame);
// Offset in dialog units of the moving picture of frame (1 to 20); 0 for
// frames that show the still picture alone (21 to 25, or anything else).
int32_t AnimationOffset(int32_t frame, int32_t* x, int32_t* y);
