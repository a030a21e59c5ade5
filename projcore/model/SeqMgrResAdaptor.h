#pragma once

#include "bus/ListenerImpl.h"

class CFLVSequenceManager;
class CTrashResourceManager;

// Joins the sequence manager to the trash: clips and sequences the user
// deletes are handed to the trash instead of being destroyed, and objects put
// back into the list are claimed from it. It listens for as long as it lives.
class CSeqMgrResAdaptor : public CListenerImpl {
public:
    CSeqMgrResAdaptor(CFLVSequenceManager* sequences, CTrashResourceManager* trash);
    ~CSeqMgrResAdaptor() override;

private:
    void OnTrashed(void*, int32_t, intptr_t p1, intptr_t);

    CFLVSequenceManager* sequences_;  // not owned
    CTrashResourceManager* trash_;    // not owned
};
