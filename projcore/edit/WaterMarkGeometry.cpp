#include "edit/WaterMarkGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace wmgeo {
namespace {

// Where the anchor puts the watermark inside the box along one axis: cell
// 0 at the near side, 1 centred, 2 at the far side.
int Along(int cell, int box, int size) {
    switch (cell) {
        case 1: return (box - size) / 2;
        case 2: return box - size;
        default: return 0;
    }
}

int32_t Clamp32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

Point Place(int origin, int xOffset, int yOffset, int boxW, int boxH, int w, int h) {
    if (!ValidOrigin(origin)) return Point{0, 0};
    return Point{xOffset + Along(origin % 3, boxW, w), yOffset + Along(origin / 3, boxH, h)};
}

Point OffsetsFor(int origin, int x, int y, int boxW, int boxH, int w, int h) {
    if (!ValidOrigin(origin)) return Point{x, y};
    return Point{x - Along(origin % 3, boxW, w), y - Along(origin / 3, boxH, h)};
}

int32_t ScaleFloor(int64_t v, int64_t num, int64_t den) {
    if (den == 0) return 0;
    if (den < 0) num = -num, den = -den;
    const int64_t p = v * num;
    int64_t q = p / den;
    if (p % den != 0 && p < 0) --q;
    return Clamp32(q);
}

int32_t ScaleRound(int64_t v, int64_t num, int64_t den) {
    if (den == 0) return 0;
    if (den < 0) num = -num, den = -den;
    const int64_t p = v * num;
    const int64_t q = (p >= 0 ? p + den / 2 : p - den / 2) / den;
    return Clamp32(q);
}

Size NewPictureSize(int pw, int ph, int W, int H, bool& keepsRatio) {
    const int A = W / 2, B = H / 2;
    if (pw <= 0 || ph <= 0) {
        keepsRatio = false;
        return Size{A, B};
    }
    keepsRatio = true;
    if (pw <= A && ph <= B) return Size{pw, ph};
    Size s{A, Clamp32(int64_t(A) * ph / pw)};
    if (s.height > B) s = Size{Clamp32(int64_t(pw) * B / ph), B};
    return s;
}

bool KeepRatioSize(int c, int d, int curW, int curH, int pw, int ph, Size& out) {
    c = std::max(c, 1);
    d = std::max(d, 1);
    if (pw <= 0 || ph <= 0) return false;
    if (c == curW && d != curH) out = Size{Clamp32(int64_t(d) * pw / ph), d};
    else out = Size{c, Clamp32(int64_t(c) * ph / pw)};
    out.width = std::max(out.width, 1);
    out.height = std::max(out.height, 1);
    return true;
}

Span FrameSpan(uint32_t startMs, uint32_t endMs, double fps) {
    if (!(fps > 0)) return Span{0, 0};
    const double first = std::floor(startMs * fps / 1000.0);
    const double last = std::floor(endMs * fps / 1000.0);
    return Span{Clamp32(static_cast<int64_t>(first)), Clamp32(static_cast<int64_t>(std::max(0.0, last - first)))};
}

int32_t FadeFrames(float seconds, double fps) {
    const double frames = static_cast<double>(seconds) * fps;
    if (!(frames > 0) || !std::isfinite(frames)) return 0;
    return Clamp32(static_cast<int64_t>(std::min(frames, 2e9)));
}

int32_t FrameIndex(int64_t time100ns, double fps) {
    if (!(fps > 0)) return 0;
    return Clamp32(static_cast<int64_t>(std::floor(static_cast<double>(time100ns) * fps / 1e7)));
}

int16_t ToInt16(int64_t v) {
    return static_cast<int16_t>(std::clamp<int64_t>(v, std::numeric_limits<int16_t>::min(),
                                                    std::numeric_limits<int16_t>::max()));
}

uint16_t ToSize16(int64_t v) { return static_cast<uint16_t>(std::clamp<int64_t>(v, 1, 65535)); }

}  // namespace wmgeo
