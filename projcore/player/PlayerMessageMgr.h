#pragma once

#include "bus/BaseBrocaster.h"
#include "bus/ListenerImpl.h"

// Drives the preview player by message. For now it exists so the project can
// hand out its address; the player joins it later.
class CPlayerMessageMgr : public CListenerImpl, public CBaseBrocaster {};
