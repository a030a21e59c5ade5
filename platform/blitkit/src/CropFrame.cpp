// The crop frame shown on the preview: the picture outside the kept
// rectangle is dimmed towards the given colour, and the rectangle gets an
// outline and eight square handles where the mouse can take hold of it. A
// light line with a dark rim is visible on dark and light pictures alike.
#include <algorithm>
#include <cstdint>

#include "Image.h"
#include "blitkit/blitkit.h"

namespace {

using blitkit::FrameView;

// The handles are 7 pixels wide: the mouse takes a handle within 3 pixels.
constexpr int kHandleRadius = 3;
constexpr uint8_t kLight = 0xf0;

struct Colour {
    uint8_t b, g, r;
};

// Calls fn on each pixel of [x0, x1) x [y0, y1) that lies inside the frame.
template <typename Fn>
void ForEachPixel(const FrameView& f, int64_t x0, int64_t y0, int64_t x1, int64_t y1, Fn fn) {
    x0 = std::max<int64_t>(x0, 0);
    y0 = std::max<int64_t>(y0, 0);
    x1 = std::min<int64_t>(x1, f.width);
    y1 = std::min<int64_t>(y1, f.height);
    for (int64_t y = y0; y < y1; ++y) {
        uint8_t* p = f.row(static_cast<int>(y)) + x0 * 4;
        for (int64_t x = x0; x < x1; ++x, p += 4) fn(p);
    }
}

void Fill(const FrameView& f, int64_t x0, int64_t y0, int64_t x1, int64_t y1, Colour c) {
    ForEachPixel(f, x0, y0, x1, y1, [c](uint8_t* p) {
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
    });
}

void Dim(const FrameView& f, int64_t x0, int64_t y0, int64_t x1, int64_t y1, Colour c, int amount) {
    ForEachPixel(f, x0, y0, x1, y1, [c, amount](uint8_t* p) {
        p[0] = static_cast<uint8_t>(p[0] + ((c.b - p[0]) * amount) / 255);
        p[1] = static_cast<uint8_t>(p[1] + ((c.g - p[1]) * amount) / 255);
        p[2] = static_cast<uint8_t>(p[2] + ((c.r - p[2]) * amount) / 255);
    });
}

// A one-pixel rectangle outline, drawn on [x0, x1) x [y0, y1).
void Outline(const FrameView& f, int64_t x0, int64_t y0, int64_t x1, int64_t y1, Colour c) {
    Fill(f, x0, y0, x1, y0 + 1, c);
    Fill(f, x0, y1 - 1, x1, y1, c);
    Fill(f, x0, y0, x0 + 1, y1, c);
    Fill(f, x1 - 1, y0, x1, y1, c);
}

void Handle(const FrameView& f, int64_t cx, int64_t cy, Colour light, Colour dark) {
    const int64_t r = kHandleRadius;
    Fill(f, cx - r, cy - r, cx + r + 1, cy + r + 1, light);
    Outline(f, cx - r, cy - r, cx + r + 1, cy + r + 1, dark);
}

}  // namespace

extern "C" {

BLITKIT_API int BK_DrawCropFrame(uint8_t* pixels, int width, int height, int stride, const BkRect* rect,
                                 uint32_t colour) {
    if (!rect) return BK_ERR_ARGUMENT;
    FrameView f;
    const int check = blitkit::MakeFrameView(pixels, width, height, stride, f);
    if (check != BK_OK) return check;
    const int64_t l = rect->left, t = rect->top, r = rect->right, b = rect->bottom;
    if (r <= l || b <= t) return BK_ERR_SIZE;

    const Colour dark{static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 8),
                      static_cast<uint8_t>(colour >> 16)};
    const Colour light{kLight, kLight, kLight};
    // The alpha byte says how much the outside is dimmed: full alpha darkens by half.
    const int amount = static_cast<int>((colour >> 24) & 0xff) / 2;

    // Outside: the bands above and below, then left and right of the rectangle.
    Dim(f, 0, 0, width, t, dark, amount);
    Dim(f, 0, b, width, height, dark, amount);
    Dim(f, 0, std::max<int64_t>(t, 0), l, std::min<int64_t>(b, height), dark, amount);
    Dim(f, r, std::max<int64_t>(t, 0), width, std::min<int64_t>(b, height), dark, amount);

    Outline(f, l - 1, t - 1, r + 1, b + 1, dark);
    Outline(f, l, t, r, b, light);

    const int64_t cx = l + (r - 1 - l) / 2, cy = t + (b - 1 - t) / 2;
    const int64_t xs[3] = {l, cx, r - 1}, ys[3] = {t, cy, b - 1};
    for (int64_t y : ys)
        for (int64_t x : xs)
            if (x != cx || y != cy) Handle(f, x, y, light, dark);
    return BK_OK;
}

}  // extern "C"
