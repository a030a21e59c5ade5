// Vertical sharpening: each colour byte moves away from the one above it by
// half their difference. In place the row above already holds its sharpened
// values, so the effect runs down the picture; into a buffer it reads only the
// source.
#include <cstring>

#include "../EffectFactories.h"
#include "../ImageEffect.h"
#include "../PixelLoops.h"

namespace pixfilter {
namespace {

[[gnu::always_inline]] inline int32_t SharpenByte(uint32_t c, uint32_t above) {
    const int32_t v = static_cast<int32_t>(c);
    return Clamp255(v + ((v - static_cast<int32_t>(above)) >> 1));  // >> rounds down
}

[[gnu::always_inline]] inline uint32_t Sharpen(uint32_t p, uint32_t above) {
    return (p & kAlphaMask) |
           Pack(static_cast<uint32_t>(SharpenByte(Blue(p), Blue(above))),
                static_cast<uint32_t>(SharpenByte(Green(p), Green(above))),
                static_cast<uint32_t>(SharpenByte(Red(p), Red(above))), 0);
}

void SharpenRowInPlace(Px* __restrict row, const Px* __restrict above, int width) {
    for (int x = 0; x < width; ++x) row[x] = Sharpen(row[x], above[x]);
}

void SharpenRow(const Px* __restrict row, const Px* __restrict above, Px* __restrict dst,
                int width) {
    for (int x = 0; x < width; ++x) dst[x] = Sharpen(row[x], above[x]);
}

class CSharpenEffect final : public CImageEffect {
public:
    bool ProcessInPlace(uint8_t* pixels) override {
        const std::size_t rowBytes = RowBytes();
        for (int y = 1; y < Height(); ++y)
            SharpenRowInPlace(RowAt(pixels, rowBytes, y), RowAt(pixels, rowBytes, y - 1), Width());
        return true;
    }

    bool ProcessToBuffer(const uint8_t* pixels, uint8_t** output) override {
        uint8_t* out = OutputBuffer();
        if (out == nullptr) return false;
        const std::size_t rowBytes = RowBytes();
        const std::size_t packedRow = static_cast<std::size_t>(Width()) * 4;
        std::memcpy(out, pixels, packedRow);
        for (int y = 1; y < Height(); ++y)
            SharpenRow(RowAt(pixels, rowBytes, y), RowAt(pixels, rowBytes, y - 1),
                       RowAt(out, packedRow, y), Width());
        *output = out;
        return true;
    }
};

}  // namespace

CImageEffect* CreateSharpenEffect() { return new (std::nothrow) CSharpenEffect(); }

}  // namespace pixfilter
