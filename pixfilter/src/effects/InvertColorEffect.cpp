// Colour negative; alpha stays.
#include "../EffectFactories.h"
#include "../ImageEffect.h"
#include "../PixelLoops.h"

namespace pixfilter {
namespace {

inline uint32_t Invert(uint32_t p) { return p ^ kColourMask; }

class CInvertColorEffect final : public CImageEffect {
public:
    bool ProcessInPlace(uint8_t* pixels) override {
        MapPicture(pixels, RowBytes(), Width(), Height(), Invert);
        return true;
    }
    bool ProcessToBuffer(const uint8_t* pixels, uint8_t** output) override {
        uint8_t* out = OutputBuffer();
        if (out == nullptr) return false;
        MapPicture(pixels, RowBytes(), out, Width(), Height(), Invert);
        *output = out;
        return true;
    }
};

}  // namespace

CImageEffect* CreateInvertColorEffect() { return new (std::nothrow) CInvertColorEffect(); }

}  // namespace pixfilter
