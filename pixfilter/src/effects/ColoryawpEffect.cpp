// Colour grain: blue, green and red each get their own noise.
#include "../EffectFactories.h"
#include "../NoiseEffect.h"

namespace pixfilter {
namespace {

class CColoryawpEffect final : public CNoiseEffect {
public:
    CColoryawpEffect() : CNoiseEffect("Coloryawp_Number", true) {}
};

}  // namespace

CImageEffect* CreateColoryawpEffect() { return new (std::nothrow) CColoryawpEffect(); }

}  // namespace pixfilter
