#include <cstdlib>

#include "PictureSource.h"

namespace blitkit {

void KeyAndPremultiply(uint8_t* px, size_t pixelCount, ColourKey key) {
    const bool keyed = key.colour != -1;
    // The colour is 0x00BBGGRR; pixels are stored blue, green, red, alpha.
    const int kr = key.colour & 0xff;
    const int kg = (key.colour >> 8) & 0xff;
    const int kb = (key.colour >> 16) & 0xff;
    const int tol = key.tolerance;
    for (size_t i = 0; i < pixelCount; ++i, px += 4) {
        const int b = px[0], g = px[1], r = px[2], a = px[3];
        if (keyed && std::abs(b - kb) <= tol && std::abs(g - kg) <= tol && std::abs(r - kr) <= tol) {
            px[0] = px[1] = px[2] = px[3] = 0;
            continue;
        }
        if (a == 255) continue;
        px[0] = static_cast<uint8_t>((b * a + 127) / 255);
        px[1] = static_cast<uint8_t>((g * a + 127) / 255);
        px[2] = static_cast<uint8_t>((r * a + 127) / 255);
    }
}

}  // namespace blitkit
