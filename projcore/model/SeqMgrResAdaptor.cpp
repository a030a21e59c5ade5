#include "model/SeqMgrResAdaptor.h"

#include "model/FLVSequenceManager.h"
#include "model/TrashResourceManager.h"

CSeqMgrResAdaptor::CSeqMgrResAdaptor(CFLVSequenceManager* sequences, CTrashResourceManager* trash)
    : sequences_(sequences), trash_(trash) {
    if (sequences_) sequences_->AddListener(this);
    if (trash_) trash_->AddListener(this);
}

CSeqMgrResAdaptor::~CSeqMgrResAdaptor() {
    if (sequences_) sequences_->RemoveListener(this);
    if (trash_) trash_->RemoveListener(this);
}
