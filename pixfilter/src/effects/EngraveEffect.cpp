// Sunken relief: lower-right neighbour minus pixel, lifted by the number.
#include "../EffectFactories.h"
#include "../ReliefEffect.h"

namespace pixfilter {
namespace {

class CEngraveEffect final : public CReliefEffect {
public:
    CEngraveEffect() : CReliefEffect("Engrave_Number", true) {}
};

}  // namespace

CImageEffect* CreateEngraveEffect() { return new (std::nothrow) CEngraveEffect(); }

}  // namespace pixfilter
