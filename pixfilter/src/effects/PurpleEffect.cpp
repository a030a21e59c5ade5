// A purple cast from channel averages. In place, blue is averaged with the new
// red; into the output buffer with the source red.
#include "../EffectFactories.h"
#include "../ImageEffect.h"
#include "../PixelLoops.h"

namespace pixfilter {
namespace {

inline uint32_t PurpleFedBack(uint32_t p) {
    const uint32_t r = (Green(p) + Red(p)) >> 1;
    const uint32_t g = (Green(p) + Blue(p)) >> 1;
    const uint32_t b = (Blue(p) + r) >> 1;
    return (p & kAlphaMask) | Pack(b, g, r, 0);
}

inline uint32_t PurpleFromSource(uint32_t p) {
    const uint32_t r = (Green(p) + Red(p)) >> 1;
    const uint32_t g = (Green(p) + Blue(p)) >> 1;
    const uint32_t b = (Blue(p) + Red(p)) >> 1;
    return (p & kAlphaMask) | Pack(b, g, r, 0);
}

class CPurpleEffect final : public CImageEffect {
public:
    bool ProcessInPlace(uint8_t* pixels) override {
        MapPicture(pixels, RowBytes(), Width(), Height(), PurpleFedBack);
        return true;
    }
    bool ProcessToBuffer(const uint8_t* pixels, uint8_t** output) override {
        uint8_t* out = OutputBuffer();
        if (out == nullptr) return false;
        MapPicture(pixels, RowBytes(), out, Width(), Height(), PurpleFromSource);
        *output = out;
        return true;
    }
};

}  // namespace

CImageEffect* CreatePurpleEffect() { return new (std::nothrow) CPurpleEffect(); }

}  // namespace pixfilter
