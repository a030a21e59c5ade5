// Solarisation: every colour byte below 128 becomes 255 minus itself.
#include "../EffectFactories.h"
#include "../ImageEffect.h"
#include "../PixelLoops.h"

namespace pixfilter {
namespace {

inline uint32_t Solarise(uint32_t p) {
    // 0x01 in each colour byte whose top bit is clear, widened to 0xFF
    // (x * 255 == (x << 8) - x, and no byte carries into the next).
    const uint32_t low = (~p & 0x00808080u) >> 7;
    return p ^ ((low << 8) - low);
}

class CExposalEffect final : public CImageEffect {
public:
    bool ProcessInPlace(uint8_t* pixels) override {
        MapPicture(pixels, RowBytes(), Width(), Height(), Solarise);
        return true;
    }
    bool ProcessToBuffer(const uint8_t* pixels, uint8_t** output) override {
        uint8_t* out = OutputBuffer();
        if (out == nullptr) return false;
        MapPicture(pixels, RowBytes(), out, Width(), Height(), Solarise);
        *output = out;
        return true;
    }
};

}  // namespace

CImageEffect* CreateExposalEffect() { return new (std::nothrow) CExposalEffect(); }

}  // namespace pixfilter
