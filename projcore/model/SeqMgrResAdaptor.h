#pragma once

#include "bus/ListenerImpl.h"

class CFLVSequenceManager;
class CTrashResourceManager;

// Joins the sequence manager to the trash: clips and sequences the user deletes
// are handed to the trash instead of being destroyed. It listens to both for
// as long as it lives.
class CSeqMgrResAdaptor : public CListenerImpl {
public:
    CSeqMgrResAdaptor(CFLVSequenceManager* sequences, CTrashResourceManager* trash);
    ~CSeqMgrResAdaptor() override;

private:
    CFLVSequenceManager* sequences_;  // not owned
    CTrashResourceManager* trash_;    // not owned
};
