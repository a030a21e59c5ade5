#pragma once

#include "bus/BaseBrocaster.h"
#include "bus/ListenerImpl.h"

class CFLVSequenceManager;

// Routes the shell's editing commands to the selected clip's settings. For now
// it exists with its host and sequence manager; the commands join it with the
// clip settings.
class CClipEditMessageMgr : public CListenerImpl, public CBaseBrocaster {
public:
    // Throws CBaseException 10580019 without a sequence manager.
    CClipEditMessageMgr(CBaseListener* host, CFLVSequenceManager* sequences);

private:
    CBaseListener* host_;              // not owned
    CFLVSequenceManager* sequences_;  // not owned
};
