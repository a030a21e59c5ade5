#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "bus/BaseBrocaster.h"
#include "bus/ListenerImpl.h"
#include "model/BaseSerial.h"
#include "model/FLVSequence.h"
#include "projcore/Records.h"

class CTrashResourceManager;

// The project's ordered list of sequences and every change the user makes to
// it, by message. Clips and sequences the user deletes are handed to the trash
// (through the adaptor), and come back from it by 210170103.
class CFLVSequenceManager : public CBaseSerial, public CBaseBrocaster, public CListenerImpl {
public:
    CFLVSequenceManager();
    ~CFLVSequenceManager() override;

    bool Serial(CBaseSerialStream* stream) override;
    bool Deserial(CBaseSerialStream* stream) override;
    bool IsModified() override;
    void SetLoadCallback(void* context, LoadCallback callback) override;
    void MarkSaved() override;

    // Clips in all sequences.
    uint32_t ClipCount() const;
    size_t SequenceCount() const { return sequences_.size(); }
    CFLVSequence* Sequence(size_t index) const;
    TSeqSelection Selection() const { return selection_; }

    // The trash that objects put back into the list come from; set by the adaptor.
    void SetTrash(CTrashResourceManager* trash) { trash_ = trash; }
    // Hands over the clip or sequence just announced as going to the trash
    // (110170105, 110170113); null when it is not the one pending.
    std::unique_ptr<CBaseClip> TakeRemovedClip(void* object);
    std::unique_ptr<CFLVSequence> TakeRemovedSequence(void* object);

private:
    void OnImport(void*, int32_t, intptr_t p1, intptr_t);
    void OnSelect(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnInsert(void*, int32_t, intptr_t p1, intptr_t);
    void OnRemoveToTrash(void*, int32_t, intptr_t p1, intptr_t);
    void OnRemoveAll(void*, int32_t, intptr_t, intptr_t);
    void OnExchange(void*, int32_t, intptr_t p1, intptr_t);
    void OnMerge(void*, int32_t, intptr_t p1, intptr_t);
    void OnSort(void*, int32_t, intptr_t p1, intptr_t);
    void OnSetProperty(void*, int32_t, intptr_t p1, intptr_t);
    void OnGetProperty(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnGetMediaInfo(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnGetCount(void*, int32_t, intptr_t p1, intptr_t);
    void OnGetClipCount(void*, int32_t, intptr_t p1, intptr_t);
    void OnMove(void*, int32_t, intptr_t p1, intptr_t);
    void OnDeleteList(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnSetImageTime(void*, int32_t, intptr_t p1, intptr_t);
    void OnGetPlayLength(void*, int32_t, intptr_t p1, intptr_t);
    void OnGetSequence(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnAddFiles(void*, int32_t, intptr_t p1, intptr_t);
    void OnGetClipPlayLength(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnGetClipPath(void*, int32_t, intptr_t p1, intptr_t);

    // A new FLV clip of the file, or null after announcing why it was refused.
    std::unique_ptr<CBaseClip> OpenFlvClip(const char* const* slot);
    // A new picture clip (a still one lasting imageLength when that is
    // positive), or null after announcing that the picture cannot be read.
    std::unique_ptr<CBaseClip> OpenImageClip(const char* const* slot, int32_t imageLength);
    // An FLV or picture clip of the file, by its kind; anything else is
    // announced as refused.
    std::unique_ptr<CBaseClip> OpenClip(const char* const* slot, int32_t imageLength);
    // 110170114 for one file, without a stream description.
    void ReportRefused(const char* const* slot, int32_t code);
    void InsertClip(std::unique_ptr<CBaseClip> clip, size_t sequence, int32_t position);
    void AppendSequence(std::unique_ptr<CFLVSequence> sequence);
    void InsertSequence(std::unique_ptr<CFLVSequence> sequence, size_t index);
    void RemoveClipToTrash(size_t s, size_t c);
    void RemoveSequenceToTrash(size_t s);
    void DestroySequence(size_t s);
    void DropEmptySequences();

    // Selection tracking: the selected object before an operation, found
    // again by identity after it.
    void* SelectedObject() const;
    void TrackSelection(void* object);

    CFLVSequence* At(int32_t index) const;
    CBaseClip* ClipAt(int32_t sequence, int32_t clip) const;
    void Announce(int32_t id, void* object, int32_t kind, int32_t sequence, int32_t clip);

    std::vector<std::unique_ptr<CFLVSequence>> sequences_;
    bool modified_ = false;
    TSeqSelection selection_{0, -1, -1};
    void* loadContext_ = nullptr;
    LoadCallback loadCallback_ = nullptr;
    CTrashResourceManager* trash_ = nullptr;  // not owned
    // What was just taken out for the trash, until the adaptor takes it.
    std::unique_ptr<CBaseClip> removedClip_;
    std::unique_ptr<CFLVSequence> removedSequence_;
};
