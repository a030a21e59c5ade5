// Green and blue pulled halfway towards red; red and alpha stay.
#include "../EffectFactories.h"
#include "../ImageEffect.h"
#include "../PixelLoops.h"

namespace pixfilter {
namespace {

inline uint32_t Spook(uint32_t p) {
    const uint32_t g = (Red(p) + Green(p)) >> 1;
    const uint32_t b = (Red(p) + Blue(p)) >> 1;
    return (p & 0xFFFF0000u) | b | (g << 8);
}

class CSpookyEffect final : public CImageEffect {
public:
    bool ProcessInPlace(uint8_t* pixels) override {
        MapPicture(pixels, RowBytes(), Width(), Height(), Spook);
        return true;
    }
    bool ProcessToBuffer(const uint8_t* pixels, uint8_t** output) override {
        uint8_t* out = OutputBuffer();
        if (out == nullptr) return false;
        MapPicture(pixels, RowBytes(), out, Width(), Height(), Spook);
        *output = out;
        return true;
    }
};

}  // namespace

CImageEffect* CreateSpookyEffect() { return new (std::nothrow) CSpookyEffect(); }

}  // namespace pixfilter
