#pragma once

#include "bus/BaseBrocaster.h"
#include "bus/ListenerImpl.h"

// Runs batches of conversion tasks. For now it exists so the project can hand
// out its address and subscribe the host; the tasks join it later.
class CPvxMgr : public CBaseBrocaster, public CListenerImpl {};
