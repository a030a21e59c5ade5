// One maker per effect class; each answers null when memory is short.
#pragma once

namespace pixfilter {

class CImageEffect;

CImageEffect* CreateBlackAndWhiteEffect();
CImageEffect* CreateBlurEffect();
CImageEffect* CreateColoryawpEffect();
CImageEffect* CreateEmbossEffect();
CImageEffect* CreateEngraveEffect();
CImageEffect* CreateExposalEffect();
CImageEffect* CreateInvertColorEffect();
CImageEffect* CreateMirrorEffect();
CImageEffect* CreatePurpleEffect();
CImageEffect* CreateRotateEffect();
CImageEffect* CreateSaltyawpEffect();
CImageEffect* CreateSharpenEffect();
CImageEffect* CreateSpookyEffect();

}  // namespace pixfilter
