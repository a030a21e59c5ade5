#include "EffectRegistry.h"

#include <cstring>

#include "EffectFactories.h"
#include "ImageEffect.h"

namespace pixfilter {

namespace {

struct SEffectEntry {
    char name[64];
    CImageEffect* (*create)();
};

constexpr SEffectEntry kEffects[] = {
    {"BlackAndWhite", CreateBlackAndWhiteEffect},
    {"Blur", CreateBlurEffect},
    {"Coloryawp", CreateColoryawpEffect},
    {"Emboss", CreateEmbossEffect},
    {"Engrave", CreateEngraveEffect},
    {"Exposal", CreateExposalEffect},
    {"InvertColor", CreateInvertColorEffect},
    {"Mirror", CreateMirrorEffect},
    {"Purple", CreatePurpleEffect},
    {"Rotate", CreateRotateEffect},
    {"Saltyawp", CreateSaltyawpEffect},
    {"Sharpen", CreateSharpenEffect},
    {"Spooky", CreateSpookyEffect},
};

}  // namespace

CImageEffect* CreateEffectByName(const char* name) {
    if (name == nullptr) return nullptr;
    for (const SEffectEntry& entry : kEffects)
        if (std::strcmp(entry.name, name) == 0) return entry.create();
    return nullptr;
}

}  // namespace pixfilter
