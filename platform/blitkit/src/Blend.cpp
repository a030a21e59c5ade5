// The overlay is premultiplied, the frame straight. Most video frames are
// opaque, where "over" is dst = src + dst * (1 - srcA); a frame with its own
// alpha (a bitmap being composed) gets the full form, so a half-transparent
// overlay on a transparent bitmap keeps its colour instead of darkening.
#include "Blend.h"

#include <algorithm>

namespace blitkit {
namespace {

inline int Div255(int v) { return (v + 128 + ((v + 128) >> 8)) >> 8; }

inline void BlendPixel(uint8_t* d, const uint8_t* s, int strength) {
    int sa = s[3];
    if (sa == 0) return;
    int sb = s[0], sg = s[1], sr = s[2];
    if (strength != 255) {
        sa = Div255(sa * strength);
        if (sa == 0) return;
        sb = Div255(sb * strength);
        sg = Div255(sg * strength);
        sr = Div255(sr * strength);
    }
    const int inv = 255 - sa;
    const int da = d[3];
    if (da == 255) {
        d[0] = static_cast<uint8_t>(std::min(255, sb + Div255(d[0] * inv)));
        d[1] = static_cast<uint8_t>(std::min(255, sg + Div255(d[1] * inv)));
        d[2] = static_cast<uint8_t>(std::min(255, sr + Div255(d[2] * inv)));
        return;
    }
    // outA = sa + da * inv; outC = (srcPremul + dstC * da * inv) / outA, in 255ths.
    const int dWeight = da * inv;  // 255^2 scale
    const int outA255 = sa * 255 + dWeight;
    if (outA255 == 0) {
        d[0] = d[1] = d[2] = d[3] = 0;
        return;
    }
    const int64_t half = outA255 / 2;
    const int srcC[3] = {sb, sg, sr};
    for (int c = 0; c < 3; ++c) {
        const int64_t num = static_cast<int64_t>(srcC[c]) * 65025 + static_cast<int64_t>(d[c]) * dWeight;
        d[c] = static_cast<uint8_t>(std::min<int64_t>(255, (num + half) / outA255));
    }
    d[3] = static_cast<uint8_t>(Div255(outA255));
}

}  // namespace

void BlendOver(const FrameView& dst, const Image& src, int64_t x, int64_t y, int strength) {
    if (src.empty() || strength <= 0) return;
    strength = std::min(strength, 255);
    // Clip in 64 bits so that a far-away place cannot overflow.
    const int64_t x0 = std::max<int64_t>(x, 0);
    const int64_t y0 = std::max<int64_t>(y, 0);
    const int64_t x1 = std::min<int64_t>(x + src.width, dst.width);
    const int64_t y1 = std::min<int64_t>(y + src.height, dst.height);
    if (x0 >= x1 || y0 >= y1) return;
    for (int64_t yy = y0; yy < y1; ++yy) {
        uint8_t* d = dst.row(static_cast<int>(yy)) + x0 * 4;
        const uint8_t* s = src.row(static_cast<int>(yy - y)) + (x0 - x) * 4;
        for (int64_t xx = x0; xx < x1; ++xx, d += 4, s += 4) BlendPixel(d, s, strength);
    }
}

}  // namespace blitkit
