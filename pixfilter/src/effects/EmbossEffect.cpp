// Raised relief: pixel minus its lower-right neighbour, lifted by the number.
#include "../EffectFactories.h"
#include "../ReliefEffect.h"

namespace pixfilter {
namespace {

class CEmbossEffect final : public CReliefEffect {
public:
    CEmbossEffect() : CReliefEffect("Emboss_Number", false) {}
};

}  // namespace

CImageEffect* CreateEmbossEffect() { return new (std::nothrow) CEmbossEffect(); }

}  // namespace pixfilter
