#include "model/SeqMgrResAdaptor.h"

#include "model/FLVSequenceManager.h"
#include "model/TrashResourceManager.h"
#include "projcore/MessageIds.h"

CSeqMgrResAdaptor::CSeqMgrResAdaptor(CFLVSequenceManager* sequences, CTrashResourceManager* trash)
    : sequences_(sequences), trash_(trash) {
    Register(this, msg::kNotifySeqTrashed, &CSeqMgrResAdaptor::OnTrashed);
    Register(this, msg::kNotifySeqRemovedAll, &CSeqMgrResAdaptor::OnTrashed);
    if (sequences_) {
        sequences_->AddListener(this);
        sequences_->SetTrash(trash_);
    }
    if (trash_) trash_->AddListener(this);
}

CSeqMgrResAdaptor::~CSeqMgrResAdaptor() {
    if (sequences_) {
        sequences_->SetTrash(nullptr);
        sequences_->RemoveListener(this);
    }
    if (trash_) trash_->RemoveListener(this);
}

void CSeqMgrResAdaptor::OnTrashed(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1 || !sequences_ || !trash_) return;
    const auto& item = *reinterpret_cast<const TSeqItem*>(p1);
    if (item.kind == 1) {
        trash_->AddClip(sequences_->TakeRemovedClip(item.object));
    } else if (item.kind == 0) {
        auto sequence = sequences_->TakeRemovedSequence(item.object);
        // An empty sequence is not worth keeping.
        if (sequence && sequence->GetClipCount() > 0) trash_->AddSequence(std::move(sequence));
    }
}
