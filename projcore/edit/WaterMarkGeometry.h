#pragma once

#include <cstdint>

#include "projcore/Records.h"

// The arithmetic of watermark placement, sizes and frame numbers, free of any
// state so that each rule can be checked on its own. Divisions truncate toward
// zero unless a name says otherwise.
namespace wmgeo {

struct Point {
    int32_t x, y;
    bool operator==(const Point&) const = default;
};
struct Size {
    int32_t width, height;
    bool operator==(const Size&) const = default;
};

// Whether an Origin names one of the nine anchor cells (0 top-left ... 8 bottom-right).
inline bool ValidOrigin(int origin) { return origin >= 0 && origin <= 8; }

// Top-left corner, relative to a box of boxW x boxH, of a w x h watermark with
// the given anchor cell and offsets. An Origin outside the grid puts it at 0, 0.
Point Place(int origin, int xOffset, int yOffset, int boxW, int boxH, int w, int h);
// The offsets that put a w x h watermark's top-left corner at (x, y): the
// inverse of Place for a valid Origin.
Point OffsetsFor(int origin, int x, int y, int boxW, int boxH, int w, int h);

// v * num / den rounded down (toward minus infinity), or to the nearest
// integer (halves away from zero); 0 when den is 0.
int32_t ScaleFloor(int64_t v, int64_t num, int64_t den);
int32_t ScaleRound(int64_t v, int64_t num, int64_t den);

// The size a newly chosen picture of pw x ph gets on a visible picture of
// W x H: its own size when it fits in a quarter of the picture (half each
// way), else shrunk into that quarter keeping its ratio; half the picture each
// way when the picture cannot be read (pw or ph 0). keepsRatio tells whether
// the picture was readable.
Size NewPictureSize(int pw, int ph, int W, int H, bool& keepsRatio);

// The size a picture watermark takes when the user asks for c x d (0 counts
// as 1) while its size is curW x curH and the picture's natural size pw x ph:
// keeping the ratio, the changed side leads. False (nothing to change) when
// the ratio is to be kept but the natural size is unknown.
bool KeepRatioSize(int c, int d, int curW, int curH, int pw, int ph, Size& out);

// The frames a watermark shows in: the first one and how many, at fps.
struct Span {
    int32_t start, count;
};
Span FrameSpan(uint32_t startMs, uint32_t endMs, double fps);
// A fade of `seconds` in whole frames (0 for no fade or a bad value).
int32_t FadeFrames(float seconds, double fps);
// The frame of a time in 100-nanosecond units.
int32_t FrameIndex(int64_t time100ns, double fps);

// Clamps into 16-bit fields.
int16_t ToInt16(int64_t v);
uint16_t ToSize16(int64_t v);  // 1 ... 65535

}  // namespace wmgeo
