// Grey from the three colour channels. In place it is their plain mean; into
// the output buffer it is a luminance weighting (28, 151, 77 out of 256).
#include "../EffectFactories.h"
#include "../ImageEffect.h"
#include "../PixelLoops.h"

namespace pixfilter {
namespace {

inline uint32_t MeanGrey(uint32_t p) {
    const uint32_t v = (Blue(p) + Green(p) + Red(p)) / 3;
    return (p & kAlphaMask) | (v * 0x010101u);
}

inline uint32_t WeightedGrey(uint32_t p) {
    const uint32_t v = (28 * Blue(p) + 151 * Green(p) + 77 * Red(p)) >> 8;
    return (p & kAlphaMask) | (v * 0x010101u);
}

class CBlackAndWhiteEffect final : public CImageEffect {
public:
    bool ProcessInPlace(uint8_t* pixels) override {
        MapPicture(pixels, RowBytes(), Width(), Height(), MeanGrey);
        return true;
    }
    bool ProcessToBuffer(const uint8_t* pixels, uint8_t** output) override {
        uint8_t* out = OutputBuffer();
        if (out == nullptr) return false;
        MapPicture(pixels, RowBytes(), out, Width(), Height(), WeightedGrey);
        *output = out;
        return true;
    }
};

}  // namespace

CImageEffect* CreateBlackAndWhiteEffect() { return new (std::nothrow) CBlackAndWhiteEffect(); }

}  // namespace pixfilter
