// Brightness and contrast, through one 256-entry table built per call on the
// stack, so a frame costs one lookup per channel and nothing is allocated.
#include <algorithm>
#include <cmath>

#include "Drawer.h"

namespace {

void BuildTable(float brightness, float contrast, uint8_t table[256]) {
    const double b = std::clamp(static_cast<double>(brightness), -1.0, 1.0);
    const double c = std::clamp(static_cast<double>(contrast), -1.0, 1.0);
    // Contrast spreads the values around the middle grey: -1 flattens every
    // value to grey, 0 keeps them, towards +1 the slope grows without bound
    // (capped: at +1 the picture is split into dark and light).
    const double slope = c >= 1.0 ? 255.0 : std::min(255.0, (1.0 + c) / (1.0 - c));
    const double shift = b * 255.0;
    for (int v = 0; v < 256; ++v) {
        const double out = (v - 127.5) * slope + 127.5 + shift;
        table[v] = static_cast<uint8_t>(std::lround(std::clamp(out, 0.0, 255.0)));
    }
}

}  // namespace

extern "C" {

BLITKIT_API int BK_AdjustPicture(BkDrawer* d, uint8_t* pixels, int width, int height, int stride,
                                 float brightness, float contrast) {
    if (!d || !std::isfinite(brightness) || !std::isfinite(contrast)) return BK_ERR_ARGUMENT;
    blitkit::FrameView frame;
    const int check = blitkit::MakeFrameView(pixels, width, height, stride, frame);
    if (check != BK_OK) return check;
    if (brightness == 0.0f && contrast == 0.0f) return BK_OK;
    uint8_t table[256];
    BuildTable(brightness, contrast, table);
    for (int y = 0; y < frame.height; ++y) {
        uint8_t* p = frame.row(y);
        for (int x = 0; x < frame.width; ++x, p += 4) {
            p[0] = table[p[0]];
            p[1] = table[p[1]];
            p[2] = table[p[2]];  // alpha stays
        }
    }
    return BK_OK;
}

}  // extern "C"
