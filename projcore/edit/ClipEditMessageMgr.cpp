#include "edit/ClipEditMessageMgr.h"

#include "bus/BaseException.h"

CClipEditMessageMgr::CClipEditMessageMgr(CBaseListener* host, CFLVSequenceManager* sequences)
    : host_(host), sequences_(sequences) {
    if (!sequences_) throw CBaseException(errcode::kCreateMessageManager, "Error:Create MessageManager");
}
