// Grey grain: one noise value per pixel, added to blue, green and red alike.
#include "../EffectFactories.h"
#include "../NoiseEffect.h"

namespace pixfilter {
namespace {

class CSaltyawpEffect final : public CNoiseEffect {
public:
    CSaltyawpEffect() : CNoiseEffect("Saltyawp_Number", false) {}
};

}  // namespace

CImageEffect* CreateSaltyawpEffect() { return new (std::nothrow) CSaltyawpEffect(); }

}  // namespace pixfilter
